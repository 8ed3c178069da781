// Firefox ESR and Chromium on a local page with a line, a text area, a contenteditable and a
// password field, read and written through the product's own path; CopyQ watches the
// clipboard meanwhile. Runs inside scripts/headless-session.sh; every wait is on an event
// (a window, a focus event, a process) and bounded, as the browsers start slowly under Xvfb.
#include "accessibility/AXFocusMonitor.h"
#include "accessibility/AXWorker.h"
#include "l10n/L10n.h"
#include "platform/ChromiumProcess.h"
#include "platform/LinuxDesktop.h"
#include "platform/atspi/AtspiFocusTracker.h"
#include "platform/atspi/AtspiProcessIds.h"
#include "tests/browsers/BrowserProcess.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/VirtualTime.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;
using test::BrowserProcess;

const QString pasted = L10n::text(L10N_KEY("剪贴板兼容模式"));
const QString written = L10n::text(L10N_KEY("辅助功能接口"));

class BrowserDesktopTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return;
        // The user's own folders of this run: desktop-entry overrides, browser profiles, CopyQ.
        s_home = new QTemporaryDir;
        qputenv("XDG_DATA_HOME", s_home->filePath(u"data"_s).toUtf8());
        qputenv("XDG_CONFIG_HOME", s_home->filePath(u"config"_s).toUtf8());
        s_desktop = new LinuxDesktop;
        s_desktop->accessibilityBus().waitUntilReady(std::chrono::seconds(10));
        // Firefox follows the switch at once; Chromium needs it at start.
        s_desktop->accessibilityBus().enableBlocking(std::chrono::seconds(5));
        writePage();
    }

    static void TearDownTestSuite()
    {
        delete s_desktop;
        s_desktop = nullptr;
        delete s_home;
        s_home = nullptr;
        delete s_page;
        s_page = nullptr;
    }

    void SetUp() override
    {
        if (!s_desktop)
            GTEST_SKIP() << "DISPLAY is not set: run inside scripts/headless-session.sh";
        ASSERT_TRUE(s_desktop->accessibilityBus().isReady())
            << s_desktop->accessibilityBus().failure().toStdString();
        ASSERT_TRUE(test::pumpUntil([] { return s_desktop->workspace().hasActiveWindowSupport(); }));
        m_worker = std::make_unique<AXWorker>(s_desktop->platform());
    }

    // Activates the browser's window, asking again while the window manager has not done it:
    // a window that has just appeared may not be managed yet.
    bool activate(BrowserProcess& browser)
    {
        QDeadlineTimer askAgain(0);
        return test::pumpUntil(
            [&] {
                if (s_desktop->workspace().frontmostPid() == browser.pid())
                    return true;
                if (askAgain.hasExpired()) {
                    browser.activate();
                    askAgain.setRemainingTime(2000);
                }
                return false;
            },
            std::chrono::seconds(30));
    }

    RunningApplication running(const BrowserProcess& browser)
    {
        auto front = s_desktop->workspace().frontmostApplication();
        EXPECT_TRUE(front && front->pid == browser.pid());
        return front.value_or(RunningApplication{browser.pid(), {}, {}, {}, false});
    }

    AXWorker::FocusResult focus(AXWorker& worker, const BrowserProcess& browser)
    {
        auto read = test::start(worker.focus(running(browser)));
        return read.wait();
    }

    // The focused field once it holds `value`: the page loads after the window appears.
    std::optional<FocusedField> fieldHolding(const BrowserProcess& browser, const QString& value)
    {
        std::optional<FocusedField> field;
        QString diagnostic;
        const bool found = test::pumpUntil(
            [&] {
                std::tie(field, diagnostic) = focus(*m_worker, browser);
                return field && field->value == value;
            },
            BrowserProcess::startBound);
        EXPECT_TRUE(found) << diagnostic.toStdString() << ": "
                           << (field ? field->value : u"-"_s).toStdString();
        return found ? field : std::nullopt;
    }

    // Whether a search of the active window, with no focus event known, finds the focused field
    // holding `value` (the browser may still be settling its focus after the activation).
    bool foundByColdSearch(const BrowserProcess& browser, const QString& value)
    {
        AtspiFocusTracker noEvents;
        AtspiProcessIds pids;
        AtspiAccessibility searching(s_desktop->accessibilityBus(), noEvents, pids,
                                     [] { return std::nullopt; });
        const AXPlatform real = s_desktop->platform();
        AXWorker worker(AXPlatform{searching, real.workspace, real.pointer, real.clipboard, real.keys,
                                   real.sleeper, real.clock});
        QString diagnostic;
        const bool found = test::pumpUntil([&] {
            const auto [field, message] = focus(worker, browser);
            diagnostic = message;
            return field && field->value == value;
        });
        EXPECT_TRUE(found) << diagnostic.toStdString();
        return found;
    }

    // The channel of the replacement, or the message the user would see.
    QString replace(const FocusedField& field, const QString& translated)
    {
        AXReplaceRequest request{field.value, translated, field};
        request.clipboardFallbackEnabled = true;
        auto write = test::start(m_worker->replace(request, AXReadPermit::issue(m_generation)));
        const WriteResult& result = write.wait();
        return result.isSuccess() ? result.method() : u"failure: "_s + result.message();
    }

    // Moves the focus with a key, as the user does, and waits for the focus event.
    void pressTabAndWaitForTheFocusEvent(const BrowserProcess& browser)
    {
        test::VirtualTime time;
        AXFocusMonitor monitor(s_desktop->accessibility(), s_desktop->observers(), time);
        int updates = 0;
        monitor.setOnUpdate([&] { ++updates; });
        monitor.watch(running(browser), true);
        s_desktop->keys().post({{Qt::Key_Tab, Qt::NoModifier, true}, {Qt::Key_Tab, Qt::NoModifier, false}});
        EXPECT_TRUE(test::pumpUntil([&] {
            time.advance(std::chrono::milliseconds(0));
            return updates > 0;
        })) << "no focus event after Tab";
        monitor.stop();
    }

    // Everything the user sees of one browser: its identity, the text area found both ways and
    // replaced, the contenteditable reached through the focus event and replaced, the password
    // field refused. Texts stay in the basic plane: Gecko pads a character beyond it with
    // U+FEFF in what it exposes, which the reading side does not take out yet. `channels` are
    // the ways each replacement may land.
    void checkFields(BrowserProcess& browser, const QString& desktopId, const QStringList& channels)
    {
        ASSERT_TRUE(browser.start(s_page->filePath(u"fields.html"_s)));
        ASSERT_TRUE(activate(browser));
        EXPECT_EQ(running(browser).bundleID, desktopId);

        auto area = fieldHolding(browser, u"area text"_s);
        ASSERT_TRUE(area);
        EXPECT_TRUE(foundByColdSearch(browser, u"area text"_s));

        const QString areaChannel = replace(*area, u"区域 translated"_s);
        ASSERT_TRUE(channels.contains(areaChannel)) << areaChannel.toStdString();
        EXPECT_TRUE(fieldHolding(browser, u"区域 translated"_s));

        pressTabAndWaitForTheFocusEvent(browser);
        auto rich = fieldHolding(browser, u"rich text"_s);
        ASSERT_TRUE(rich);
        const QString richChannel = replace(*rich, u"富文本 translated"_s);
        ASSERT_TRUE(channels.contains(richChannel)) << richChannel.toStdString();
        EXPECT_TRUE(fieldHolding(browser, u"富文本 translated"_s));

        pressTabAndWaitForTheFocusEvent(browser);
        QString diagnostic;
        EXPECT_TRUE(test::pumpUntil([&] {
            const auto [field, message] = focus(*m_worker, browser);
            diagnostic = message;
            return !field && message == L10n::text(L10N_KEY("已排除受保护输入框"));
        })) << diagnostic.toStdString();
    }

    static void writePage()
    {
        s_page = new QTemporaryDir;
        QFile page(s_page->filePath(u"fields.html"_s));
        ASSERT_TRUE(page.open(QIODevice::WriteOnly));
        page.write(R"(<!doctype html><html><head><meta charset="utf-8"><title>Fields</title></head><body>
<p><input id="line" aria-label="line" value="line text"></p>
<p><textarea id="area" aria-label="area" autofocus>area text</textarea></p>
<div id="rich" aria-label="rich" contenteditable="true">rich text</div>
<p><input id="secret" aria-label="secret" type="password" value="hunter2"></p>
</body></html>)");
    }

    static inline LinuxDesktop* s_desktop = nullptr;
    static inline QTemporaryDir* s_home = nullptr;
    static inline QTemporaryDir* s_page = nullptr;
    std::unique_ptr<AXWorker> m_worker;
    std::shared_ptr<AXAccessGeneration> m_generation = std::make_shared<AXAccessGeneration>();
};

