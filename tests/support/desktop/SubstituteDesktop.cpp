#include "tests/support/desktop/SubstituteDesktop.h"

#include "accessibility/adapters/AXVocabulary.h"

namespace qw::test {

namespace {

const QString kSystemWide = QStringLiteral("desktop-system-wide");
const QString kAppPrefix = QStringLiteral("desktop-app:");
const QString kElementPrefix = QStringLiteral("desktop-element:");
const QString kPlainText = QStringLiteral("text/plain");

bool isControl(Qt::KeyboardModifiers modifiers)
{
    return modifiers == Qt::ControlModifier;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Adapters

class SubstituteDesktop::Accessibility final : public AccessibilityAPI {
public:
    explicit Accessibility(SubstituteDesktop& desktop) : m_d(desktop) {}

    bool isProcessTrusted() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return m_d.m_trusted;
    }

    AccessibilityElement applicationElement(qint32 pid) override
    {
        return AccessibilityElement(kAppPrefix + QString::number(pid));
    }
    AccessibilityElement systemWideElement() override { return AccessibilityElement(kSystemWide); }

    void setMessagingTimeout(const AccessibilityElement& element, std::chrono::milliseconds timeout) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (auto* state = m_d.find(element))
            state->timeout = timeout;
        else if (auto pid = m_d.appPidOf(element); pid && m_d.m_apps.contains(*pid))
            m_d.app(*pid).timeout = timeout;
    }

    AttributeResult copyAttributeValue(const AccessibilityElement& element, const QString& attribute) override
    {
        if (attribute == AXAttribute::focusedUIElement)
            m_d.runFocusReadHook(element);
        std::lock_guard lock(m_d.m_mutex);
        AttributeResult result = read(element, attribute);
        m_d.countRead(attribute);
        return result;
    }

    SettableResult isAttributeSettable(const AccessibilityElement& element, const QString& attribute) override
    {
        std::lock_guard lock(m_d.m_mutex);
        auto* state = m_d.find(element);
        if (!state)
            return {AXErrorCode::invalidElement, false};
        if (slowAnswer(*state))
            return {AXErrorCode::cannotComplete, false};
        if (attribute == AXAttribute::value)
            return {AXErrorCode::success, state->valueSettable && state->value.has_value()};
        if (attribute == AXAttribute::selectedTextRange)
            return {AXErrorCode::success, state->rangeSettable && state->value.has_value()};
        if (attribute == AXAttribute::selectedText)
            return {AXErrorCode::success, state->selectedTextSettable && state->value.has_value()};
        return {AXErrorCode::success, false};
    }

    int setAttributeValue(const AccessibilityElement& element, const QString& attribute,
                          const AttributeValue& value) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (auto pid = m_d.appPidOf(element)) {
            if (!m_d.m_apps.contains(*pid) || attribute != AXAttribute::manualAccessibility)
                return AXErrorCode::attributeUnsupported;
            AppState& app = m_d.app(*pid);
            ++app.wakeUpRequests;
            if (app.failingWakeUps > 0) {
                --app.failingWakeUps;
                return AXErrorCode::cannotComplete;
            }
            const bool* on = std::get_if<bool>(&value);
            if (!on)
                return AXErrorCode::illegalArgument;
            app.manualAccessibility = *on;
            return AXErrorCode::success;
        }
        auto* state = m_d.find(element);
        if (!state)
            return AXErrorCode::invalidElement;
        if (slowAnswer(*state))
            return AXErrorCode::cannotComplete;
        ++m_d.m_writes;
        m_d.m_writesByElement[state->id].append(attribute);
        const int error = write(*state, attribute, value);
        if (error == AXErrorCode::success)
            m_d.runWriteActions(attribute);
        return error;
    }

