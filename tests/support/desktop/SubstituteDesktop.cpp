#include "tests/support/desktop/SubstituteDesktop.h"

#include "tests/support/desktop/DesktopHandles.h"
#include "tests/support/desktop/SubstituteAccessibility.h"
#include "tests/support/desktop/SubstituteClipboard.h"
#include "tests/support/desktop/SubstituteKeyboard.h"
#include "tests/support/desktop/SubstituteMouse.h"
#include "tests/support/desktop/SubstituteObserver.h"
#include "tests/support/desktop/SubstituteObserverFactory.h"
#include "tests/support/desktop/SubstitutePointer.h"
#include "tests/support/desktop/SubstituteSleeper.h"
#include "tests/support/desktop/SubstituteWorkspace.h"

namespace qw::test {

SubstituteDesktop::SubstituteDesktop()
    : m_accessibility(std::make_unique<SubstituteAccessibility>(*this)),
      m_workspace(std::make_unique<SubstituteWorkspace>(*this)),
      m_pointer(std::make_unique<SubstitutePointer>(*this)),
      m_clipboardImpl(std::make_unique<SubstituteClipboard>(*this)),
      m_keyboard(std::make_unique<SubstituteKeyboard>(*this)),
      m_sleeper(std::make_unique<SubstituteSleeper>(*this)),
      m_observerFactory(std::make_unique<SubstituteObserverFactory>(*this)),
      m_mouse(std::make_unique<SubstituteMouse>(*this))
{
}

SubstituteDesktop::~SubstituteDesktop() = default;

AccessibilityAPI& SubstituteDesktop::accessibility()
{
    return *m_accessibility;
}
Workspace& SubstituteDesktop::workspace()
{
    return *m_workspace;
}
PointerLocator& SubstituteDesktop::pointer()
{
    return *m_pointer;
}
Clipboard& SubstituteDesktop::clipboard()
{
    return *m_clipboardImpl;
}
KeyEventPoster& SubstituteDesktop::keyboard()
{
    return *m_keyboard;
}
WorkerSleeper& SubstituteDesktop::sleeper()
{
    return *m_sleeper;
}
AccessibilityObserverFactory& SubstituteDesktop::observers()
{
    return *m_observerFactory;
}
GlobalMouseMonitor& SubstituteDesktop::mouse()
{
    return *m_mouse;
}

AXPlatform SubstituteDesktop::platform()
{
    return AXPlatform{*m_accessibility, *m_workspace, *m_pointer, *m_clipboardImpl,
                      *m_keyboard,      *m_sleeper,   m_clock};
}

DesktopApp SubstituteDesktop::addApplication(const QString& bundleID, const QString& name)
{
    std::lock_guard lock(m_mutex);
    const qint32 pid = m_nextPid++;
    AppState state;
    state.pid = pid;
    state.info.pid = pid;
    if (!bundleID.isEmpty())
        state.info.bundleID = bundleID;
    if (!name.isEmpty())
        state.info.localizedName = name;
    m_apps.insert(pid, state);
    return DesktopApp(this, pid);
}

void SubstituteDesktop::setTrusted(bool trusted)
{
    std::lock_guard lock(m_mutex);
    m_trusted = trusted;
}

void SubstituteDesktop::clearFrontmost()
{
    std::lock_guard lock(m_mutex);
    m_frontmost = 0;
}

void SubstituteDesktop::setPointer(std::optional<QPointF> location)
{
    std::lock_guard lock(m_mutex);
    m_pointerLocation = location;
}

void SubstituteDesktop::setSystemWideFocus(const DesktopElement& element)
{
    std::lock_guard lock(m_mutex);
    m_systemWideFocus = element.id();
}

void SubstituteDesktop::afterReads(int reads, std::function<void()> action)
{
    std::lock_guard lock(m_mutex);
    m_readActions.append({reads, std::move(action)});
}

void SubstituteDesktop::onFocusRead(std::function<void()> hook)
{
    std::lock_guard lock(m_mutex);
    m_focusReadHook = std::move(hook);
}

void SubstituteDesktop::runFocusReadHook(const AccessibilityElement& element)
{
    std::function<void()> hook;
    {
        std::lock_guard lock(m_mutex);
        if (!appPidOf(element))
            return;
        hook = m_focusReadHook;
    }
    if (hook)
        hook();
}

void SubstituteDesktop::afterNextWrite(const QString& attribute, std::function<void()> action)
{
    std::lock_guard lock(m_mutex);
    m_writeActions.append({attribute, std::move(action)});
}

void SubstituteDesktop::runWriteActions(const QString& attribute)
{
    QList<std::function<void()>> due;
    for (auto it = m_writeActions.begin(); it != m_writeActions.end();) {
        if (it->first == attribute) {
            due.append(std::move(it->second));
            it = m_writeActions.erase(it);
        } else {
            ++it;
        }
    }
    for (auto& action : due)
        action();
}

void SubstituteDesktop::copyDuringNextPaste(QList<ClipboardItem> items)
{
    std::lock_guard lock(m_mutex);
    m_copyDuringPaste = std::move(items);
}

void SubstituteDesktop::takePasteAfter(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_pasteDelay = delay;
}

void SubstituteDesktop::takeSelectionAfter(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_selectionDelay = delay;
}

void SubstituteDesktop::takeTextWritesAfter(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_textWriteDelay = delay;
}

void SubstituteDesktop::runLateEffects()
{
    for (qsizetype i = 0; i < m_lateEffects.size();) {
        if (m_clock.now() < m_lateEffects[i].first) {
            ++i;
            continue;
        }
        const auto effect = m_lateEffects.takeAt(i).second;
        effect();
    }
}

void SubstituteDesktop::refuseClipboardText(bool refuse)
{
    std::lock_guard lock(m_mutex);
    m_refuseText = refuse;
}

void SubstituteDesktop::breakKeyboard(bool broken)
{
    std::lock_guard lock(m_mutex);
    m_keyboardBroken = broken;
}

void SubstituteDesktop::setClipboardItems(const QList<ClipboardItem>& items)
{
    writeClipboard(items);
}

void SubstituteDesktop::makeClipboardTypeUnreadable(const QString& type)
{
    std::lock_guard lock(m_mutex);
    m_unreadableTypes.insert(type);
}

void SubstituteDesktop::notify(const DesktopElement& element, const QString& notification)
{
    QList<AccessibilityObserverFactory::Handler> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const Registration& r : std::as_const(m_registrations)) {
            if (r.element == element.handle() && r.notification == notification &&
                m_observers[r.observer].onMainLoop)
                handlers.append(m_observers[r.observer].handler);
        }
    }
    for (const auto& handler : handlers)
        handler(element.handle(), notification);
}

