// The Linux desktop backend against real programs: a GTK 3 program read and written through
// AT-SPI, X11's active window, XTest, XInput2 and the clipboard. Runs inside
// scripts/headless-session.sh (Xvfb, openbox, session bus, accessibility bus).
#include "platform/LinuxDesktop.h"

#include "accessibility/AXFocusMonitor.h"
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "platform/DesktopDiagnostics.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiProcessIds.h"
#include "platform/x11/X11ActivationEvents.h"
#include "tests/platform/DesktopTestApp.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;

using test::DesktopTestApp;

const QString padId = u"org.quillweave.TestPad"_s;

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// An application that accepts nothing through the accessibility channel's value write, so
// that a write has to go through the paste channel.
class RefusingValueWrites : public AccessibilityAPI {
public:
    explicit RefusingValueWrites(AccessibilityAPI& real) : m_real(real) {}
    bool isProcessTrusted() const override { return m_real.isProcessTrusted(); }
    AccessibilityElement applicationElement(qint32 pid) override { return m_real.applicationElement(pid); }
    AccessibilityElement systemWideElement() override { return m_real.systemWideElement(); }
    void setMessagingTimeout(const AccessibilityElement& e, std::chrono::milliseconds t) override
    {
        m_real.setMessagingTimeout(e, t);
    }
    AttributeResult copyAttributeValue(const AccessibilityElement& e, const QString& a) override
    {
        return m_real.copyAttributeValue(e, a);
    }
    SettableResult isAttributeSettable(const AccessibilityElement& e, const QString& a) override
    {
        if (a == AXAttribute::value)
            return {AXErrorCode::success, false};
        return m_real.isAttributeSettable(e, a);
    }
    int setAttributeValue(const AccessibilityElement& e, const QString& a, const AttributeValue& v) override
    {
        if (a == AXAttribute::value)
            return AXErrorCode::attributeUnsupported;
        return m_real.setAttributeValue(e, a, v);
    }
    ProcessIdResult processId(const AccessibilityElement& e) override { return m_real.processId(e); }
    ElementResult elementAtPosition(const AccessibilityElement& s, QPointF p) override
    {
        return m_real.elementAtPosition(s, p);
    }

private:
    AccessibilityAPI& m_real;
};

class LinuxDesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        // Desktop entries of our own, so that nothing depends on what the machine has installed.
        s_dataHome = new QTemporaryDir;
        const QString applications = s_dataHome->filePath(u"applications"_s);
        QDir().mkpath(applications);
        writeFile(applications + u"/org.quillweave.TestPad.desktop"_s,
                  "[Desktop Entry]\nType=Application\nName=Test Pad\nName[zh_CN]=测试记事本\n"
                  "Exec=/usr/bin/python3 " +
                      DesktopTestApp::scriptPath().toUtf8() + "\n");
        writeFile(applications + u"/org.quillweave.TestBrowser.desktop"_s,
                  "[Desktop Entry]\nType=Application\nName=Test Browser\nExec=test-browser %u\n"
                  "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n");
        qputenv("XDG_DATA_HOME", s_dataHome->path().toUtf8());
        s_desktop = new LinuxDesktop;
        // As the tray program runs it: the front is remembered between activations.
        s_activations = new X11ActivationEvents;
        s_desktop->workspace().followActivations(*s_activations);
        s_desktop->accessibilityBus().waitUntilReady(std::chrono::seconds(10));
    }

    static void TearDownTestSuite()
    {
        delete s_activations;
        s_activations = nullptr;
        delete s_desktop;
        s_desktop = nullptr;
        delete s_dataHome;
        s_dataHome = nullptr;
    }

    void SetUp() override
    {
        if (!s_desktop)
            GTEST_SKIP() << "DISPLAY is not set: run inside scripts/headless-session.sh";
        ASSERT_TRUE(s_desktop->accessibilityBus().isReady())
            << s_desktop->accessibilityBus().failure().toStdString();
        // The router's subscription is made on the main thread once the bus is up.
        ASSERT_TRUE(s_desktop->workspace().isConnected());
        // The session starts the window manager beside the tests: activation needs it.
        ASSERT_TRUE(test::pumpUntil([] { return s_desktop->workspace().hasActiveWindowSupport(); }))
            << "no window manager reports the active window";
        m_worker = std::make_unique<AXWorker>(s_desktop->platform());
    }

    // Starts the GTK program, activates its window and waits until its focused field can be
    // read (its accessible tree is up).
    std::unique_ptr<DesktopTestApp> launch(QStringList arguments, bool expectField = true,
                                           QString program = QString())
    {
        auto app = std::make_unique<DesktopTestApp>(std::move(arguments), std::move(program));
        EXPECT_TRUE(app->start());
        EXPECT_TRUE(app->activate());
        EXPECT_TRUE(test::pumpUntil([&] { return s_desktop->workspace().frontmostPid() == app->pid(); }));
        if (expectField) {
            QString diagnostic;
            EXPECT_TRUE(test::pumpUntil([&] {
                const auto [field, message] = focus(*app);
                diagnostic = message;
                return field.has_value();
            })) << diagnostic.toStdString();
        }
        return app;
    }

    RunningApplication running(const DesktopTestApp& app)
    {
        auto front = s_desktop->workspace().frontmostApplication();
        EXPECT_TRUE(front && front->pid == app.pid());
        return front.value_or(RunningApplication{app.pid(), {}, {}, {}, false});
    }

    AXWorker::FocusResult focus(const DesktopTestApp& app)
    {
        auto started = test::start(m_worker->focus(running(app)));
        return started.wait();
    }

    // The selection with its field and range. On a loaded machine one read can run out of its
    // element time-outs before the range is read; the next read gets it.
    std::optional<UserSelection> completeSelection(const DesktopTestApp& app)
    {
        std::optional<UserSelection> found;
        test::pumpUntil([&] {
            auto selection = test::start(m_worker->selection(running(app), std::nullopt));
            found = selection.wait();
            return found && found->range && found->field;
        });
        return found;
    }

    // The focused object as found by searching the active window, with no focus event known
    // (a program started before we listened, or whose events were lost).
    static AttributeResult focusedBySearch(qint32 pid)
    {
        AtspiFocusTracker noEvents;
        AtspiProcessIds pids;
        AtspiAccessibility searching(s_desktop->accessibilityBus(), noEvents, pids,
                                     [] { return std::nullopt; });
        searching.setMessagingTimeout(searching.applicationElement(pid), std::chrono::seconds(2));
        return searching.copyAttributeValue(searching.applicationElement(pid), AXAttribute::focusedUIElement);
    }

    static LinuxDesktop* s_desktop;
    static X11ActivationEvents* s_activations;
    static QTemporaryDir* s_dataHome;
    std::unique_ptr<AXWorker> m_worker;
};

