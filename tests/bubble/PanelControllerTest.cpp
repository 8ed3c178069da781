// Where the panel goes and when: the controller's rules over substitute screens and a substitute
// window on virtual time, and the placement arithmetic beneath them.
#include "bubble/PanelController.h"

#include "bubble/PanelGeometry.h"
#include "bubble/SessionPanelPosition.h"
#include "tests/bubble/SubstitutePanel.h"
#include "tests/support/VirtualTime.h"

#include <gtest/gtest.h>
#include <limits>

using namespace qw;
using namespace qw::test;
using namespace std::chrono_literals;
using Mode = PanelPlacement::Mode;

namespace {

// A field in the middle of the laptop screen: the panel goes 10 above it, left edges aligned.
const QRectF kField(100, 500, 300, 30);
const QRectF kNextToField(100, 340, 382, 150);
const QRectF kOtherField(700, 600, 300, 30);
const QRectF kNextToOtherField(700, 440, 382, 150);
const QSizeF kPanel(382, 150);
const QSizeF kTallPanel(382, 300);

class PanelControllerTest : public ::testing::Test {
protected:
    void showFor(std::optional<QRectF> field) { controller.refresh({true, field}); }
    void drag(QPointF travel)
    {
        screens.buttonDown = true;
        controller.dragStarted();
        controller.dragMoved(travel);
        controller.dragEnded();
        screens.buttonDown = false;
    }

    SubstitutePanelSurface panel;
    SubstituteScreens screens{sideBySide()};
    VirtualTime time;
    PanelController controller{panel, screens, time};
};

} // namespace

TEST_F(PanelControllerTest, FollowsTheFieldAndHidesWhenTheModelShowsNothing)
{
    controller.refresh({false, kField});
    EXPECT_EQ(panel.created, 0);

    showFor(kField);
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.frame(), kNextToField);

    // Shown again without a field: next to where the pointer is then, not where it was.
    controller.refresh({false, std::nullopt});
    EXPECT_FALSE(panel.isVisible());
    screens.pointer = QPointF(1000, 700);
    showFor(std::nullopt);
    EXPECT_EQ(panel.frame(), QRectF(1012, 538, 382, 150));
    EXPECT_EQ(panel.created, 1);
}

TEST_F(PanelControllerTest, HeightFollowsTheContentWithoutCoveringTheField)
{
    showFor(kField);
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    // Above the field the panel grows upward; too tall for the room above, it goes below. Limits;
    // a change of a point or less; nonsense that leaves the panel as it is.
    const std::pair<double, QRectF> rows[] = {
        {30, {100, 410, 382, 80}},     {900, {100, 540, 382, 520}}, {200.2, {100, 289, 382, 201}},
        {201.1, {100, 289, 382, 201}}, {nan, {100, 289, 382, 201}}, {inf, {100, 289, 382, 201}},
        {0, {100, 289, 382, 201}},     {-40, {100, 289, 382, 201}}, {150, kNextToField}};
    for (const auto& [reported, frame] : rows) {
        SCOPED_TRACE(reported);
        controller.contentHeightChanged(reported);
        EXPECT_EQ(panel.frame(), frame);
        EXPECT_FALSE(panel.frame().intersects(kField));
    }
}

TEST_F(PanelControllerTest, OnlyADragThatMovesThePanelOrThePinFixesIt)
{
    const std::pair<QPointF, Mode> rows[] = {
        {{0.5, -0.5}, Mode::automatic}, {{0.6, 0}, Mode::fixed}, {{0, -3}, Mode::fixed}};
    for (const auto& [travel, mode] : rows) {
        SCOPED_TRACE(travel.x());
        controller.setFixed(false);
        showFor(kField);
        drag(travel);
        EXPECT_EQ(controller.placement().mode(), mode);
    }

    // The pin fixes the panel where it is shown.
    controller.setFixed(false);
    showFor(kField);
    controller.setFixed(true);
    EXPECT_EQ(controller.placement().mode(), Mode::fixed);
    showFor(kOtherField);
    EXPECT_EQ(panel.frame(), kNextToField);

    // Back next to the field at once, although the field is the one of the last refresh.
    controller.setFixed(false);
    EXPECT_EQ(controller.placement().mode(), Mode::automatic);
    EXPECT_EQ(panel.frame(), kNextToOtherField);
}