    int write(ElementState& element, const QString& attribute, const AttributeValue& value)
    {
        ElementState* state = &element;
        if (!state->value)
            return AXErrorCode::attributeUnsupported;
        const QString current = *state->value;
        if (attribute == AXAttribute::value) {
            const QString* text = std::get_if<QString>(&value);
            if (!state->valueSettable)
                return AXErrorCode::attributeUnsupported;
            if (!text)
                return AXErrorCode::illegalArgument;
            m_d.applyTextWrite(*state, *text, text->size());
            return AXErrorCode::success;
        }
        if (attribute == AXAttribute::selectedTextRange) {
            const TextRange* range = std::get_if<TextRange>(&value);
            if (!state->rangeSettable)
                return AXErrorCode::attributeUnsupported;
            if (!range || range->location < 0 || range->length < 0 || range->end() > current.size())
                return AXErrorCode::illegalArgument;
            state->selection = *range;
            return AXErrorCode::success;
        }
        if (attribute == AXAttribute::selectedText) {
            const QString* text = std::get_if<QString>(&value);
            if (!state->selectedTextSettable)
                return AXErrorCode::attributeUnsupported;
            if (!text || !state->selection)
                return AXErrorCode::illegalArgument;
            const TextRange range = *state->selection;
            QString next = current;
            next.replace(range.location, range.length, *text);
            m_d.applyTextWrite(*state, next, range.location + text->size());
            return AXErrorCode::success;
        }
        return AXErrorCode::attributeUnsupported;
    }

    ProcessIdResult processId(const AccessibilityElement& element) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (auto pid = m_d.appPidOf(element))
            return {AXErrorCode::success, *pid};
        auto* state = m_d.find(element);
        if (!state)
            return {AXErrorCode::invalidElement, 0};
        if (slowAnswer(*state))
            return {AXErrorCode::cannotComplete, 0};
        return {AXErrorCode::success, state->reportedPid.value_or(state->pid)};
    }

    ElementResult elementAtPosition(const AccessibilityElement& systemWide, QPointF point) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (systemWide.identity() != kSystemWide)
            return {AXErrorCode::illegalArgument, {}};
        // Later elements lie above earlier ones and children above their parents.
        int best = 0;
        for (const ElementState& state : std::as_const(m_d.m_elements)) {
            if (state.bounds && state.bounds->contains(point) && state.id > best)
                best = state.id;
        }
        if (best == 0)
            return {AXErrorCode::noValue, {}};
        return {AXErrorCode::success, AccessibilityElement(kElementPrefix + QString::number(best))};
    }

private:
    // A slow application answers only after the caller's time-out has run out.
    bool slowAnswer(const ElementState& state)
    {
        if (!m_d.m_apps.contains(state.pid) || !m_d.app(state.pid).slow)
            return false;
        m_d.m_clock.advance(state.timeout);
        return true;
    }

    static AttributeResult ok(AttributeValue value) { return {AXErrorCode::success, std::move(value)}; }
    static AttributeResult none() { return {AXErrorCode::noValue, {}}; }

    AccessibilityElement elementHandle(int id) const
    {
        return AccessibilityElement(kElementPrefix + QString::number(id));
    }

    AttributeResult read(const AccessibilityElement& element, const QString& attribute)
    {
        if (element.identity() == kSystemWide) {
            if (attribute != AXAttribute::focusedUIElement)
                return {AXErrorCode::attributeUnsupported, {}};
            if (m_d.m_systemWideFocusError != 0)
                return {m_d.m_systemWideFocusError, {}};
            if (m_d.m_systemWideFocus)
                return ok(elementHandle(*m_d.m_systemWideFocus));
            if (m_d.m_frontmost == 0)
                return none();
            return focusedOf(m_d.app(m_d.m_frontmost));
        }
        if (auto pid = m_d.appPidOf(element)) {
            if (!m_d.m_apps.contains(*pid))
                return {AXErrorCode::invalidElement, {}};
            AppState& app = m_d.app(*pid);
            if (app.slow) {
                m_d.m_clock.advance(app.timeout);
                return {AXErrorCode::cannotComplete, {}};
            }
            if (attribute == AXAttribute::role)
                return ok(AXRole::application);
            if (attribute == AXAttribute::focusedUIElement) {
                if (app.focusedElementError != 0)
                    return {app.focusedElementError, {}};
                return focusedOf(app);
            }
            return none();
        }
        ElementState* state = m_d.find(element);
        if (!state)
            return {AXErrorCode::invalidElement, {}};
        if (slowAnswer(*state))
            return {AXErrorCode::cannotComplete, {}};
        if (attribute == AXAttribute::role)
            return state->role.isEmpty() ? none() : ok(state->role);
        if (attribute == AXAttribute::subrole)
            return state->subrole ? ok(*state->subrole) : none();
        if (attribute == AXAttribute::protectedContent)
            return state->protectedContent ? ok(*state->protectedContent) : none();
        if (attribute == AXAttribute::editable)
            return state->editable ? ok(*state->editable) : none();
        if (attribute == AXAttribute::value)
            return state->value && state->valueReadable ? ok(*state->value) : none();
        if (attribute == AXAttribute::parent)
            return ok(state->parent == 0 ? AccessibilityElement(kAppPrefix + QString::number(state->pid))
                                         : elementHandle(state->parent));
        if (attribute == AXAttribute::position)
            return state->bounds ? ok(state->bounds->topLeft()) : none();
        if (attribute == AXAttribute::size)
            return state->bounds ? ok(state->bounds->size()) : none();
        if (attribute == AXAttribute::selectedTextRange)
            return state->selection && state->rangeReadable ? ok(*state->selection) : none();
        if (attribute == AXAttribute::selectedText) {
            if (state->selectedTextAttribute)
                return ok(*state->selectedTextAttribute);
            if (!state->value || !state->selection)
                return none();
            return ok(state->value->mid(state->selection->location, state->selection->length));
        }
        return {AXErrorCode::attributeUnsupported, {}};
    }

    AttributeResult focusedOf(const AppState& app)
    {
        // An Electron application shows no tree until someone asks for it.
        if (app.electron && !app.manualAccessibility)
            return none();
        if (app.focused == 0)
            return none();
        return ok(elementHandle(app.focused));
    }

    SubstituteDesktop& m_d;
};

