#include "bubble/BubblePanel.h"

#include "bubble/BubbleResizeGrip.h"
#include "bubble/BubbleTitleBar.h"
#include "l10n/L10n.h"

#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace qw {

namespace {

// Space between the card's edge and what it holds.
constexpr QMargins kPadding{12, 8, 12, 12};

QColor mixed(const QColor& base, const QColor& over, qreal amount)
{
    return QColor::fromRgbF(base.redF() + (over.redF() - base.redF()) * amount,
                            base.greenF() + (over.greenF() - base.greenF()) * amount,
                            base.blueF() + (over.blueF() - base.blueF()) * amount);
}

} // namespace

BubblePanel::BubblePanel()
    : m_titleBar(new BubbleTitleBar(this)), m_slot(new QWidget(this)), m_grip(new BubbleResizeGrip(this))
{
    // Bypassing the window manager: under openbox, a managed panel was covered as soon as the user
    // activated another window, whatever its stay-on-top hint said.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    retranslate();

    auto* slotLayout = new QVBoxLayout(m_slot);
    slotLayout->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(this);
    column->setSpacing(6);
    column->addWidget(m_titleBar);
    column->addWidget(m_slot, 1);
    // The controller sizes the window; the layout must not impose its minimum on it.
    column->setSizeConstraint(QLayout::SetNoConstraint);
    applyMargins();
    m_grip->raise();
}

void BubblePanel::retranslate()
{
    setAccessibleName(L10n::text(L10N_KEY("翻译提示")));
    m_titleBar->retranslate();
    m_grip->retranslate();
}

void BubblePanel::setFrameStyle(FrameStyle style)
{
    m_frameStyle = style;
    setAttribute(Qt::WA_TranslucentBackground, style == FrameStyle::shadowed);
    applyMargins();
}

void BubblePanel::applyMargins()
{
    const int shadow = shadowMargin();
    layout()->setContentsMargins(kPadding + QMargins(shadow, shadow, shadow, shadow));
    placeGrip();
    update();
}

QRect BubblePanel::cardRect() const
{
    const int shadow = shadowMargin();
    return rect().adjusted(shadow, shadow, -shadow, -shadow);
}

void BubblePanel::placeGrip()
{
    const QRect card = cardRect();
    // Clear of the rounded corners, where the card has no edge to grab.
    m_grip->setGeometry(card.right() + 1 - BubbleResizeGrip::thickness, card.top() + cornerRadius,
                        BubbleResizeGrip::thickness, std::max(0, card.height() - 2 * cornerRadius));
    m_grip->raise();
}

void BubblePanel::setContent(QWidget* content)
{
    delete m_content;
    m_content = content;
    if (content)
        m_slot->layout()->addWidget(content);
}

double BubblePanel::preferredHeight() const
{
    return preferredHeight(cardRect().width());
}

double BubblePanel::preferredHeight(qreal cardWidth) const
{
    const QLayout* column = layout();
    const int shadow = shadowMargin();
    const int width = qRound(cardWidth) + 2 * shadow;
    const int total =
        column->hasHeightForWidth() ? column->totalHeightForWidth(width) : column->totalSizeHint().height();
    return total - 2 * shadow;
}

void BubblePanel::reportPreferredHeight()
{
    // Coalesced: one report after a burst of layout changes, once the layout has settled.
    if (m_reportPending)
        return;
    m_reportPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reportPending = false;
            Q_EMIT preferredHeightChanged(preferredHeight());
        },
        Qt::QueuedConnection);
}

bool BubblePanel::event(QEvent* event)
{
    const bool handled = QWidget::event(event);
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Show)
        reportPreferredHeight();
    return handled;
}

void BubblePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeGrip();
    // Wrapped text needs another height at another width.
    reportPreferredHeight();
}

void BubblePanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor fill = palette().color(QPalette::Window);
    const QColor ink = palette().color(QPalette::WindowText);
    if (m_frameStyle == FrameStyle::bordered) {
        // Nothing but the border sets the panel apart from the window beneath it: make it visible.
        // Filled rather than stroked: exactly one point wide, and sharp, at any scale.
        painter.fillRect(rect(), mixed(fill, ink, 0.4));
        painter.fillRect(rect().adjusted(1, 1, -1, -1), fill);
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF card = cardRect();
    // A soft shadow from stacked translucent layers, darker near the card, a little lower than
    // it, as if lit from above.
    painter.setPen(Qt::NoPen);
    for (int spread = shadowWidth - 2; spread >= 1; --spread) {
        painter.setBrush(QColor(0, 0, 0, 7));
        const QRectF layer = card.adjusted(-spread, -spread + 2, spread, spread + 2);
        painter.drawRoundedRect(layer, cornerRadius + spread, cornerRadius + spread);
    }
    painter.setBrush(fill);
    painter.setPen(QPen(mixed(fill, ink, 0.18), 1));
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius, cornerRadius);
}

} // namespace qw
