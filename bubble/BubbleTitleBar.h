#pragma once

#include <QHash>
#include <QPair>
#include <QPointF>
#include <QWidget>
#include <optional>

class QIcon;
class QLabel;
class QMenu;
class QToolButton;

namespace qw {

// The panel's header: the title, which is also the handle the user drags the panel by, the pin
// button and the close button. The panel is not managed by the window manager, so the drag is
// this widget's own: it reports how far the pointer has travelled since the press.
class BubbleTitleBar final : public QWidget {
    Q_OBJECT
public:
    explicit BubbleTitleBar(QWidget* parent = nullptr);

    void setTitle(const QString& title);
    // The state's symbol left of the title; a null icon hides it.
    void setSymbol(const QIcon& symbol);
    // The application menu's button, shown while there is a menu (none hides it).
    void setApplicationMenu(QMenu* menu);
    // Fixed: the pin button offers to follow the field again; else to stay where it is.
    void setPinned(bool pinned);
    void retranslate();

    QToolButton* pinButton() const { return m_pin; }
    QToolButton* closeButton() const { return m_close; }
    QToolButton* applicationMenuButton() const { return m_menu; }
    QLabel* symbol() const { return m_symbol; }
    // The title as shown: ends in "…" when the header is too narrow for all of it.
    QString shownTitle() const;

Q_SIGNALS:
    void dragStarted();
    void dragMoved(QPointF pointerTravel);
    void dragEnded();
    // Asks for the other placement mode than the one shown.
    void pinToggled(bool pinned);
    void closeClicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void elideTitle();

    QLabel* m_symbol;
    QLabel* m_title;
    QToolButton* m_menu;
    QToolButton* m_pin;
    QToolButton* m_close;
    QString m_fullTitle;
    // Titles already cut to a width: the panel's states take turns with a handful of titles.
    QHash<QPair<QString, int>, QString> m_elided;
    bool m_pinned = false;
    std::optional<QPointF> m_pressGlobal;
};

} // namespace qw