LinuxDesktop* LinuxDesktopTest::s_desktop = nullptr;
X11ActivationEvents* LinuxDesktopTest::s_activations = nullptr;
QTemporaryDir* LinuxDesktopTest::s_dataHome = nullptr;

TEST_F(LinuxDesktopTest, FrontmostApplicationIsTheActiveWindowsProgramWithItsDesktopEntry)
{
    auto app = launch({u"--app-id"_s, padId}, false);
    const auto front = s_desktop->workspace().frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->pid, app->pid());
    EXPECT_EQ(front->bundleID, padId);
    EXPECT_EQ(front->localizedName, u"Test Pad"_s);
    EXPECT_FALSE(s_desktop->workspace().isTerminated(*front));

    // The remembered front follows every activation, there and back.
    auto other = launch({}, false);
    ASSERT_TRUE(app->activate());
    EXPECT_TRUE(test::pumpUntil([&] { return s_desktop->workspace().frontmostPid() == app->pid(); }));
    ASSERT_TRUE(other->activate());
    EXPECT_TRUE(test::pumpUntil([&] {
        const auto now = s_desktop->workspace().frontmostApplication();
        return now && now->pid == other->pid();
    }));

    const QStringList handlers = s_desktop->workspace().applicationsOpeningHttpsUrls();
    EXPECT_TRUE(handlers.contains(u"org.quillweave.TestBrowser"_s));
    EXPECT_FALSE(handlers.contains(padId));
}

