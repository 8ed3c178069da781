#include "accessibility/AXFocusMonitor.h"
#include "accessibility/SelectionMonitor.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "l10n/L10n.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace std::chrono_literals;
using test::DesktopApp;
using test::SubstituteDesktop;
using test::VirtualTime;

class SelectionMonitorTest : public ::testing::Test {
protected:
    SelectionMonitorTest()
    {
        monitor.setOnSelectionFinished([this] { ++finished; });
        monitor.setOnMouseDownOutside([this] { ++pressed; });
        monitor.start();
    }

    SubstituteDesktop desktop;
    VirtualTime time;
    SelectionMonitor monitor{desktop.mouse(), time};
    int finished = 0;
    int pressed = 0;
};

// 230 ms after the last release, one event; a press during the wait cancels it.
TEST_F(SelectionMonitorTest, ReleasesGiveOneEventAfterTheWaitUnlessAPressCancelsIt)
{
    desktop.releaseMouse();
    time.advance(100ms);
    desktop.releaseMouse(); // the second click of a double click
    time.advance(229ms);
    EXPECT_EQ(finished, 0);
    time.advance(1ms);
    EXPECT_EQ(finished, 1);
    time.advance(1s);
    EXPECT_EQ(finished, 1);

    desktop.releaseMouse();
    time.advance(200ms);
    desktop.pressMouse();
    time.advance(1s);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(pressed, 1);
}

// Starting twice installs once; a stopped or destroyed monitor delivers nothing late.
TEST_F(SelectionMonitorTest, StopAndDestructionLeaveNothingBehind)
{
    monitor.start();
    EXPECT_EQ(desktop.installedMouseMonitors(), 2);
    desktop.releaseMouse();
    monitor.stop();
    EXPECT_EQ(desktop.installedMouseMonitors(), 0);
    int late = 0;
    {
        SelectionMonitor shortLived(desktop.mouse(), time);
        shortLived.setOnSelectionFinished([&] { ++late; });
        shortLived.start();
        desktop.releaseMouse();
    }
    time.advance(1s);
    EXPECT_EQ(finished + late, 0);
}

class FocusMonitorTest : public ::testing::Test {
protected:
    FocusMonitorTest()
    {
        monitor.setOnUpdate([this] { ++updates; });
    }

    FocusedField fieldOf(const test::DesktopElement& element, qint32 pid)
    {
        FocusedField field;
        field.element = element.handle();
        field.pid = pid;
        return field;
    }

    SubstituteDesktop desktop;
    VirtualTime time;
    AXFocusMonitor monitor{desktop.accessibility(), desktop.observers(), time};
    DesktopApp app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    int updates = 0;
};

TEST_F(FocusMonitorTest, ObservesTheAllowedFrontmostApplicationOnceAndDefersItsNotifications)
{
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("等待前台应用")));
    monitor.watch(app.running(), true);
    EXPECT_EQ(monitor.trackedPID(), app.pid());
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("焦点事件监听中（定时检测兜底）")));
    EXPECT_EQ(desktop.registrations(),
              QStringList{QStringLiteral("AXFocusedUIElementChanged@") + app.handle().identity()});

    monitor.watch(app.running(), true);
    EXPECT_EQ(desktop.observersCreated(), 1);

    // Notifications become updates, never delivered from inside the notification itself.
    desktop.notifyApplication(app, AXNotification::focusedUIElementChanged);
    EXPECT_EQ(updates, 0);
    time.advance(0ms);
    EXPECT_EQ(updates, 1);

    desktop.notifyApplication(app, AXNotification::focusedUIElementChanged);
    monitor.stop();
    time.advance(0ms);
    EXPECT_EQ(updates, 1) << "a stopped monitor delivers nothing late";
    monitor.watch(app.running(), true);
    monitor.watch(app.running(), false);
    EXPECT_EQ(monitor.trackedPID(), 0);
    EXPECT_EQ(desktop.liveObservers(), 0);
    EXPECT_TRUE(desktop.registrations().isEmpty());
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("等待前台应用")));
}

TEST_F(FocusMonitorTest, ValueRegistrationFollowsTheFieldOfTheTrackedProcess)
{
    auto window = app.window();
    auto first = window.textField(QStringLiteral("a"));
    auto second = window.textField(QStringLiteral("b"));
    auto other = desktop.addApplication(QStringLiteral("org.example.Other"), QStringLiteral("Other"));
    auto foreign = other.window().textField(QStringLiteral("c"));
    monitor.watch(app.running(), true);

    monitor.watch(fieldOf(first, app.pid()));
    monitor.watch(fieldOf(second, app.pid()));
    EXPECT_TRUE(
        desktop.registrations().contains(QStringLiteral("AXValueChanged@") + second.handle().identity()));
    EXPECT_FALSE(
        desktop.registrations().contains(QStringLiteral("AXValueChanged@") + first.handle().identity()));
    desktop.notify(second, AXNotification::valueChanged);
    time.advance(0ms);
    EXPECT_EQ(updates, 1);

    monitor.watch(fieldOf(foreign, other.pid()));
    EXPECT_EQ(desktop.registrations().size(), 1) << "only the focus registration remains";
}

TEST_F(FocusMonitorTest, FailuresOnlyChangeTheStatus)
{
    auto refusing =
        desktop.addApplication(QStringLiteral("org.example.Old"), QStringLiteral("Old")).refusesObservers();
    monitor.watch(refusing.running(), true);
    EXPECT_EQ(monitor.trackedPID(), 0);
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("不支持辅助功能事件；使用定时检测")));

    app.failsNotification(AXNotification::focusedUIElementChanged)
        .failsNotification(AXNotification::valueChanged);
    monitor.watch(app.running(), true);
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("应用未提供焦点事件，使用定时检测")));
    monitor.watch(fieldOf(app.window().textField(QStringLiteral("x")), app.pid()));
    EXPECT_EQ(monitor.status(), L10n::text(L10N_KEY("文本变化事件不可用；定时检测仍在运行")));
}

} // namespace
} // namespace qw