TEST_F(PanelControllerTest, ModelChangesDuringADragOrAResizeApplyAfterItEnds)
{
    showFor(kField);
    screens.buttonDown = true;
    controller.dragStarted();
    controller.dragMoved(QPointF(40, 30));
    showFor(kOtherField);
    controller.contentHeightChanged(300);
    controller.refresh({false, kOtherField});
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.frame(), kNextToField.translated(40, 30));

    // The release arrives only as the button state (the panel never saw the release event).
    time.advance(100ms);
    EXPECT_TRUE(panel.isVisible());
    screens.buttonDown = false;
    time.advance(20ms);
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(controller.placement().mode(), Mode::fixed);
    EXPECT_EQ(time.pendingTimers(), 0u);

    showFor(kOtherField);
    EXPECT_EQ(panel.frame(), QRectF(kNextToField.topLeft() + QPointF(40, 30), QSizeF(382, 300)));

    // The width is the user's, up to 620 (the narrowest, 340, is the look test's).
    controller.resizeStarted();
    controller.resizeMoved(2000);
    controller.refresh({false, std::nullopt});
    EXPECT_TRUE(panel.isVisible());
    controller.resizeEnded();
    EXPECT_FALSE(panel.isVisible());
    EXPECT_EQ(panel.frame().width(), 620);
}

TEST_F(PanelControllerTest, ScreenChangesReplaceThePanel)
{
    showFor(QRectF(2500, 500, 200, 30)); // on the right screen
    EXPECT_EQ(panel.frame(), QRectF(2500, 340, 382, 150));

    // The right screen is unplugged: the panel moves onto the laptop's.
    screens.change(single());
    EXPECT_EQ(panel.frame(), QRectF(1530, 340, 382, 150));

    // No screen at all: hidden, and shown again when one comes back.
    screens.change(ScreenLayout{});
    EXPECT_FALSE(panel.isVisible());
    screens.change(stacked());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.frame(), QRectF(1530, 340, 382, 150));
}

// The arithmetic the controller applies, where the controller's own tests do not reach: the
// boundaries between above and below, oversized panels and every layout of several screens.
TEST(PanelGeometry, PreferredOrigin)
{
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    const QRectF square(0, 0, 800, 400);
    const ScreenLayout small{{{9, square, square}}, 9};
    ScreenLayout mainOnTheRight = sideBySide();
    mainOnTheRight.mainScreenId = 2;
    struct Row {
        const char* situation;
        ScreenLayout layout;
        std::optional<QRectF> field;
        QSizeF size;
        std::optional<QPointF> expected;
    };
    // clang-format off
    const Row rows[] = {
        {"equal room above and below: above", small, QRectF(10, 185, 200, 30), kTallPanel, QPointF(10, 8)},
        {"a point more room below: below", small, QRectF(10, 184, 200, 30), kTallPanel, QPointF(10, 92)},
        {"oversized: left and bottom margins win", single(), QRectF(100, 500, 300, 30), QSizeF(2000, 1200),
         QPointF(8, -128)},
        {"unmeasurable field counts as none: next to the pointer", single(), QRectF(nan, 10, 100, 20), kPanel,
         QPointF(512, 338)},
        {"side by side: no spilling to the right screen", sideBySide(), QRectF(1800, 500, 100, 30), kPanel,
         QPointF(1530, 340)},
        {"stacked: top of the lower screen, below", stacked(), QRectF(100, 1090, 200, 30), kPanel,
         QPointF(100, 1130)},
        {"different heights: above the lowered screen", differentHeights(), QRectF(3000, 100, 200, 30), kPanel,
         QPointF(2170, 140)},
        {"far outside every screen: on the main one", mainOnTheRight, QRectF(1e5, 1e5, 200, 30), kPanel,
         QPointF(2810, 866)},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(PanelGeometry::preferredOrigin(row.field, QPointF(500, 500), row.size, row.layout),
                  row.expected);
    }
}

TEST(SessionPanelPosition, Frame)
{
    struct Row {
        const char* situation;
        QRectF recorded;
        ScreenLayout recordedOn;
        QSizeF size;
        ScreenLayout now;
        std::optional<QRectF> expected;
        std::optional<quint32> screen;
    };
    // clang-format off
    const Row rows[] = {
        {"taller panel keeps its top edge", QRectF(100, 200, 382, 150), single(), kTallPanel, single(),
         QRectF(100, 200, 382, 300), 1},
        {"across two screens: onto the one it is mostly on", QRectF(1800, 100, 382, 150), sideBySide(), kPanel,
         sideBySide(), QRectF(1928, 100, 382, 150), 2},
        {"right screen unplugged: nearest remaining", QRectF(2500, 400, 382, 150), sideBySide(), kPanel,
         single(), QRectF(1530, 400, 382, 150), 1},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        SessionPanelPosition position;
        position.record(row.recorded, row.recordedOn);
        EXPECT_EQ(position.frame(row.size, row.now), row.expected);
        EXPECT_EQ(position.screenId, row.screen);
        if (row.expected) {
            EXPECT_EQ(position.anchor, row.expected->topLeft());
        }
    }
}