TEST_F(LinuxDesktopTest, FocusedEntryIsReadWithRoleValueBoundsAndCaret)
{
    auto app = launch({u"--entry-text"_s, u"Guten Morgen"_s, u"--view-text"_s, u"first line\nsecond line"_s});
    const auto [field, diagnostic] = focus(*app);
    ASSERT_TRUE(field);
    EXPECT_EQ(field->role, AXRole::textField);
    EXPECT_EQ(field->value, u"Guten Morgen"_s);
    const AttributeResult searched = focusedBySearch(app->pid());
    EXPECT_EQ(searched.error, AXErrorCode::success);
    EXPECT_EQ(searched.value, AttributeValue(field->element));
    EXPECT_EQ(field->pid, app->pid());
    ASSERT_TRUE(field->bounds);
    EXPECT_GT(field->bounds->width(), 10);
    EXPECT_TRUE(QRectF(0, 0, 1280, 800).contains(*field->bounds));
    // GTK selects an entry's whole text when it takes focus from the keyboard; anything
    // reported is a real length.
    ASSERT_TRUE(field->selectedLength);
    EXPECT_EQ(diagnostic,
              L10n::format(L10N_KEY("%@ · 可读取 · 直接写入：%@ · 安全选区：%@"),
                           {AXRole::textField, L10n::text(L10N_KEY("是")), L10n::text(L10N_KEY("是"))}));

    // A bare caret is a selection of length 0, not "absent".
    ASSERT_TRUE(app->send(u"select entry 3 3"_s));
    auto snapshot = test::start(m_worker->snapshot(*field));
    EXPECT_EQ(snapshot.wait(), (AXWorker::Snapshot{true, u"Guten Morgen"_s, 0}));

    // A text view is a multi-line text area.
    ASSERT_TRUE(app->send(u"focus view"_s));
    std::optional<FocusedField> view;
    EXPECT_TRUE(test::pumpUntil([&] {
        view = focus(*app).first;
        return view && view->role == AXRole::textArea;
    }));
    EXPECT_EQ(view ? view->value : QString(), u"first line\nsecond line"_s);
}

TEST_F(LinuxDesktopTest, PasswordEntryIsNeverRead)
{
    auto app = launch({u"--password-text"_s, u"hunter2"_s, u"--focus"_s, u"password"_s}, false);
    test::pumpUntil([&] { return focus(*app).second == L10n::text(L10N_KEY("已排除受保护输入框")); });
    const auto [field, diagnostic] = focus(*app);
    EXPECT_FALSE(field);
    EXPECT_EQ(diagnostic, L10n::text(L10N_KEY("已排除受保护输入框")));

    // Even asked directly, the backend refuses to read its text or selection.
    AccessibilityAPI& ax = s_desktop->accessibility();
    const AttributeResult focused =
        ax.copyAttributeValue(ax.applicationElement(app->pid()), AXAttribute::focusedUIElement);
    const auto* element = std::get_if<AccessibilityElement>(&focused.value);
    ASSERT_TRUE(element);
    EXPECT_EQ(ax.copyAttributeValue(*element, AXAttribute::subrole).value,
              AttributeValue(AXRole::secureTextField));
    for (const QString& attribute :
         {AXAttribute::value, AXAttribute::selectedText, AXAttribute::selectedTextRange}) {
        const AttributeResult read = ax.copyAttributeValue(*element, attribute);
        EXPECT_FALSE(read.succeeded()) << attribute.toStdString();
        EXPECT_TRUE(std::holds_alternative<std::monostate>(read.value));
    }
    EXPECT_EQ(ax.setAttributeValue(*element, AXAttribute::value, AttributeValue(u"x"_s)),
              AXErrorCode::attributeUnsupported);
    EXPECT_EQ(app->state().value(u"entry"_s).toString(), QString());

    // An entry whose text is hidden while it is read becomes a password field at once: the
    // reading just before must not vouch for the next one.
    auto plain = launch({u"--entry-text"_s, u"hunter3"_s});
    ASSERT_TRUE(focus(*plain).first);
    ASSERT_TRUE(plain->send(u"hide entry"_s));
    const auto [hidden, why] = focus(*plain);
    EXPECT_FALSE(hidden);
    EXPECT_EQ(why, L10n::text(L10N_KEY("已排除受保护输入框")));
}

// GTK counts "a😀b c" in characters (5), Qt in UTF-16 units (6), the bridge in UTF-16 units:
// converting one toolkit's offsets as the other's would cut the emoji in two.
TEST_F(LinuxDesktopTest, SelectionOutsideTheBasicPlaneIsReadAndReplacedAtItsUtf16Range)
{
    for (const auto& [program, selectEmojiAndB] :
         {std::pair(QString(), u"select entry 1 3"_s),
          std::pair(QStringLiteral(QW_QT_TEXT_APP), u"select entry 1 4"_s)}) {
        SCOPED_TRACE(program.isEmpty() ? "GTK" : "Qt");
        auto app = launch({u"--entry-text"_s, u"a😀b c"_s}, true, program);
        if (!program.isEmpty()) {
            // Qt has no Collection interface: the search walks the window.
            const auto field = focus(*app).first;
            ASSERT_TRUE(field);
            EXPECT_EQ(field->role, AXRole::textField);
            const AttributeResult searched = focusedBySearch(app->pid());
            EXPECT_EQ(searched.error, AXErrorCode::success);
            EXPECT_EQ(searched.value, AttributeValue(field->element));
        }
        ASSERT_TRUE(app->send(selectEmojiAndB));
        const auto found = completeSelection(*app);
        ASSERT_TRUE(found && found->range && found->field);
        EXPECT_EQ(found->text, u"😀b"_s);
        EXPECT_EQ(*found->range, (TextRange{1, 3}));

        auto generation = std::make_shared<AXAccessGeneration>();
        AXReplaceRequest request{u"😀b"_s, u"𝄞x"_s, *found->field, found->range, found->field->value};
        auto write = test::start(m_worker->replace(request, AXReadPermit::issue(generation)));
        EXPECT_EQ(write.wait(), WriteResult::success(L10n::text(L10N_KEY("辅助功能接口"))));
        EXPECT_EQ(app->state().value(u"entry"_s).toString(), u"a𝄞x c"_s);
        if (program.isEmpty()) {
            // Selecting half of a surrogate pair is refused, never rounded.
            AccessibilityAPI& ax = s_desktop->accessibility();
            EXPECT_EQ(ax.setAttributeValue(found->field->element, AXAttribute::selectedTextRange,
                                           AttributeValue(TextRange{2, 1})),
                      AXErrorCode::illegalArgument);
        }
    }
}