TEST_F(BrowserDesktopTest, FirefoxFieldsAreFoundReplacedAndThePasswordFieldRefused)
{
    BrowserProcess firefox(BrowserProcess::Kind::firefox, s_home->filePath(u"firefox-profile"_s));
    // Gecko takes a text write in the page's process a moment after answering it, and offers
    // it for a contenteditable only once the page has settled: either channel may carry it.
    checkFields(firefox, u"firefox-esr"_s, {written, pasted});
}

TEST_F(BrowserDesktopTest, ChromiumFieldsArePastedIntoAndCopyQKeepsOnlyWhatTheUserCopied)
{
    test::ClipboardManager copyq;
    ASSERT_TRUE(copyq.start());
    ASSERT_TRUE(test::ClipboardManager::copy("the user's own copy"));
    ASSERT_TRUE(copyq.waitForNewest("the user's own copy"));

    BrowserProcess chromium(BrowserProcess::Kind::chromium, s_home->filePath(u"chromium-profile"_s),
                            {ChromiumProcess::rendererAccessibilityFlag});
    // Web fields have no editable-text interface: both replacements go through the clipboard.
    checkFields(chromium, u"chromium"_s, {pasted});

    // Copying again shows where the history stands: nothing of ours went in between.
    ASSERT_TRUE(test::ClipboardManager::copy("copied afterwards"));
    ASSERT_TRUE(copyq.waitForNewest("copied afterwards"));
    EXPECT_EQ(copyq.history(), (QStringList{u"copied afterwards"_s, u"the user's own copy"_s}));
}