void SubstituteDesktop::notifyApplication(const DesktopApp& app, const QString& notification)
{
    QList<AccessibilityObserverFactory::Handler> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const Registration& r : std::as_const(m_registrations)) {
            if (r.element == app.handle() && r.notification == notification &&
                m_observers[r.observer].onMainLoop)
                handlers.append(m_observers[r.observer].handler);
        }
    }
    for (const auto& handler : handlers)
        handler(app.handle(), notification);
}

void SubstituteDesktop::pressMouse()
{
    QList<std::function<void()>> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [event, handler] : std::as_const(m_mouseMonitors)) {
            if (event == GlobalMouseMonitor::Event::leftMouseDown)
                handlers.append(handler);
        }
    }
    for (const auto& handler : handlers)
        handler();
}

void SubstituteDesktop::releaseMouse()
{
    QList<std::function<void()>> handlers;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [event, handler] : std::as_const(m_mouseMonitors)) {
            if (event == GlobalMouseMonitor::Event::leftMouseUp)
                handlers.append(handler);
        }
    }
    for (const auto& handler : handlers)
        handler();
}

QList<ClipboardItem> SubstituteDesktop::clipboardItems() const
{
    std::lock_guard lock(m_mutex);
    return m_clipboard;
}

QList<KeyEvent> SubstituteDesktop::postedKeys() const
{
    std::lock_guard lock(m_mutex);
    return m_keys;
}

int SubstituteDesktop::attributeReads() const
{
    std::lock_guard lock(m_mutex);
    return m_reads;
}

int SubstituteDesktop::attributeReads(const QString& attribute) const
{
    std::lock_guard lock(m_mutex);
    return m_readsByAttribute.value(attribute);
}

int SubstituteDesktop::attributeWrites() const
{
    std::lock_guard lock(m_mutex);
    return m_writes;
}

QStringList SubstituteDesktop::writesTo(const DesktopElement& element) const
{
    std::lock_guard lock(m_mutex);
    return m_writesByElement.value(element.id());
}

int SubstituteDesktop::observersCreated() const
{
    std::lock_guard lock(m_mutex);
    return m_observersCreated;
}

int SubstituteDesktop::liveObservers() const
{
    std::lock_guard lock(m_mutex);
    return int(m_observers.size());
}

