#include "bubble/BubbleTitleBar.h"

#include "l10n/L10n.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QToolButton>

namespace qw {

namespace {

// The menu button's own symbol where the icon theme has none: three dots, drawn at twice the
// size so that it stays sharp at 2x.
QIcon dotsIcon(const QColor& ink)
{
    QPixmap dots(32, 32);
    dots.fill(Qt::transparent);
    QPainter painter(&dots);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(ink);
    for (const int x : {7, 16, 25})
        painter.drawEllipse(QPointF(x, 16), 2.6, 2.6);
    painter.end();
    return QIcon(dots);
}

} // namespace

BubbleTitleBar::BubbleTitleBar(QWidget* parent)
    : QWidget(parent), m_symbol(new QLabel(this)), m_title(new QLabel(this)), m_menu(new QToolButton(this)),
      m_pin(new QToolButton(this)), m_close(new QToolButton(this))
{
    m_symbol->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_symbol->hide();
    // The title may be longer than the panel is wide in some language; it is cut, never the
    // buttons beside it.
    m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_title->setTextFormat(Qt::PlainText);
    QFont bold = m_title->font();
    bold.setWeight(QFont::DemiBold);
    m_title->setFont(bold);
    // Presses on the title reach this widget, which runs the drag.
    m_title->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_title->installEventFilter(this);

    QIcon more = QIcon::fromTheme(QStringLiteral("view-more"));
    if (more.isNull())
        more = QIcon::fromTheme(QStringLiteral("open-menu"));
    if (more.isNull())
        more = dotsIcon(palette().color(QPalette::ButtonText));
    m_menu->setIcon(more);
    m_menu->setAutoRaise(true);
    m_menu->setPopupMode(QToolButton::InstantPopup);
    // The arrow the style adds to a menu button would crowd the header; the icon says it.
    m_menu->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    m_menu->hide();
    m_pin->setCheckable(true);
    m_pin->setAutoRaise(true);
    m_pin->setToolButtonStyle(Qt::ToolButtonTextOnly);
    QIcon close = QIcon::fromTheme(QStringLiteral("window-close"));
    if (close.isNull())
        close = style()->standardIcon(QStyle::SP_TitleBarCloseButton);
    m_close->setIcon(close);
    m_close->setAutoRaise(true);
    // A click must not take the keyboard focus; Tab still reaches the buttons once the panel has it.
    for (QToolButton* button : {m_menu, m_pin, m_close})
        button->setFocusPolicy(Qt::TabFocus);
    connect(m_pin, &QToolButton::clicked, this, [this] { Q_EMIT pinToggled(!m_pinned); });
    connect(m_close, &QToolButton::clicked, this, &BubbleTitleBar::closeClicked);

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    row->addWidget(m_symbol);
    row->addWidget(m_title, 1);
    row->addWidget(m_menu);
    row->addWidget(m_pin);
    row->addWidget(m_close);
    setCursor(Qt::OpenHandCursor);
    m_pin->setCursor(Qt::ArrowCursor);
    m_close->setCursor(Qt::ArrowCursor);
    m_menu->setCursor(Qt::ArrowCursor);
    retranslate();
}

void BubbleTitleBar::setTitle(const QString& title)
{
    // The same title again changes nothing (the name is null only before the first title).
    if (title == m_fullTitle && !m_title->accessibleName().isNull())
        return;
    m_fullTitle = title;
    // A screen reader reads all of it, however little room it has on screen.
    m_title->setAccessibleName(title);
    elideTitle();
}

QString BubbleTitleBar::shownTitle() const
{
    return m_title->text();
}

void BubbleTitleBar::elideTitle()
{
    // Cutting a text to the room shapes it with every fallback font each time.
    constexpr qsizetype remembered = 16;
    const QPair<QString, int> key{m_fullTitle, m_title->width()};
    auto cut = m_elided.constFind(key);
    if (cut == m_elided.cend()) {
        if (m_elided.size() >= remembered)
            m_elided.clear();
        cut =
            m_elided.insert(key, m_title->fontMetrics().elidedText(m_fullTitle, Qt::ElideRight, key.second));
    }
    m_title->setText(*cut);
}

bool BubbleTitleBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_title) {
        switch (event->type()) {
        case QEvent::FontChange:
        case QEvent::StyleChange:
            m_elided.clear();
            elideTitle();
            break;
        // The title's room changes with the header's width and with the buttons shown beside it.
        case QEvent::Resize:
            elideTitle();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void BubbleTitleBar::setSymbol(const QIcon& symbol)
{
    m_symbol->setVisible(!symbol.isNull());
    if (symbol.isNull())
        return;
    const int side = style()->pixelMetric(QStyle::PM_SmallIconSize, nullptr, this);
    // At the screen's scale, so the symbol stays sharp at 2x.
    m_symbol->setPixmap(symbol.pixmap(QSize(side, side), devicePixelRatioF()));
}

void BubbleTitleBar::setApplicationMenu(QMenu* menu)
{
    m_menu->setMenu(menu);
    m_menu->setVisible(menu != nullptr);
}

void BubbleTitleBar::setPinned(bool pinned)
{
    m_pinned = pinned;
    m_pin->setChecked(pinned);
    retranslate();
}

void BubbleTitleBar::retranslate()
{
    const QString pin = m_pinned ? L10n::text(L10N_KEY("恢复自动跟随")) : L10n::text(L10N_KEY("固定位置"));
    m_pin->setText(pin);
    m_pin->setAccessibleName(pin);
    const QString close = L10n::text(L10N_KEY("关闭翻译提示"));
    m_close->setToolTip(close);
    m_close->setAccessibleName(close);
    const QString actions = L10n::text(L10N_KEY("应用操作：今日忽略或取消授权"));
    m_menu->setToolTip(actions);
    m_menu->setAccessibleName(actions);
    const QString drag = L10n::text(L10N_KEY("拖动标题区域调整译文框位置"));
    setToolTip(drag);
    setAccessibleDescription(drag);
}

void BubbleTitleBar::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void BubbleTitleBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_pressGlobal) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_pressGlobal = event->globalPosition();
    setCursor(Qt::ClosedHandCursor);
    Q_EMIT dragStarted();
}

void BubbleTitleBar::mouseMoveEvent(QMouseEvent* event)
{
    // The global position does not move with the panel, so the travel is the pointer's alone.
    if (m_pressGlobal)
        Q_EMIT dragMoved(event->globalPosition() - *m_pressGlobal);
}

void BubbleTitleBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressGlobal)
        return;
    Q_EMIT dragMoved(event->globalPosition() - *m_pressGlobal);
    m_pressGlobal.reset();
    setCursor(Qt::OpenHandCursor);
    Q_EMIT dragEnded();
}

} // namespace qw