TEST_F(LinuxDesktopTest, WholeValueIsWrittenThroughAccessibilityOrPastedPuttingTheUsersClipboardBack)
{
    auto app = launch({u"--entry-text"_s, u"good morning"_s});
    ASSERT_TRUE(app->send(u"select entry 0 0"_s));
    auto generation = std::make_shared<AXAccessGeneration>();
    const auto field = focus(*app).first;
    ASSERT_TRUE(field);
    ASSERT_EQ(field->selectedLength, 0);
    AXReplaceRequest request{u"good morning"_s, u"hello there"_s, *field};
    auto write = test::start(m_worker->replace(request, AXReadPermit::issue(generation)));
    EXPECT_EQ(write.wait(), WriteResult::success(L10n::text(L10N_KEY("辅助功能接口"))));
    EXPECT_EQ(app->state().value(u"entry"_s).toString(), u"hello there"_s);

    // An application that takes no value write gets the translation pasted.
    auto* mime = new QMimeData;
    mime->setData(u"text/plain"_s, "the user's own copy");
    mime->setData(u"application/x-quillweave-test"_s, QByteArray("\x01\x02\x03", 3));
    QGuiApplication::clipboard()->setMimeData(mime);

    RefusingValueWrites refusingWrites(s_desktop->accessibility());
    AXPlatform platform = s_desktop->platform();
    AXWorker worker(AXPlatform{refusingWrites, platform.workspace, platform.pointer, platform.clipboard,
                               platform.keys, platform.sleeper, platform.clock});
    auto read = test::start(worker.focus(running(*app)));
    const auto refusing = read.wait().first;
    ASSERT_TRUE(refusing);
    AXReplaceRequest paste{u"hello there"_s, u"你好"_s, *refusing};
    paste.clipboardFallbackEnabled = true;
    auto pasted = test::start(worker.replace(paste, AXReadPermit::issue(generation)));
    EXPECT_EQ(pasted.wait(), WriteResult::success(L10n::text(L10N_KEY("剪贴板兼容模式"))));
    EXPECT_EQ(app->state().value(u"entry"_s).toString(), u"你好"_s);

    const QMimeData* after = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->data(u"text/plain"_s), QByteArray("the user's own copy"));
    EXPECT_EQ(after->data(u"application/x-quillweave-test"_s), QByteArray("\x01\x02\x03", 3));
}

TEST_F(LinuxDesktopTest, AnotherProgramCopyingAdvancesTheChangeCount)
{
    // The paste channel restores the user's clipboard only while the count is unchanged:
    // a copy made by another program must move it, so newer content is left alone.
    Clipboard& clipboard = s_desktop->clipboard();
    ASSERT_TRUE(clipboard.setString(u"translation"_s));
    const qint64 placed = clipboard.changeCount();

    QProcess copier;
    copier.start(u"xclip"_s, {u"-selection"_s, u"clipboard"_s});
    ASSERT_TRUE(copier.waitForStarted());
    copier.write("copied elsewhere");
    copier.closeWriteChannel();
    EXPECT_TRUE(test::pumpUntil([&] { return clipboard.changeCount() != placed; }));
    copier.kill();
    copier.waitForFinished();
}

