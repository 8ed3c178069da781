// Applications people type in, read and written through the product's own path (the LinuxDesktop
// backends behind AXWorker): mousepad (GTK 3), gnome-text-editor (GTK 4: its text view and its
// search entry), FeatherPad (Qt 5 with tabs), a Qt 6 program with tabs, a GTK 4 password entry,
// and a dialog without an identity of its own. Runs inside scripts/headless-session.sh.
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "app/cli/DoctorCommand.h"
#include "l10n/L10n.h"
#include "platform/DesktopDiagnostics.h"
#include "platform/LinuxDesktop.h"
#include "platform/atspi/AtspiElementRef.h"
#include "tests/platform/DesktopTestApp.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;
using test::DesktopTestApp;

const QString qtTabsApp = QStringLiteral(QW_QT_TABS_APP);
const QString appsDir = QStringLiteral(QW_SOURCE_DIR "/tests/apps");

// A program of the distribution, started afresh and brought to the front. It is steered only
// with synthetic keys, as a user would.
class RealApplication {
public:
    RealApplication(QString program, QStringList arguments)
    {
        m_process.setProgram(std::move(program));
        m_process.setArguments(std::move(arguments));
        m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        m_process.setStandardErrorFile(QProcess::nullDevice());
    }
    ~RealApplication()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000)) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }

    // Starts it and waits (bounded) until one of its windows is shown and active.
    bool start()
    {
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        QString window;
        test::pumpUntil([&] {
            QProcess search;
            search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid())});
            search.waitForFinished(5000);
            window =
                QString::fromUtf8(search.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts).value(0);
            return !window.isEmpty() || m_process.state() == QProcess::NotRunning;
        });
        return !window.isEmpty() &&
               QProcess::execute(u"xdotool"_s, {u"windowactivate"_s, u"--sync"_s, window}) == 0;
    }
    qint32 pid() const { return qint32(m_process.processId()); }

private:
    QProcess m_process;
};

bool keys(const QStringList& arguments)
{
    return QProcess::execute(u"xdotool"_s, arguments) == 0;
}

class RealApplicationsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        // Entries for our own programs beside the distribution's (XDG_DATA_DIRS stays as it is).
        s_dataHome = new QTemporaryDir;
        const QString applications = s_dataHome->filePath(u"applications"_s);
        QDir().mkpath(applications);
        const QList<std::pair<QString, QByteArray>> entries{
            {u"org.quillweave.TestTabs"_s,
             "Name=Test Tabs\nExec=qw_qt_tabs_app\nStartupWMClass=qw_qt_tabs_app\n"},
            {u"org.quillweave.TestWriter"_s, "Name=Test Writer\nExec=test-writer\n"},
        };
        for (const auto& [id, body] : entries) {
            QFile file(applications + u'/' + id + u".desktop"_s);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("[Desktop Entry]\nType=Application\n" + body);
        }
        qputenv("XDG_DATA_HOME", s_dataHome->path().toUtf8());
        s_desktop = new LinuxDesktop;
        AtspiBus& bus = s_desktop->accessibilityBus();
        bus.waitUntilReady(std::chrono::seconds(10));
        // Focus events alone, with nothing of the search mixed in: what the event path sees.
        s_events = new AtspiFocusTracker;
        s_pids = new AtspiProcessIds;
        s_router = new AtspiEventRouter(bus, *s_events, *s_pids);
        s_listener = s_router->addListener([](qint32, const AtspiEventRouter::Event&) {});
        bus.requestEnable();
        test::pumpUntil([&] { return bus.isEnabled(); });
    }

    static void TearDownTestSuite()
    {
        delete s_router;
        delete s_pids;
        delete s_events;
        delete s_desktop;
        delete s_dataHome;
        s_router = nullptr;
        s_desktop = nullptr;
    }

    void SetUp() override
    {
        if (!s_desktop)
            GTEST_SKIP() << "DISPLAY is not set: run inside scripts/headless-session.sh";
        ASSERT_TRUE(s_desktop->accessibilityBus().isReady());
        ASSERT_TRUE(s_router->isSubscribed());
        m_worker = std::make_unique<AXWorker>(s_desktop->platform());
    }

    bool isFront(qint32 pid)
    {
        return test::pumpUntil([&] { return s_desktop->workspace().frontmostPid() == pid; });
    }

    AXWorker::FocusResult read(qint32 pid)
    {
        const auto front = s_desktop->workspace().frontmostApplication();
        auto started =
            test::start(m_worker->focus(front.value_or(RunningApplication{pid, {}, {}, {}, false})));
        return started.wait();
    }

    // Reads until the field shows `value`; the last read is returned either way.
    AXWorker::FocusResult readUntil(qint32 pid, const QString& value)
    {
        AXWorker::FocusResult last;
        test::pumpUntil([&] {
            last = read(pid);
            return last.first && last.first->value == value;
        });
        return last;
    }

    // The focused object as a cold search finds it: no focus event known.
    static AttributeResult coldSearch(qint32 pid)
    {
        AtspiFocusTracker noEvents;
        AtspiProcessIds pids;
        AtspiAccessibility searching(s_desktop->accessibilityBus(), noEvents, pids,
                                     [] { return std::nullopt; });
        searching.setMessagingTimeout(searching.applicationElement(pid), std::chrono::seconds(2));
        return searching.copyAttributeValue(searching.applicationElement(pid), AXAttribute::focusedUIElement);
    }

    // Whether the events alone (a focus event, or typing where no focus was announced) point at
    // the element.
    static bool eventsPointAt(const AccessibilityElement& element)
    {
        const auto ref = AtspiElementRef::parse(element);
        return ref && test::pumpUntil([&] {
                   return s_events->mostRecent() == AtspiFocusTracker::Object{ref->busName, ref->path} ||
                          s_events->typedPath(ref->busName) == ref->path;
               });
    }

    static LinuxDesktop* s_desktop;
    static QTemporaryDir* s_dataHome;
    static AtspiFocusTracker* s_events;
    static AtspiProcessIds* s_pids;
    static AtspiEventRouter* s_router;
    static int s_listener;
    std::unique_ptr<AXWorker> m_worker;
};

LinuxDesktop* RealApplicationsTest::s_desktop = nullptr;
QTemporaryDir* RealApplicationsTest::s_dataHome = nullptr;
AtspiFocusTracker* RealApplicationsTest::s_events = nullptr;
AtspiProcessIds* RealApplicationsTest::s_pids = nullptr;
AtspiEventRouter* RealApplicationsTest::s_router = nullptr;
int RealApplicationsTest::s_listener = 0;

