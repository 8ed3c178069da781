#include "bubble/TranslationBubble.h"

#include "bubble/BubblePanel.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/TranslationTextView.h"
#include "l10n/L10n.h"
#include "model/AppModel.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace qw {

namespace {

// The desktop's icon for a state, by its freedesktop names in order of preference, else one of
// the style's own (always present, in every theme).
QIcon symbolIcon(BubbleSymbol symbol, const QStyle* style)
{
    struct Choice {
        QStringList names;
        QStyle::StandardPixmap fallback;
    };
    const Choice choice = [symbol]() -> Choice {
        switch (symbol) {
        case BubbleSymbol::working:
            return {{QStringLiteral("content-loading"), QStringLiteral("hourglass"),
                     QStringLiteral("process-working")},
                    QStyle::SP_BrowserReload};
        case BubbleSymbol::replaced:
            return {{QStringLiteral("dialog-ok"), QStringLiteral("emblem-ok")}, QStyle::SP_DialogApplyButton};
        case BubbleSymbol::failed:
            return {{QStringLiteral("dialog-warning")}, QStyle::SP_MessageBoxWarning};
        case BubbleSymbol::translation:
            break;
        }
        return {{QStringLiteral("preferences-desktop-locale")}, QStyle::SP_MessageBoxInformation};
    }();
    for (const QString& name : choice.names) {
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return style->standardIcon(choice.fallback);
}

// Each new name is announced to screen readers: only a changed one is set.
void nameForScreenReaders(QWidget* widget, const QString& name)
{
    if (widget->accessibleName() != name)
        widget->setAccessibleName(name);
}

void showButton(QPushButton* button, const BubbleButtonState& state)
{
    button->setVisible(state.visible);
    button->setEnabled(state.enabled);
    button->setText(state.text);
    nameForScreenReaders(button, state.text);
}

// A menu shows what follows a tab as the item's shortcut, aligned in its own column.
QString menuText(QString text)
{
    return text.replace(QStringLiteral("   "), QStringLiteral("\t"));
}

} // namespace

TranslationBubble::TranslationBubble(AppModel& model, BubbleTitleBar& header, QWidget* parent)
    : QWidget(parent), m_model(model), m_header(&header), m_source(new QComboBox(this)),
      m_arrow(new QLabel(QStringLiteral("→"), this)), m_target(new QComboBox(this)),
      m_languages(new QWidget(this)), m_message(new QLabel(this)),
      m_translation(new TranslationTextView(this)), m_undo(new QPushButton(this)),
      m_retry(new QPushButton(this)), m_settings(new QPushButton(this)), m_copy(new QPushButton(this)),
      m_replace(new QPushButton(this)), m_menu(new QMenu(this))
{
    auto* languageRow = new QHBoxLayout(m_languages);
    languageRow->setContentsMargins(0, 0, 0, 0);
    languageRow->setSpacing(6);
    languageRow->addWidget(m_source);
    languageRow->addWidget(m_arrow);
    languageRow->addWidget(m_target);
    languageRow->addStretch(1);
    m_arrow->setAccessibleName(QString());
    for (QComboBox* picker : {m_source, m_target}) {
        picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        picker->setFocusPolicy(Qt::TabFocus);
        // Only the user's choice: filling the pickers from the model must not call back into it.
        connect(picker, &QComboBox::activated, this, [this] { pickLanguage(); });
    }

    m_message->setWordWrap(true);
    m_message->setTextFormat(Qt::PlainText);
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addStretch(1);
    for (QPushButton* button : {m_undo, m_retry, m_settings, m_copy, m_replace}) {
        // A click must not take the keyboard focus from the field the user is typing in.
        button->setFocusPolicy(Qt::TabFocus);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    m_replace->setDefault(true);
    connect(m_replace, &QPushButton::clicked, this, [this] { m_model.acceptTranslation(); });
    connect(m_copy, &QPushButton::clicked, this, [this] { m_model.copyTranslation(); });
    connect(m_retry, &QPushButton::clicked, this, [this] { m_model.retryTranslation(); });
    connect(m_undo, &QPushButton::clicked, this, [this] { m_model.undoReplacement(); });
    connect(m_settings, &QPushButton::clicked, this, [this] {
        if (m_onOpenSettings)
            m_onOpenSettings();
    });

    m_ignoreToday = m_menu->addAction(QString());
    m_revoke = m_menu->addAction(QString());
    connect(m_ignoreToday, &QAction::triggered, this, [this] {
        if (m_shown.application)
            m_model.ignoreAppToday(*m_shown.application);
    });
    // The model asks the user to confirm, and only for an application that is still allowed.
    connect(m_revoke, &QAction::triggered, this, [this] { m_model.performHotkeyRevoke(); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    column->addWidget(m_languages);
    column->addWidget(m_message);
    column->addWidget(m_translation, 1);
    column->addLayout(buttons);

    loadSymbols();
    connect(&m_model, &AppModel::changed, this, [this] { scheduleRender(); });
    render();
}

void TranslationBubble::loadSymbols()
{
    // All of them with the panel, before a state shows one: the icon theme is searched and the
    // style's own icons are read from files, which the first translation would wait for.
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    for (BubbleSymbol symbol :
         {BubbleSymbol::translation, BubbleSymbol::working, BubbleSymbol::replaced, BubbleSymbol::failed}) {
        const QIcon icon = symbolIcon(symbol, style());
        icon.pixmap(QSize(side, side), devicePixelRatioF());
        m_symbolIcons.insert_or_assign(symbol, icon);
    }
}

TranslationBubble::~TranslationBubble()
{
    if (m_header)
        m_header->setApplicationMenu(nullptr);
}

void TranslationBubble::setOnOpenSettings(std::function<void()> onOpenSettings)
{
    m_onOpenSettings = std::move(onOpenSettings);
}

void TranslationBubble::scheduleRender()
{
    // One showing per burst: an operation assigns many fields in a row, and an interface
    // language change is published before the new language is in effect.
    if (m_renderPending)
        return;
    m_renderPending = true;
    QMetaObject::invokeMethod(
        this, [this] { render(); }, Qt::QueuedConnection);
}

void TranslationBubble::render()
{
    m_renderPending = false;
    m_shown = bubbleContentState(BubbleContentInputs::of(m_model));
    showHeader();
    showMenu();

    m_languages->setVisible(m_shown.showLanguages);
    fillPicker(m_source, allTranslationLanguages(), m_shown.source);
    fillPicker(m_target, translationTargets(), m_shown.target);
    const QString source = L10n::text(L10N_KEY("源语言"));
    const QString target = L10n::text(L10N_KEY("目标语言"));
    nameForScreenReaders(m_source, source);
    m_source->setToolTip(source);
    nameForScreenReaders(m_target, target);
    m_target->setToolTip(target);

    m_message->setVisible(!m_shown.message.isEmpty());
    m_message->setText(m_shown.message);
    m_translation->setVisible(!m_shown.translation.isEmpty());
    m_translation->setTranslation(m_shown.translation);
    nameForScreenReaders(m_translation, L10n::text(L10N_KEY("译文")));

    showButton(m_replace, m_shown.replace);
    showButton(m_copy, m_shown.copy);
    showButton(m_retry, m_shown.retry);
    showButton(m_undo, m_shown.undo);
    showButton(m_settings, m_shown.openSettings);
}

void TranslationBubble::showHeader()
{
    if (!m_header)
        return;
    // The panel's own texts (its name, the header's controls, the resize grip) follow the interface
    // language with the content's: a screen reader must not name them in the previous one.
    if (const QString language = L10n::currentCode(); language != m_headerLanguage) {
        m_headerLanguage = language;
        if (auto* panel = qobject_cast<BubblePanel*>(m_header->parentWidget()))
            panel->retranslate();
        else
            m_header->retranslate();
    }
    m_header->setTitle(m_shown.title);
    showSymbol();
}

void TranslationBubble::showSymbol()
{
    // Drawn at the screen's scale: a move to a screen of another scale draws it again.
    const std::pair shown{m_shown.symbol, m_header->devicePixelRatioF()};
    if (m_symbolShown == shown)
        return;
    m_symbolShown = shown;
    m_header->setSymbol(m_symbolIcons.at(m_shown.symbol));
}

void TranslationBubble::showMenu()
{
    m_ignoreToday->setText(menuText(m_shown.ignoreTodayText));
    m_revoke->setText(menuText(m_shown.revokeText));
    if (m_header)
        m_header->setApplicationMenu(m_shown.application ? m_menu : nullptr);
}

void TranslationBubble::fillPicker(QComboBox* picker, const QList<TranslationLanguage>& languages,
                                   TranslationLanguage current)
{
    const QSignalBlocker quiet(picker);
    bool sameLabels = picker->count() == languages.size();
    for (int i = 0; sameLabels && i < languages.size(); ++i)
        sameLabels = picker->itemText(i) == label(languages[i]);
    // Refilled only when the labels changed (a new interface language), so an open list stays.
    if (!sameLabels) {
        picker->clear();
        for (TranslationLanguage language : languages)
            picker->addItem(label(language), static_cast<int>(language));
    }
    picker->setCurrentIndex(picker->findData(static_cast<int>(current)));
}

void TranslationBubble::pickLanguage()
{
    const auto source = static_cast<TranslationLanguage>(m_source->currentData().toInt());
    const auto target = static_cast<TranslationLanguage>(m_target->currentData().toInt());
    if (source == m_shown.source && target == m_shown.target)
        return;
    m_model.updatePreviewLanguage(source, target);
}

void TranslationBubble::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        scheduleRender();
    // Another icon theme or style has other symbols.
    if (event->type() == QEvent::StyleChange || event->type() == QEvent::ThemeChange) {
        m_symbolShown.reset();
        loadSymbols();
        scheduleRender();
    }
    QWidget::changeEvent(event);
}

} // namespace qw
