#include "bubble/BubbleWindow.h"

#include "bubble/BubblePanel.h"
#include "bubble/BubbleResizeGrip.h"
#include "bubble/BubbleTitleBar.h"
#include "bubble/X11Compositor.h"

#include <QLayout>

namespace qw {

BubbleWindow::BubbleWindow(BubbleScreens& screens, TimerSource& timers, CompositorProbe compositorRunning)
    : m_compositorRunning(std::move(compositorRunning)), m_controller(*this, screens, timers),
      m_panel(std::make_unique<BubblePanel>())
{
    connectPanel();
}

BubbleWindow::BubbleWindow(BubbleScreens& screens, TimerSource& timers)
    : BubbleWindow(screens, timers, &x11CompositorRunning)
{
}

BubbleWindow::~BubbleWindow() = default;

void BubbleWindow::setOnCloseRequested(std::function<void()> onCloseRequested)
{
    m_onCloseRequested = std::move(onCloseRequested);
}

void BubbleWindow::connectPanel()
{
    BubblePanel* panel = m_panel.get();
    BubbleTitleBar* title = panel->titleBar();
    QObject::connect(title, &BubbleTitleBar::dragStarted, panel, [this] { m_controller.dragStarted(); });
    QObject::connect(title, &BubbleTitleBar::dragMoved, panel,
                     [this](QPointF travel) { m_controller.dragMoved(travel); });
    QObject::connect(title, &BubbleTitleBar::dragEnded, panel, [this] { m_controller.dragEnded(); });
    QObject::connect(title, &BubbleTitleBar::pinToggled, panel,
                     [this](bool pinned) { m_controller.setFixed(pinned); });
    QObject::connect(title, &BubbleTitleBar::closeClicked, panel, [this] {
        if (m_onCloseRequested)
            m_onCloseRequested();
    });
    // The pin shows the mode whatever changed it: the button, or a drag that fixed the panel.
    QObject::connect(&m_controller.placement(), &PanelPlacement::modeChanged, panel, [this, title] {
        title->setPinned(m_controller.placement().mode() == PanelPlacement::Mode::fixed);
    });

    BubbleResizeGrip* grip = panel->resizeGrip();
    QObject::connect(grip, &BubbleResizeGrip::resizeStarted, panel, [this] {
        m_resizeStartWidth = frame().width();
        m_controller.resizeStarted();
    });
    QObject::connect(grip, &BubbleResizeGrip::resizeMoved, panel,
                     [this](qreal travel) { m_controller.resizeMoved(m_resizeStartWidth + travel); });
    QObject::connect(grip, &BubbleResizeGrip::resizeEnded, panel, [this] { m_controller.resizeEnded(); });

    QObject::connect(panel, &BubblePanel::preferredHeightChanged, panel,
                     [this](double height) { m_controller.contentHeightChanged(height); });
}

void BubbleWindow::refresh(const BubbleModelState& state)
{
    // The content's height is measured before the panel is shown or changed: at a guessed
    // height it would flash at the wrong size (or paint once more at the old one) and then jump
    // once the content reported its own.
    if (state.wantsPanel) {
        m_panel->ensurePolished();
        // A layout whose window is hidden, or that sits inside another, keeps the heights it
        // measured before its widgets changed until its next pass.
        for (QLayout* layout : m_panel->findChildren<QLayout*>()) {
            if (QWidget* owner = layout->parentWidget())
                owner->updateGeometry();
            layout->invalidate();
        }
        const qreal width = m_created ? frame().width() : PanelController::initialFrame.width();
        m_controller.contentHeightChanged(m_panel->preferredHeight(width));
    }
    m_controller.refresh(state);
}

void BubbleWindow::create(const QRectF& initialFrame)
{
    m_panel->setFrameStyle(m_compositorRunning && m_compositorRunning() ? BubblePanel::FrameStyle::shadowed
                                                                        : BubblePanel::FrameStyle::bordered);
    setFrame(initialFrame);
    m_created = true;
}

QRectF BubbleWindow::frame() const
{
    const int shadow = m_panel->shadowMargin();
    return QRectF(m_panel->geometry().adjusted(shadow, shadow, -shadow, -shadow));
}

void BubbleWindow::setFrame(const QRectF& frame)
{
    // Qt places windows on whole device-independent pixels.
    const int shadow = m_panel->shadowMargin();
    const QRect card(qRound(frame.x()), qRound(frame.y()), qRound(frame.width()), qRound(frame.height()));
    m_panel->setGeometry(card.adjusted(-shadow, -shadow, shadow, shadow));
}

bool BubbleWindow::isVisible() const
{
    return m_panel->isVisible();
}

void BubbleWindow::show()
{
    // A newly mapped window is already on top; one that is shown may have been covered since.
    if (m_panel->isVisible())
        m_panel->raise();
    else
        m_panel->show();
}

void BubbleWindow::hide()
{
    m_panel->hide();
}

} // namespace qw