TEST_F(RealApplicationsTest, TheTypedFieldIsFoundByEventsAndSearchReplacedAndNamedByItsDesktopEntry)
{
    const struct {
        const char* situation;
        QString program;
        QStringList arguments;
        QStringList keysBefore; // what the user presses to reach the field
        QString desktopId;
        bool coldSearchFinds;
    } rows[] = {
        // GTK announces a focus only when it moves inside the window: the search bar and back.
        {"GTK 3: mousepad's text view",
         u"mousepad"_s,
         {u"--disable-server"_s},
         {u"ctrl+f"_s, u"Escape"_s},
         u"org.xfce.mousepad"_s,
         true},
        // No Collection, "showing" only on the window.
        {"GTK 4: gnome-text-editor's text view",
         u"gnome-text-editor"_s,
         {u"--standalone"_s},
         {u"ctrl+f"_s, u"Escape"_s},
         u"org.gnome.TextEditor"_s,
         true},
        // It never carries the focused state, nor announces its focus: only its caret events
        // find it.
        {"GTK 4: gnome-text-editor's search entry",
         u"gnome-text-editor"_s,
         {u"--standalone"_s},
         {u"ctrl+f"_s},
         u"org.gnome.TextEditor"_s,
         false},
        // The current page tab claims focus too, and is met first.
        {"Qt 5: FeatherPad with tabs", u"featherpad"_s, {u"--standalone"_s}, {}, u"featherpad"_s, true},
        {"Qt 6: line edit under a tab widget", qtTabsApp, {}, {}, u"org.quillweave.TestTabs"_s, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        RealApplication app(row.program, row.arguments);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(isFront(app.pid()));
        // Keys pressed before the program is ready are lost: wait until it has a field. Each key
        // then moves the focus: wait until the read sees it move before the next.
        const auto focusedElement = [&]() -> std::optional<AccessibilityElement> {
            const auto field = read(app.pid()).first;
            return field ? std::optional(field->element) : std::nullopt;
        };
        std::optional<AccessibilityElement> before;
        ASSERT_TRUE(test::pumpUntil([&] { return (before = focusedElement()).has_value(); }));
        for (const QString& key : row.keysBefore) {
            ASSERT_TRUE(keys({u"key"_s, key}));
            EXPECT_TRUE(test::pumpUntil([&] { return focusedElement() != before; })) << key.toStdString();
            before = focusedElement();
        }
        ASSERT_TRUE(keys({u"type"_s, u"--delay"_s, u"20"_s, u"draft one"_s}));

        const auto [field, diagnostic] = readUntil(app.pid(), u"draft one"_s);
        ASSERT_TRUE(field) << diagnostic.toStdString();
        EXPECT_EQ(field->bundleID, row.desktopId);
        EXPECT_EQ(s_desktop->workspace().frontmostApplication()->bundleID, row.desktopId);
        EXPECT_TRUE(eventsPointAt(field->element));
        const AttributeResult searched = coldSearch(app.pid());
        EXPECT_EQ(searched.error == AXErrorCode::success && searched.value == AttributeValue(field->element),
                  row.coldSearchFinds);

        auto generation = std::make_shared<AXAccessGeneration>();
        const AXReplaceRequest request{u"draft one"_s, u"first draft"_s, *field};
        auto write = test::start(m_worker->replace(request, AXReadPermit::issue(generation)));
        EXPECT_EQ(write.wait(), WriteResult::success(L10n::text(L10N_KEY("辅助功能接口"))))
            << write.result().message().toStdString();
        const auto readBack = readUntil(app.pid(), u"first draft"_s).first;
        EXPECT_EQ(readBack ? readBack->value : QString(), u"first draft"_s);
    }
}

TEST_F(RealApplicationsTest, PasswordFieldsAreExcludedAndTheirTextNeverAsked)
{
    const struct {
        const char* situation;
        QString program;
        QStringList arguments;
        QString focusCommand;
    } rows[] = {
        {"GTK 4 password entry",
         u"/usr/bin/python3"_s,
         {appsDir + u"/gtk4_entries_app.py"_s, u"--focus"_s, u"password"_s, u"--password-text"_s,
          u"hunter2"_s},
         QString()},
        {"Qt 6 line edit in password mode", qtTabsApp, {}, u"focus password"_s},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.situation);
        DesktopTestApp app(row.arguments, row.program);
        ASSERT_TRUE(app.start());
        ASSERT_TRUE(app.activate());
        ASSERT_TRUE(isFront(app.pid()));
        if (!row.focusCommand.isEmpty()) {
            ASSERT_TRUE(app.send(row.focusCommand));
        }
        const QString excluded = L10n::text(L10N_KEY("已排除受保护输入框"));
        test::pumpUntil([&] { return read(app.pid()).second == excluded; });
        const auto [field, diagnostic] = read(app.pid());
        EXPECT_FALSE(field);
        EXPECT_EQ(diagnostic, excluded);
        // Found, and refused by the backend too: its text is never asked for.
        AccessibilityAPI& ax = s_desktop->accessibility();
        const AttributeResult focused =
            ax.copyAttributeValue(ax.applicationElement(app.pid()), AXAttribute::focusedUIElement);
        const auto* element = std::get_if<AccessibilityElement>(&focused.value);
        ASSERT_TRUE(element);
        EXPECT_EQ(ax.copyAttributeValue(*element, AXAttribute::protectedContent).value, AttributeValue(true));
        EXPECT_FALSE(ax.copyAttributeValue(*element, AXAttribute::value).succeeded());
    }
}

