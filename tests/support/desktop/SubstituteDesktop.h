#pragma once

#include "accessibility/adapters/AXPlatform.h"
#include "accessibility/adapters/AccessibilityAPI.h"
#include "accessibility/adapters/AccessibilityObserverFactory.h"
#include "accessibility/adapters/Clipboard.h"
#include "accessibility/adapters/GlobalMouseMonitor.h"
#include "accessibility/adapters/KeyEventPoster.h"
#include "accessibility/adapters/PointerLocator.h"
#include "accessibility/adapters/WorkerSleeper.h"
#include "accessibility/adapters/Workspace.h"
#include "tests/support/desktop/DesktopApp.h"
#include "tests/support/desktop/DesktopElement.h"
#include "tests/support/desktop/ManualClock.h"

#include <QHash>
#include <QList>
#include <QRectF>
#include <QSet>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace qw::test {

class SubstituteAccessibility;
class SubstituteWorkspace;
class SubstitutePointer;
class SubstituteClipboard;
class SubstituteKeyboard;
class SubstituteSleeper;
class SubstituteObserverFactory;
class SubstituteMouse;

// An in-memory desktop that implements every adapter of the accessibility bridge: applications
// with element trees, a frontmost application and focus that tests move, a clipboard with a
// change count, a keyboard whose Ctrl+V pastes into the focused element, observers and global
// mouse monitors that tests trigger, and scripted misbehaviour. Production code sees only the
// adapter interfaces; tests steer through this class and the DesktopApp/DesktopElement handles.
//
// The accessibility calls may come from the worker thread while the test thread waits; all
// state is guarded by one recursive mutex. Observer and mouse handlers run on the thread that
// triggers them (the test's main thread).
class SubstituteDesktop {
public:
    SubstituteDesktop();
    ~SubstituteDesktop();
    SubstituteDesktop(const SubstituteDesktop&) = delete;
    SubstituteDesktop& operator=(const SubstituteDesktop&) = delete;

    // --- The adapters ---
    AccessibilityAPI& accessibility();
    Workspace& workspace();
    PointerLocator& pointer();
    Clipboard& clipboard();
    KeyEventPoster& keyboard();
    WorkerSleeper& sleeper();
    AccessibilityObserverFactory& observers();
    GlobalMouseMonitor& mouse();
    ManualClock& clock() { return m_clock; }
    AXPlatform platform();

    // --- Building ---
    DesktopApp addApplication(const QString& bundleID, const QString& name);
    void setTrusted(bool trusted);
    void clearFrontmost();

    // --- Steering ---
    void setPointer(std::optional<QPointF> location);
    // The system-wide element answers AXAttribute::focusedUIElement with this element (for instance one
    // of another process) instead of the frontmost application's focus.
    void setSystemWideFocus(const DesktopElement& element);
    // Runs `action` once, right after the next `reads`-th attribute read (counted from now) has
    // been answered, on the reading thread and outside the desktop's lock: "focus moves between
    // two reads", "the user revokes mid-operation". An action that waits holds the reader there.
    void afterReads(int reads, std::function<void()> action);
    // Runs `hook` every time an application is asked for its focused element, before it answers,
    // on the asking thread and outside the desktop's lock: a hook that waits holds a focus read
    // in flight while the test goes on, one that counts sees how many focus reads were made.
    void onFocusRead(std::function<void()> hook);
    // Runs `action` once, right after the next set of `attribute` on any element was applied.
    void afterNextWrite(const QString& attribute, std::function<void()> action);
    // Another application copies `items` the moment the synthetic paste is delivered.
    void copyDuringNextPaste(QList<ClipboardItem> items);
    // The application takes the clipboard's content this long after the paste keystroke, as a
    // browser does in another process (by default at once).
    void takePasteAfter(std::chrono::milliseconds delay);
    // A selected range or a text written to a field shows this long later, as in a browser,
    // whose page runs in another process (by default at once); the text cannot be read meanwhile.
    void takeSelectionAfter(std::chrono::milliseconds delay);
    void takeTextWritesAfter(std::chrono::milliseconds delay);
    void refuseClipboardText(bool refuse);
    void breakKeyboard(bool broken); // synthetic key events cannot be created
    void setClipboardItems(const QList<ClipboardItem>& items);
    void makeClipboardTypeUnreadable(const QString& type);
    void notify(const DesktopElement& element, const QString& notification);
    void notifyApplication(const DesktopApp& app, const QString& notification);
    void pressMouse();
    void releaseMouse();

    // One look at or change of a text: a value (or selected text) read, an attribute set, or a
    // delivered paste. `lastRead` is what the element answered for its value just before a
    // write, the fresh read the writer had to compare.
    struct TextAccess {
        enum class Kind { read, write, paste };
        Kind kind = Kind::read;
        int element = 0;
        QString attribute;
        std::optional<QString> before;
        std::optional<TextRange> selection;
        QString text; // read, set or pasted
        std::optional<QString> lastRead;
        std::optional<TextRange> lastRangeRead; // likewise for the selected range
    };
    // Called for every text access, on the accessing thread, under the desktop's lock (it must
    // not steer the desktop).
    void observeTextAccess(std::function<void(const TextAccess&)> observer);

