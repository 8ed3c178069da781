#include "bubble/PanelController.h"

#include "tests/bubble/ScreenLayouts.h"
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

    showFor(kOtherField);
    EXPECT_EQ(panel.frame(), kNextToOtherField);

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

    // Below a field at the top of the screen it grows downward.
    showFor(QRectF(100, 40, 300, 30));
    controller.contentHeightChanged(300);
    EXPECT_EQ(panel.frame(), QRectF(100, 80, 382, 300));
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

    // Dropped across two screens: fully onto the one it is mostly on, and there it stays when the
    // field moves and across hiding.
    drag(QPointF(1700, 100));
    const QRectF dropped(1928, 437, 382, 150);
    EXPECT_EQ(panel.frame(), dropped);
    showFor(kOtherField);
    EXPECT_EQ(panel.frame(), dropped);
    controller.refresh({false, std::nullopt});
    showFor(kField);
    EXPECT_EQ(panel.frame(), dropped);

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

TEST_F(PanelControllerTest, ModelChangesDuringADragApplyAfterTheButtonIsReleased)
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
}

TEST_F(PanelControllerTest, UserResizesTheWidthOnlyWithinLimits)
{
    showFor(kField);
    for (const auto& [dragged, width] : {std::pair<qreal, qreal>{200, 340}, {500, 500}, {2000, 620}}) {
        SCOPED_TRACE(dragged);
        controller.resizeStarted();
        controller.resizeMoved(dragged);
        showFor(kOtherField); // held back until the resize ends
        EXPECT_EQ(panel.frame(), QRectF(kNextToField.topLeft(), QSizeF(width, 150)));
        controller.resizeEnded();
        EXPECT_EQ(panel.frame(), QRectF(kNextToOtherField.topLeft(), QSizeF(width, 150)));
        showFor(kField);
    }
}

TEST_F(PanelControllerTest, ScreenChangesReplaceThePanel)
{
    showFor(QRectF(2500, 500, 200, 30)); // on the right screen
    EXPECT_EQ(panel.frame(), QRectF(2500, 340, 382, 150));

    // The right screen is unplugged: the panel moves onto the laptop's.
    screens.change(single());
    EXPECT_EQ(panel.frame(), QRectF(1530, 340, 382, 150));

    // Fixed on the right screen, then that screen goes: nearest remaining screen.
    screens.change(sideBySide());
    controller.refresh({false, std::nullopt});
    showFor(QRectF(2500, 500, 200, 30));
    controller.setFixed(true);
    EXPECT_EQ(controller.placement().position.screenId, kRightOfLaptop.id);
    screens.change(single());
    EXPECT_EQ(panel.frame(), QRectF(1530, 340, 382, 150));
    EXPECT_EQ(controller.placement().position.screenId, kLaptop.id);

    // No screen at all: hidden, and shown again when one comes back.
    screens.change(ScreenLayout{});
    EXPECT_FALSE(panel.isVisible());
    screens.change(stacked());
    EXPECT_TRUE(panel.isVisible());
    EXPECT_EQ(panel.frame(), QRectF(1530, 340, 382, 150));
}