TEST_F(BrowserDesktopTest, ChromiumWithoutTheFlagIsNamedByDoctorAndReadableAfterDoctorEnable)
{
    {
        BrowserProcess plain(BrowserProcess::Kind::chromium, s_home->filePath(u"plain-profile"_s));
        ASSERT_TRUE(plain.start(s_page->filePath(u"fields.html"_s)));
        ASSERT_TRUE(activate(plain));
        const QString report = test::runQuillweave({u"doctor"_s});
        EXPECT_TRUE(report.contains(u"This is a Chromium-based application"_s)) << report.toStdString();
    }
    const QString enabled = test::runQuillweave({u"doctor"_s, u"enable"_s});
    EXPECT_TRUE(enabled.contains(u"--force-renderer-accessibility added for chromium"_s))
        << enabled.toStdString();

    // Started as the applications menu starts it: from the user's desktop entry, which now
    // takes the place of the system's.
    BrowserProcess fromMenu(BrowserProcess::Kind::chromium, s_home->filePath(u"menu-profile"_s), {},
                            s_home->filePath(u"data/applications/chromium.desktop"_s));
    ASSERT_TRUE(fromMenu.start(s_page->filePath(u"fields.html"_s)));
    ASSERT_TRUE(activate(fromMenu));
    EXPECT_EQ(running(fromMenu).bundleID, u"chromium"_s);
    EXPECT_TRUE(fieldHolding(fromMenu, u"area text"_s));
    EXPECT_TRUE(foundByColdSearch(fromMenu, u"area text"_s));

    const QString undone = test::runQuillweave({u"doctor"_s, u"disable"_s});
    EXPECT_TRUE(undone.contains(u"the change to chromium is undone"_s)) << undone.toStdString();
    EXPECT_FALSE(QFile::exists(s_home->filePath(u"data/applications/chromium.desktop"_s)));
}

} // namespace
} // namespace qw