    // --- Inspection ---
    QList<ClipboardItem> clipboardItems() const;
    QList<KeyEvent> postedKeys() const;
    int attributeReads() const;
    int attributeReads(const QString& attribute) const;
    int attributeWrites() const;
    QStringList writesTo(const DesktopElement& element) const; // attribute names, in order
    int observersCreated() const;
    int liveObservers() const;
    // "notification@identity" of every registration currently in place.
    QStringList registrations() const;
    int installedMouseMonitors() const;

private:
    // The adapters and the handles work on the desktop's state directly.
    friend class DesktopElement;
    friend class DesktopApp;
    friend class SubstituteAccessibility;
    friend class SubstituteWorkspace;
    friend class SubstitutePointer;
    friend class SubstituteClipboard;
    friend class SubstituteKeyboard;
    friend class SubstituteSleeper;
    friend class SubstituteObserverFactory;
    friend class SubstituteObserver;
    friend class SubstituteMouse;

    struct ElementState {
        int id = 0;
        qint32 pid = 0;
        int parent = 0; // 0: the application element
        QString role;
        std::optional<QString> subrole;
        std::optional<bool> protectedContent;
        std::optional<bool> editable;
        std::optional<QString> value;
        bool valueReadable = true;
        std::optional<TextRange> selection;
        bool rangeReadable = true;
        std::optional<QString> selectedTextAttribute;
        std::optional<QRectF> bounds;
        bool valueSettable = true;
        bool selectionSettable = true; // the selected range and the selected text
        std::optional<qint32> reportedPid;
        std::chrono::milliseconds timeout{6000}; // the platform default until someone sets one
        std::optional<QString> lastValueRead;
        std::optional<TextRange> lastRangeRead;
    };
    enum class WriteBehaviour { accept, ignore, rewrite };
    struct AppState {
        qint32 pid = 0;
        RunningApplication info;
        bool httpsHandler = false;
        bool electron = false;
        bool manualAccessibility = false;
        int failingWakeUps = 0;
        int wakeUpRequests = 0;
        WriteBehaviour writes = WriteBehaviour::accept;
        QString thirdText;
        bool slow = false;
        int focusedElementError = 0;
        int focused = 0;
        bool refusesObservers = false;
        QSet<QString> failingNotifications;
        std::chrono::milliseconds timeout{6000};
    };
    struct Registration {
        int observer;
        AccessibilityElement element;
        QString notification;
    };
    struct ObserverState {
        qint32 pid;
        AccessibilityObserverFactory::Handler handler;
        bool onMainLoop = false;
    };

    int addElement(int parent, qint32 pid, const QString& role);
    ElementState* find(const AccessibilityElement& element);
    ElementState& state(int id);
    AppState& app(qint32 pid);
    std::optional<qint32> appPidOf(const AccessibilityElement& element) const;
    // Counts a read; returns the actions now due, to be run once the lock is released.
    QList<std::function<void()>> countRead(const QString& attribute);
    void reportTextAccess(const TextAccess& access);
    void runFocusReadHook(const AccessibilityElement& element);
    void applyTextWrite(ElementState& element, const QString& newValue, qsizetype caret);
    void deliverPaste();
    void writeClipboard(QList<ClipboardItem> items);

    mutable std::recursive_mutex m_mutex;
    ManualClock m_clock;
    std::unique_ptr<SubstituteAccessibility> m_accessibility;
    std::unique_ptr<SubstituteWorkspace> m_workspace;
    std::unique_ptr<SubstitutePointer> m_pointer;
    std::unique_ptr<SubstituteClipboard> m_clipboardImpl;
    std::unique_ptr<SubstituteKeyboard> m_keyboard;
    std::unique_ptr<SubstituteSleeper> m_sleeper;
    std::unique_ptr<SubstituteObserverFactory> m_observerFactory;
    std::unique_ptr<SubstituteMouse> m_mouse;

    QHash<int, ElementState> m_elements;
    QHash<qint32, AppState> m_apps;
    int m_nextElement = 1;
    qint32 m_nextPid = 1001;
    qint32 m_frontmost = 0;
    bool m_trusted = true;
    QSet<QString> m_paths;
    std::optional<QPointF> m_pointerLocation;
    std::optional<int> m_systemWideFocus;

    int m_reads = 0;
    QHash<QString, int> m_readsByAttribute;
    int m_writes = 0;
    QHash<int, QStringList> m_writesByElement;
    QList<std::pair<int, std::function<void()>>> m_readActions; // (remaining reads, action)
    QList<std::pair<QString, std::function<void()>>> m_writeActions;
    std::function<void()> m_focusReadHook;
    std::function<void(const TextAccess&)> m_textObserver;
    void runWriteActions(const QString& attribute);

    QList<ClipboardItem> m_clipboard;
    qint64 m_changeCount = 0;
    bool m_refuseText = false;
    QSet<QString> m_unreadableTypes;
    std::optional<QList<ClipboardItem>> m_copyDuringPaste;
    std::chrono::milliseconds m_pasteDelay{0};
    std::optional<QDateTime> m_pasteDueAt;
    std::chrono::milliseconds m_selectionDelay{0};
    std::chrono::milliseconds m_textWriteDelay{0};
    QList<std::pair<QDateTime, std::function<void()>>> m_lateEffects; // run by the sleeper when due
    void runLateEffects();
    bool m_keyboardBroken = false;
    QList<KeyEvent> m_keys;

    int m_nextObserver = 1;
    int m_observersCreated = 0;
    QHash<int, ObserverState> m_observers;
    QList<Registration> m_registrations;
    quint64 m_nextMonitor = 1;
    QHash<quint64, std::pair<GlobalMouseMonitor::Event, std::function<void()>>> m_mouseMonitors;
};

} // namespace qw::test
