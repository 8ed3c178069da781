#include "bubble/BubbleResizeGrip.h"

#include "l10n/L10n.h"

#include <QMouseEvent>

namespace qw {

BubbleResizeGrip::BubbleResizeGrip(QWidget* parent) : QWidget(parent)
{
    setCursor(Qt::SizeHorCursor);
    retranslate();
}

void BubbleResizeGrip::retranslate()
{
    setAccessibleName(L10n::text(L10N_KEY("调整译文框宽度")));
}

void BubbleResizeGrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_pressX)
        return;
    m_pressX = event->globalPosition().x();
    Q_EMIT resizeStarted();
}

void BubbleResizeGrip::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pressX)
        Q_EMIT resizeMoved(event->globalPosition().x() - *m_pressX);
}

void BubbleResizeGrip::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !m_pressX)
        return;
    Q_EMIT resizeMoved(event->globalPosition().x() - *m_pressX);
    m_pressX.reset();
    Q_EMIT resizeEnded();
}

} // namespace qw