TEST_F(LinuxDesktopTest, FocusAndValueChangeNotificationsArrive)
{
    auto app = launch({u"--entry-text"_s, u"one"_s});
    test::VirtualTime time;
    AXFocusMonitor monitor(s_desktop->accessibility(), s_desktop->observers(), time);
    int updates = 0;
    monitor.setOnUpdate([&] { ++updates; });
    monitor.watch(running(*app), true);
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("焦点事件监听中（定时检测兜底）")));
    auto delivered = [&](int wanted) {
        return test::pumpUntil([&] {
            time.advance(std::chrono::milliseconds(0));
            return updates >= wanted;
        });
    };

    ASSERT_TRUE(app->send(u"focus view"_s));
    EXPECT_TRUE(delivered(1));

    ASSERT_TRUE(app->send(u"focus entry"_s));
    ASSERT_TRUE(delivered(2));
    const auto field = focus(*app).first;
    ASSERT_TRUE(field);
    monitor.watch(field);
    const int before = updates;
    ASSERT_TRUE(app->send(u"set entry \"two\""_s));
    EXPECT_TRUE(delivered(before + 1));

    monitor.stop();
    const int stopped = updates;
    ASSERT_TRUE(app->send(u"set entry \"three\""_s));
    ASSERT_TRUE(app->send(u"focus view"_s));
    app->state(); // a round trip after the events
    time.advance(std::chrono::milliseconds(0));
    EXPECT_EQ(updates, stopped);
}

TEST_F(LinuxDesktopTest, PointerLocationElementUnderItAndLeftButtonAreSeenGlobally)
{
    auto app = launch({u"--entry-text"_s, u"pointer"_s});
    const auto field = focus(*app).first;
    ASSERT_TRUE(field && field->bounds);
    const QPointF centre = field->bounds->center();
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"mousemove"_s, QString::number(int(centre.x())),
                                               QString::number(int(centre.y()))}),
              0);
    AXPlatform platform = s_desktop->platform();
    EXPECT_EQ(platform.pointer.pointerLocation(), QPointF(int(centre.x()), int(centre.y())));
    AccessibilityAPI& ax = s_desktop->accessibility();
    const ElementResult hit = ax.elementAtPosition(ax.systemWideElement(), centre);
    EXPECT_EQ(hit.error, AXErrorCode::success);
    EXPECT_EQ(hit.element, field->element);

    // Left-button presses and releases are seen globally; other buttons are not the left one.
    GlobalMouseMonitor& mouse = s_desktop->mouse();
    QStringList seen;
    const auto down = mouse.add(GlobalMouseMonitor::Event::leftMouseDown, [&] { seen << u"down"_s; });
    const auto up = mouse.add(GlobalMouseMonitor::Event::leftMouseUp, [&] { seen << u"up"_s; });
    ASSERT_NE(down, 0u);
    ASSERT_NE(up, 0u);
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"click"_s, u"1"_s}), 0);
    EXPECT_TRUE(test::pumpUntil([&] { return seen.size() >= 2; }));
    EXPECT_EQ(seen, (QStringList{u"down"_s, u"up"_s}));

    // Other buttons are not the left button.
    mouse.remove(down);
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"click"_s, u"3"_s}), 0);
    ASSERT_EQ(QProcess::execute(u"xdotool"_s, {u"click"_s, u"1"_s}), 0);
    EXPECT_TRUE(test::pumpUntil([&] { return seen.size() >= 3; }));
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(seen.last(), u"up"_s);
    mouse.remove(up);
}

TEST_F(LinuxDesktopTest, DiagnosticsNameTheFrontmostApplicationAndDescribeTheFieldWithoutItsText)
{
    auto app = launch({u"--entry-text"_s, u"secret plans"_s});
    DesktopDiagnostics diagnostics(*s_desktop, *m_worker);
    auto collected = test::start(diagnostics.collect());
    const DesktopReport report = collected.wait();
    EXPECT_EQ(report.session, DesktopReport::Session::x11);
    EXPECT_TRUE(report.accessibilityBus);
    EXPECT_TRUE(report.activeWindowSupport);
    ASSERT_TRUE(report.frontmost);
    EXPECT_EQ(report.frontmost->pid, app->pid());
    EXPECT_TRUE(report.focusedFieldFound);
    EXPECT_TRUE(report.focusDiagnostic.startsWith(AXRole::textField));
    EXPECT_FALSE(report.focusDiagnostic.contains(u"secret"_s));
}

TEST_F(LinuxDesktopTest, AskingForTrustSwitchesAccessibilityOn)
{
    AtspiBus& bus = s_desktop->accessibilityBus();
    bus.requestEnable();
    EXPECT_TRUE(test::pumpUntil([&] { return bus.isEnabled() && bus.isScreenReaderEnabled(); }));
    EXPECT_TRUE(s_desktop->accessibility().isProcessTrusted());
}

} // namespace
} // namespace qw
