#include "accessibility/SelectionMonitor.h"

namespace qw {

SelectionMonitor::SelectionMonitor(GlobalMouseMonitor& mouse, TimerSource& timers)
    : m_mouse(mouse), m_timers(timers), m_self(std::make_shared<SelectionMonitor*>(this))
{
}

SelectionMonitor::~SelectionMonitor()
{
    stop();
}

void SelectionMonitor::start()
{
    if (m_mouseUpObserver != 0)
        return;
    std::weak_ptr<SelectionMonitor*> weak = m_self;
    m_mouseDownObserver = m_mouse.add(GlobalMouseMonitor::Event::leftMouseDown, [weak] {
        if (auto self = weak.lock())
            (*self)->mouseDown();
    });
    m_mouseUpObserver = m_mouse.add(GlobalMouseMonitor::Event::leftMouseUp, [weak] {
        if (auto self = weak.lock())
            (*self)->mouseUp();
    });
}

void SelectionMonitor::stop()
{
    cancelScheduled();
    if (m_mouseUpObserver != 0)
        m_mouse.remove(m_mouseUpObserver);
    if (m_mouseDownObserver != 0)
        m_mouse.remove(m_mouseDownObserver);
    m_mouseUpObserver = 0;
    m_mouseDownObserver = 0;
}

void SelectionMonitor::cancelScheduled()
{
    if (m_scheduled)
        m_timers.cancel(*m_scheduled);
    m_scheduled.reset();
}

void SelectionMonitor::mouseDown()
{
    cancelScheduled();
    if (m_onMouseDownOutside)
        m_onMouseDownOutside();
}

void SelectionMonitor::mouseUp()
{
    cancelScheduled();
    std::weak_ptr<SelectionMonitor*> weak = m_self;
    m_scheduled = m_timers.start(settleDelay, [weak] {
        auto self = weak.lock();
        if (!self)
            return;
        (*self)->m_scheduled.reset();
        if ((*self)->m_onSelectionFinished)
            (*self)->m_onSelectionFinished();
    });
}

} // namespace qw