class SubstituteDesktop::WorkspaceImpl final : public Workspace {
public:
    explicit WorkspaceImpl(SubstituteDesktop& desktop) : m_d(desktop) {}

    std::optional<RunningApplication> frontmostApplication() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (m_d.m_frontmost == 0)
            return std::nullopt;
        return m_d.app(m_d.m_frontmost).info;
    }
    bool isTerminated(const RunningApplication& application) const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return !m_d.m_apps.contains(application.pid) || m_d.app(application.pid).info.terminated;
    }
    bool pathExists(const QString& path) const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return m_d.m_paths.contains(path);
    }
    QStringList applicationsOpeningHttpsUrls() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        QStringList result;
        for (const AppState& app : std::as_const(m_d.m_apps)) {
            if (app.httpsHandler && app.info.bundleID)
                result.append(*app.info.bundleID);
        }
        return result;
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::Pointer final : public PointerLocator {
public:
    explicit Pointer(SubstituteDesktop& desktop) : m_d(desktop) {}
    std::optional<QPointF> pointerLocation() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return m_d.m_pointerLocation;
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::ClipboardImpl final : public Clipboard {
public:
    explicit ClipboardImpl(SubstituteDesktop& desktop) : m_d(desktop) {}

    int itemCount() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return int(m_d.m_clipboard.size());
    }
    QStringList types(int item) const override
    {
        std::lock_guard lock(m_d.m_mutex);
        QStringList result;
        if (item < 0 || item >= m_d.m_clipboard.size())
            return result;
        for (const auto& representation : m_d.m_clipboard.at(item).representations)
            result.append(representation.type);
        return result;
    }
    std::optional<QByteArray> data(int item, const QString& type) const override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (item < 0 || item >= m_d.m_clipboard.size() || m_d.m_unreadableTypes.contains(type))
            return std::nullopt;
        for (const auto& representation : m_d.m_clipboard.at(item).representations) {
            if (representation.type == type)
                return representation.data;
        }
        return std::nullopt;
    }
    void clear() override { m_d.writeClipboard({}); }
    bool setString(const QString& text) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (m_d.m_refuseText)
            return false;
        m_d.writeClipboard({ClipboardItem{{{kPlainText, text.toUtf8()}}}});
        return true;
    }
    bool writeItems(const QList<ClipboardItem>& items) override
    {
        std::lock_guard lock(m_d.m_mutex);
        QList<ClipboardItem> next = m_d.m_clipboard;
        next.append(items);
        m_d.writeClipboard(next);
        return true;
    }
    qint64 changeCount() const override
    {
        std::lock_guard lock(m_d.m_mutex);
        return m_d.m_changeCount;
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::Keyboard final : public KeyEventPoster {
public:
    explicit Keyboard(SubstituteDesktop& desktop) : m_d(desktop) {}
    bool post(const QList<KeyEvent>& events) override
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
            if (pasteRelease)
                m_d.deliverPaste();
        }
        return true;
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::Sleeper final : public WorkerSleeper {
public:
    explicit Sleeper(SubstituteDesktop& desktop) : m_d(desktop) {}
    void sleep(std::chrono::milliseconds duration) override
    {
        std::lock_guard lock(m_d.m_mutex);
        m_d.m_slept += duration;
        m_d.m_clock.advance(duration);
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::Observer final : public AccessibilityObserver {
public:
    Observer(SubstituteDesktop& desktop, int id) : m_d(desktop), m_id(id) {}
    ~Observer() override
    {
        std::lock_guard lock(m_d.m_mutex);
        m_d.m_observers.remove(m_id);
        m_d.m_registrations.removeIf([this](const Registration& r) { return r.observer == m_id; });
    }

    int addNotification(const AccessibilityElement& element, const QString& notification) override
    {
        std::lock_guard lock(m_d.m_mutex);
        const qint32 pid = m_d.m_observers.value(m_id).pid;
        if (m_d.m_apps.contains(pid) && m_d.app(pid).failingNotifications.contains(notification))
            return AXErrorCode::notImplemented;
        m_d.m_registrations.append({m_id, element, notification});
        return AXErrorCode::success;
    }
    int removeNotification(const AccessibilityElement& element, const QString& notification) override
    {
        std::lock_guard lock(m_d.m_mutex);
        const auto removed = m_d.m_registrations.removeIf([&](const Registration& r) {
            return r.observer == m_id && r.element == element && r.notification == notification;
        });
        return removed > 0 ? AXErrorCode::success : AXErrorCode::failure;
    }
    void addToMainLoop() override
    {
        std::lock_guard lock(m_d.m_mutex);
        m_d.m_observers[m_id].onMainLoop = true;
    }
    void removeFromMainLoop() override
    {
        std::lock_guard lock(m_d.m_mutex);
        m_d.m_observers[m_id].onMainLoop = false;
    }

private:
    SubstituteDesktop& m_d;
    int m_id;
};

class SubstituteDesktop::ObserverFactory final : public AccessibilityObserverFactory {
public:
    explicit ObserverFactory(SubstituteDesktop& desktop) : m_d(desktop) {}
    std::unique_ptr<AccessibilityObserver> create(qint32 pid, Handler handler) override
    {
        std::lock_guard lock(m_d.m_mutex);
        if (!m_d.m_apps.contains(pid) || m_d.app(pid).refusesObservers)
            return nullptr;
        const int id = m_d.m_nextObserver++;
        ++m_d.m_observersCreated;
        m_d.m_observers.insert(id, ObserverState{pid, std::move(handler), false});
        return std::make_unique<Observer>(m_d, id);
    }

private:
    SubstituteDesktop& m_d;
};

class SubstituteDesktop::Mouse final : public GlobalMouseMonitor {
public:
    explicit Mouse(SubstituteDesktop& desktop) : m_d(desktop) {}
    Handle add(Event event, std::function<void()> handler) override
    {
        std::lock_guard lock(m_d.m_mutex);
        const Handle handle = m_d.m_nextMonitor++;
        m_d.m_mouseMonitors.insert(handle, {event, std::move(handler)});
        return handle;
    }
    void remove(Handle handle) override
    {
        std::lock_guard lock(m_d.m_mutex);
        m_d.m_mouseMonitors.remove(handle);
    }

private:
    SubstituteDesktop& m_d;
};

// ---------------------------------------------------------------------------------------------
// The desktop

SubstituteDesktop::SubstituteDesktop()
    : m_accessibility(std::make_unique<Accessibility>(*this)),
      m_workspace(std::make_unique<WorkspaceImpl>(*this)), m_pointer(std::make_unique<Pointer>(*this)),
      m_clipboardImpl(std::make_unique<ClipboardImpl>(*this)), m_keyboard(std::make_unique<Keyboard>(*this)),
      m_sleeper(std::make_unique<Sleeper>(*this)),
      m_observerFactory(std::make_unique<ObserverFactory>(*this)), m_mouse(std::make_unique<Mouse>(*this))
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

void SubstituteDesktop::addPath(const QString& path)
{
    std::lock_guard lock(m_mutex);
    m_paths.insert(path);
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

void SubstituteDesktop::setSystemWideFocusError(int code)
{
    std::lock_guard lock(m_mutex);
    m_systemWideFocusError = code;
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

qint64 SubstituteDesktop::clipboardChangeCount() const
{
    std::lock_guard lock(m_mutex);
    return m_changeCount;
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

std::chrono::milliseconds SubstituteDesktop::slept() const
{
    std::lock_guard lock(m_mutex);
    return m_slept;
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
    if (!element.identity().startsWith(kElementPrefix))
        return nullptr;
    bool ok = false;
    const int id = element.identity().mid(kElementPrefix.size()).toInt(&ok);
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
    if (!element.identity().startsWith(kAppPrefix))
        return std::nullopt;
    bool ok = false;
    const qint32 pid = element.identity().mid(kAppPrefix.size()).toInt(&ok);
    if (!ok)
        return std::nullopt;
    return pid;
}

void SubstituteDesktop::countRead(const QString& attribute)
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
    for (auto& action : due)
        action();
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
                if (representation.type == kPlainText) {
                    text = QString::fromUtf8(representation.data);
                    hasText = true;
                }
            }
        }
        if (found != m_elements.end() && found->value && hasText) {
            ElementState& element = found.value();
            const TextRange range = element.selection.value_or(TextRange{element.value->size(), 0});
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

// ---------------------------------------------------------------------------------------------
// Handles

AccessibilityElement DesktopElement::handle() const
{
    return AccessibilityElement(kElementPrefix + QString::number(m_id));
}

DesktopElement DesktopElement::child(const QString& role) const
{
    std::lock_guard lock(m_desktop->m_mutex);
    const qint32 pid = m_desktop->state(m_id).pid;
    return DesktopElement(m_desktop, m_desktop->addElement(m_id, pid, role));
}

DesktopElement DesktopElement::textField(const QString& value) const
{
    DesktopElement field = child(AXRole::textField);
    field.value(value).selection(value.size(), 0).editable(true);
    return field;
}

DesktopElement DesktopElement::textArea(const QString& value) const
{
    DesktopElement area = child(AXRole::textArea);
    area.value(value).selection(value.size(), 0);
    return area;
}

DesktopElement DesktopElement::secureField(const QString& value) const
{
    DesktopElement field = textField(value);
    field.subrole(AXRole::secureTextField);
    return field;
}

DesktopElement DesktopElement::group() const
{
    return child(AXRole::group);
}

DesktopElement DesktopElement::staticText(const QString& value) const
{
    DesktopElement text = child(AXRole::staticText);
    text.value(value).valueSettable(false).rangeSettable(false).selectedTextSettable(false);
    return text;
}

template <class F> DesktopElement& DesktopElement::update(F change)
{
    std::lock_guard lock(m_desktop->m_mutex);
    change(m_desktop->state(m_id));
    return *this;
}

DesktopElement& DesktopElement::role(const QString& role)
{
    return update([&](auto& s) { s.role = role; });
}
DesktopElement& DesktopElement::subrole(const QString& subrole)
{
    return update([&](auto& s) { s.subrole = subrole; });
}
DesktopElement& DesktopElement::protectedContent(bool value)
{
    return update([&](auto& s) { s.protectedContent = value; });
}
DesktopElement& DesktopElement::editable(bool value)
{
    return update([&](auto& s) { s.editable = value; });
}
DesktopElement& DesktopElement::value(const QString& value)
{
    return update([&](auto& s) { s.value = value; });
}
DesktopElement& DesktopElement::unreadableValue()
{
    return update([&](auto& s) { s.valueReadable = false; });
}
DesktopElement& DesktopElement::selection(qsizetype location, qsizetype length)
{
    return update([&](auto& s) { s.selection = TextRange{location, length}; });
}
DesktopElement& DesktopElement::noSelectionRange()
{
    return update([&](auto& s) { s.rangeReadable = false; });
}
DesktopElement& DesktopElement::selectedTextAttribute(const QString& text)
{
    return update([&](auto& s) { s.selectedTextAttribute = text; });
}
DesktopElement& DesktopElement::bounds(const QRectF& rect)
{
    return update([&](auto& s) { s.bounds = rect; });
}
DesktopElement& DesktopElement::valueSettable(bool value)
{
    return update([&](auto& s) { s.valueSettable = value; });
}
DesktopElement& DesktopElement::rangeSettable(bool value)
{
    return update([&](auto& s) { s.rangeSettable = value; });
}
DesktopElement& DesktopElement::selectedTextSettable(bool value)
{
    return update([&](auto& s) { s.selectedTextSettable = value; });
}
DesktopElement& DesktopElement::reportsPid(qint32 pid)
{
    return update([&](auto& s) { s.reportedPid = pid; });
}
DesktopElement& DesktopElement::focus()
{
    return update([&](auto& s) {
        m_desktop->app(s.pid).focused = m_id;
        m_desktop->m_frontmost = s.pid;
    });
}

std::optional<QString> DesktopElement::currentValue() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->state(m_id).value;
}

std::optional<TextRange> DesktopElement::currentSelection() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->state(m_id).selection;
}

RunningApplication DesktopApp::running() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->app(m_pid).info;
}

AccessibilityElement DesktopApp::handle() const
{
    return AccessibilityElement(kAppPrefix + QString::number(m_pid));
}

DesktopElement DesktopApp::window(const QRectF& bounds) const
{
    std::lock_guard lock(m_desktop->m_mutex);
    DesktopElement window(m_desktop, m_desktop->addElement(0, m_pid, AXRole::window));
    window.bounds(bounds);
    return window;
}

template <class F> DesktopApp& DesktopApp::update(F change)
{
    std::lock_guard lock(m_desktop->m_mutex);
    change(m_desktop->app(m_pid));
    return *this;
}

DesktopApp& DesktopApp::bundleLocation(const QString& path)
{
    return update([&](auto& s) { s.info.bundleLocation = path; });
}
DesktopApp& DesktopApp::electron(int failingWakeUps)
{
    return update([&](auto& s) {
        s.electron = true;
        s.failingWakeUps = failingWakeUps;
        if (!s.info.bundleLocation)
            s.info.bundleLocation = QStringLiteral("/opt/app-") + QString::number(m_pid);
        m_desktop->m_paths.insert(*s.info.bundleLocation + QStringLiteral("/resources/app.asar"));
    });
}
DesktopApp& DesktopApp::handlesHttps()
{
    return update([&](auto& s) { s.httpsHandler = true; });
}
DesktopApp& DesktopApp::activate()
{
    return update([&](auto&) { m_desktop->m_frontmost = m_pid; });
}
DesktopApp& DesktopApp::ignoresWrites()
{
    return update([&](auto& s) { s.writes = SubstituteDesktop::WriteBehaviour::ignore; });
}
DesktopApp& DesktopApp::rewritesWritesTo(const QString& third)
{
    return update([&](auto& s) {
        s.writes = SubstituteDesktop::WriteBehaviour::rewrite;
        s.thirdText = third;
    });
}
DesktopApp& DesktopApp::slow()
{
    return update([&](auto& s) { s.slow = true; });
}
DesktopApp& DesktopApp::focusedElementError(int code)
{
    return update([&](auto& s) { s.focusedElementError = code; });
}
DesktopApp& DesktopApp::refusesObservers()
{
    return update([&](auto& s) { s.refusesObservers = true; });
}
DesktopApp& DesktopApp::failsNotification(const QString& notification)
{
    return update([&](auto& s) { s.failingNotifications.insert(notification); });
}

void DesktopApp::terminate()
{
    std::lock_guard lock(m_desktop->m_mutex);
    m_desktop->app(m_pid).info.terminated = true;
    if (m_desktop->m_frontmost == m_pid)
        m_desktop->m_frontmost = 0;
}

int DesktopApp::wakeUpRequests() const
{
    std::lock_guard lock(m_desktop->m_mutex);
    return m_desktop->app(m_pid).wakeUpRequests;
}

} // namespace qw::test
