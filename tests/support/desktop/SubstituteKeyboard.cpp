#include "tests/support/desktop/SubstituteKeyboard.h"

#include "tests/support/desktop/SubstituteDesktop.h"

namespace qw::test {

namespace {

bool isControl(Qt::KeyboardModifiers modifiers)
{
    return modifiers == Qt::ControlModifier;
}

} // namespace

bool SubstituteKeyboard::post(const QList<KeyEvent>& events)
{
    std::lock_guard lock(m_d.m_mutex);
    if (m_d.m_keyboardBroken)
        return false;
    for (const KeyEvent& event : events) {
        const bool pasteRelease = !event.down && event.key == Qt::Key_V && isControl(event.modifiers) &&
                                  !m_d.m_keys.isEmpty() && m_d.m_keys.last().down &&
                                  m_d.m_keys.last().key == Qt::Key_V &&
                                  isControl(m_d.m_keys.last().modifiers);
        m_d.m_keys.append(event);
        if (pasteRelease && m_d.m_pasteDelay.count() > 0)
            m_d.m_pasteDueAt = m_d.m_clock.now().addMSecs(m_d.m_pasteDelay.count());
        else if (pasteRelease)
            m_d.deliverPaste();
    }
    return true;
}

} // namespace qw::test
