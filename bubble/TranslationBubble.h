#pragma once

#include "bubble/BubbleContentState.h"

#include <QIcon>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <optional>
#include <utility>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

namespace qw {

class AppModel;
class BubbleTitleBar;
class TranslationTextView;

// The panel's content: the state of the current translation, the translation itself, the
// language pair and the actions on it. It keeps nothing of its own: every change of the model is
// shown through `bubbleContentState`, and every control calls one operation of the model. The
// header (title, symbol, application menu) belongs to the panel and is filled from here.
class TranslationBubble final : public QWidget {
    Q_OBJECT
public:
    TranslationBubble(AppModel& model, BubbleTitleBar& header, QWidget* parent = nullptr);
    ~TranslationBubble() override;

    // The action offered with an error the settings must fix.
    void setOnOpenSettings(std::function<void()> onOpenSettings);

    // Shows the model's state now (it is otherwise shown once per burst of model changes).
    void render();

    QLabel* message() const { return m_message; }
    TranslationTextView* translation() const { return m_translation; }
    QComboBox* sourcePicker() const { return m_source; }
    QComboBox* targetPicker() const { return m_target; }
    QPushButton* replaceButton() const { return m_replace; }
    QPushButton* copyButton() const { return m_copy; }
    QPushButton* retryButton() const { return m_retry; }
    QPushButton* undoButton() const { return m_undo; }
    QPushButton* settingsButton() const { return m_settings; }
    QMenu* applicationMenu() const { return m_menu; }
    const BubbleContentState& shown() const { return m_shown; }

protected:
    void changeEvent(QEvent* event) override;

private:
    void scheduleRender();
    void fillPicker(QComboBox* picker, const QList<TranslationLanguage>& languages,
                    TranslationLanguage current);
    void pickLanguage();
    void showHeader();
    void showMenu();
    void showSymbol();
    void loadSymbols();

    AppModel& m_model;
    // Guarded: the panel may delete its header before its content.
    QPointer<BubbleTitleBar> m_header;
    std::function<void()> m_onOpenSettings;
    BubbleContentState m_shown;
    bool m_renderPending = false;
    // What the header last got, so that a render repeats none of the icon theme lookups and
    // accessibility announcements for what did not change.
    QString m_headerLanguage;
    std::optional<std::pair<BubbleSymbol, qreal>> m_symbolShown;
    // The states' icons as the theme and style gave them: the style's own are loaded from files.
    std::map<BubbleSymbol, QIcon> m_symbolIcons;

    QComboBox* m_source;
    QLabel* m_arrow;
    QComboBox* m_target;
    QWidget* m_languages;
    QLabel* m_message;
    TranslationTextView* m_translation;
    QPushButton* m_undo;
    QPushButton* m_retry;
    QPushButton* m_settings;
    QPushButton* m_copy;
    QPushButton* m_replace;
    QMenu* m_menu;
    QAction* m_ignoreToday;
    QAction* m_revoke;
};

} // namespace qw