// LibreOffice's dialogs carry WM_CLASS "soffice" and no application id; they are transient for
// the document window of the same process.
TEST_F(RealApplicationsTest, ADialogWithoutAnIdentityIsItsOwnersWindow)
{
    DesktopTestApp app({appsDir + u"/transient_dialog_app.py"_s, u"--entry-text"_s, u"Suchen"_s},
                       u"/usr/bin/python3"_s);
    ASSERT_TRUE(app.start());
    ASSERT_TRUE(app.activate());
    ASSERT_TRUE(isFront(app.pid()));
    const auto front = s_desktop->workspace().frontmostApplication();
    ASSERT_TRUE(front);
    EXPECT_EQ(front->bundleID, u"org.quillweave.TestWriter"_s);
    EXPECT_EQ(front->localizedName, u"Test Writer"_s);
    const auto field = readUntil(app.pid(), u"Suchen"_s).first;
    ASSERT_TRUE(field);
    EXPECT_EQ(field->bundleID, u"org.quillweave.TestWriter"_s);
}

TEST_F(RealApplicationsTest, DoctorIsReadyOnlyWhenTheFocusedFieldCanBeRead)
{
    test::InterfaceLanguageScope english{InterfaceLanguage::english};
    const auto doctor = [&](qint32 pid, QString* focusLine) {
        EXPECT_TRUE(isFront(pid));
        DesktopDiagnostics diagnostics(*s_desktop, *m_worker);
        DesktopReport report;
        // A program that has just come up may need a moment before its tree answers.
        test::pumpUntil(
            [&] {
                auto collected = test::start(diagnostics.collect());
                report = collected.wait();
                return report.focusedFieldFound;
            },
            std::chrono::seconds(3));
        int problems = -1;
        const QStringList lines = DoctorCommand::reportLines(report, &problems);
        *focusLine = lines.filter(u"Focused field:"_s).value(0);
        return lines.last();
    };
    const QString ready = u"Everything is ready."_s;
    QString focusLine;
    {
        // GTK 4: found only since the search looks below the window.
        RealApplication editor(u"gnome-text-editor"_s, {u"--standalone"_s});
        ASSERT_TRUE(editor.start());
        EXPECT_EQ(doctor(editor.pid(), &focusLine), ready) << focusLine.toStdString();
    }
    {
        // Started without its accessibility bridge: restarting it is the advice.
        qputenv("NO_AT_BRIDGE", "1");
        DesktopTestApp hidden;
        const bool started = hidden.start();
        qputenv("NO_AT_BRIDGE", "0");
        ASSERT_TRUE(started);
        ASSERT_TRUE(hidden.activate());
        EXPECT_NE(doctor(hidden.pid(), &focusLine), ready);
        EXPECT_TRUE(focusLine.contains(u"is not on the accessibility bus"_s)) << focusLine.toStdString();
        EXPECT_TRUE(focusLine.contains(u"restart the app"_s));
    }
    {
        DesktopTestApp nothingFocused({appsDir + u"/gtk4_entries_app.py"_s, u"--focus"_s, u"none"_s},
                                      u"/usr/bin/python3"_s);
        ASSERT_TRUE(nothingFocused.start());
        ASSERT_TRUE(nothingFocused.activate());
        EXPECT_NE(doctor(nothingFocused.pid(), &focusLine), ready);
        EXPECT_TRUE(focusLine.contains(u"No text field has focus"_s)) << focusLine.toStdString();
    }
}

} // namespace
} // namespace qw