QStringList SubstituteDesktop::registrations() const
{
    std::lock_guard lock(m_mutex);
    QStringList result;
    for (const Registration& r : m_registrations)
        result.append(r.notification + u'@' + r.element.identity());
    return result;
}

int SubstituteDesktop::installedMouseMonitors() const
{
    std::lock_guard lock(m_mutex);
    return int(m_mouseMonitors.size());
}

int SubstituteDesktop::addElement(int parent, qint32 pid, const QString& role)
{
    std::lock_guard lock(m_mutex);
    ElementState state;
    state.id = m_nextElement++;
    state.pid = pid;
    state.parent = parent;
    state.role = role;
    m_elements.insert(state.id, state);
    return state.id;
}

SubstituteDesktop::ElementState* SubstituteDesktop::find(const AccessibilityElement& element)
{
    if (!element.identity().startsWith(DesktopHandles::elementPrefix))
        return nullptr;
    bool ok = false;
    const int id = element.identity().mid(DesktopHandles::elementPrefix.size()).toInt(&ok);
    auto found = m_elements.find(id);
    if (!ok || found == m_elements.end())
        return nullptr;
    return &found.value();
}

SubstituteDesktop::ElementState& SubstituteDesktop::state(int id)
{
    return m_elements[id];
}

SubstituteDesktop::AppState& SubstituteDesktop::app(qint32 pid)
{
    return m_apps[pid];
}

std::optional<qint32> SubstituteDesktop::appPidOf(const AccessibilityElement& element) const
{
    if (!element.identity().startsWith(DesktopHandles::applicationPrefix))
        return std::nullopt;
    bool ok = false;
    const qint32 pid = element.identity().mid(DesktopHandles::applicationPrefix.size()).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return pid;
}

void SubstituteDesktop::observeTextAccess(std::function<void(const TextAccess&)> observer)
{
    std::lock_guard lock(m_mutex);
    m_textObserver = std::move(observer);
}

void SubstituteDesktop::reportTextAccess(const TextAccess& access)
{
    if (m_textObserver)
        m_textObserver(access);
}

QList<std::function<void()>> SubstituteDesktop::countRead(const QString& attribute)
{
    ++m_reads;
    ++m_readsByAttribute[attribute];
    // Actions run after the read they wait for was answered; an action may schedule others.
    QList<std::function<void()>> due;
    for (auto it = m_readActions.begin(); it != m_readActions.end();) {
        if (--it->first <= 0) {
            due.append(std::move(it->second));
            it = m_readActions.erase(it);
        } else {
            ++it;
        }
    }
    return due;
}

void SubstituteDesktop::applyTextWrite(ElementState& element, const QString& newValue, qsizetype caret)
{
    const AppState& owner = app(element.pid);
    switch (owner.writes) {
    case WriteBehaviour::ignore:
        return;
    case WriteBehaviour::rewrite:
        element.value = owner.thirdText;
        element.selection = TextRange{owner.thirdText.size(), 0};
        return;
    case WriteBehaviour::accept:
        element.value = newValue;
        element.selection = TextRange{caret, 0};
        return;
    }
}

void SubstituteDesktop::deliverPaste()
{
    // A paste goes to the focused element of the frontmost application and replaces its
    // selection (or inserts at the caret), like a real text control does.
    if (m_frontmost != 0) {
        const AppState& front = app(m_frontmost);
        auto found = m_elements.find(front.focused);
        QString text;
        bool hasText = false;
        if (!m_clipboard.isEmpty()) {
            for (const auto& representation : m_clipboard.first().representations) {
                if (representation.type == DesktopHandles::plainText) {
                    text = QString::fromUtf8(representation.data);
                    hasText = true;
                }
            }
        }
        if (found != m_elements.end() && found->value && hasText) {
            ElementState& element = found.value();
            const TextRange range = element.selection.value_or(TextRange{element.value->size(), 0});
            reportTextAccess({TextAccess::Kind::paste, element.id, QString(), element.value,
                              element.selection, text, element.lastValueRead, element.lastRangeRead});
            QString next = *element.value;
            next.replace(range.location, range.length, text);
            element.value = next;
            element.selection = TextRange{range.location + text.size(), 0};
        }
    }
    if (m_copyDuringPaste) {
        auto items = std::move(*m_copyDuringPaste);
        m_copyDuringPaste.reset();
        writeClipboard(std::move(items));
    }
}

void SubstituteDesktop::writeClipboard(QList<ClipboardItem> items)
{
    std::lock_guard lock(m_mutex);
    m_clipboard = std::move(items);
    ++m_changeCount;
}

} // namespace qw::test
