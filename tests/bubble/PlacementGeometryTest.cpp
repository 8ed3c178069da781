#include "bubble/PanelGeometry.h"
#include "bubble/SessionPanelPosition.h"
#include "tests/bubble/ScreenLayouts.h"

#include <gtest/gtest.h>
#include <limits>

using namespace qw;
using namespace qw::test;

namespace {

const QSizeF kPanel(382, 150);

struct OriginRow {
    const char* situation;
    ScreenLayout layout;
    std::optional<QRectF> field;
    QPointF pointer;
    QSizeF size;
    std::optional<QPointF> expected;
};

} // namespace

TEST(PanelGeometry, PreferredOrigin)
{
    const qreal nan = std::numeric_limits<qreal>::quiet_NaN();
    const QRectF square(0, 0, 800, 400);
    const ScreenLayout small{{{9, square, square}}, 9};
    ScreenLayout sideBySideMainRight = sideBySide();
    sideBySideMainRight.mainScreenId = 2;

    const OriginRow rows[] = {
        {"room above: 10 over the field, left edges aligned",
         single(),
         QRectF(100, 500, 300, 30),
         {},
         kPanel,
         QPointF(100, 340)},
        {"field under the top panel: below it",
         single(),
         QRectF(100, 40, 300, 30),
         {},
         kPanel,
         QPointF(100, 80)},
        {"field at the bottom: above it",
         single(),
         QRectF(100, 1000, 300, 30),
         {},
         kPanel,
         QPointF(100, 840)},
        {"equal room above and below: above, clamped to the top margin",
         small,
         QRectF(10, 185, 200, 30),
         {},
         QSizeF(382, 300),
         QPointF(10, 8)},
        {"one point more below: below, clamped to the bottom margin",
         small,
         QRectF(10, 184, 200, 30),
         {},
         QSizeF(382, 300),
         QPointF(10, 92)},
        {"too wide for the right side: 8 from the right edge",
         single(),
         QRectF(1800, 500, 100, 30),
         {},
         kPanel,
         QPointF(1530, 340)},
        {"larger than the screen: left and bottom margins win",
         single(),
         QRectF(100, 500, 300, 30),
         {},
         QSizeF(2000, 1200),
         QPointF(8, -128)},
        {"no field: 12 right of and above the pointer", single(), std::nullopt, QPointF(500, 500), kPanel,
         QPointF(512, 338)},
        {"no field, pointer in the top right corner", single(), std::nullopt, QPointF(1900, 40), kPanel,
         QPointF(1530, 40)},
        {"unmeasurable field counts as none", single(), QRectF(nan, 10, 100, 20), QPointF(500, 500), kPanel,
         QPointF(512, 338)},
        {"side by side: field at the top of the right screen",
         sideBySide(),
         QRectF(2000, 10, 200, 30),
         {},
         kPanel,
         QPointF(2000, 50)},
        {"side by side: field at the right of the left screen stays on it",
         sideBySide(),
         QRectF(1800, 500, 100, 30),
         {},
         kPanel,
         QPointF(1530, 340)},
        {"stacked: field at the top of the lower screen goes below",
         stacked(),
         QRectF(100, 1090, 200, 30),
         {},
         kPanel,
         QPointF(100, 1130)},
        {"stacked: field at the bottom of the upper screen goes above",
         stacked(),
         QRectF(100, 1040, 200, 30),
         {},
         kPanel,
         QPointF(100, 880)},
        {"different heights: top of the lowered screen",
         differentHeights(),
         QRectF(2600, 380, 200, 30),
         {},
         kPanel,
         QPointF(2600, 420)},
        {"different heights: above the lowered screen: main screen, below the field",
         differentHeights(),
         QRectF(3000, 100, 200, 30),
         {},
         kPanel,
         QPointF(2170, 140)},
        {"field far outside every screen: clamped into the main screen",
         sideBySideMainRight,
         QRectF(100000, 100000, 200, 30),
         {},
         kPanel,
         QPointF(2810, 866)},
        {"no screens at all: no position",
         ScreenLayout{},
         QRectF(100, 500, 300, 30),
         {},
         kPanel,
         std::nullopt},
    };
    for (const OriginRow& row : rows) {
        SCOPED_TRACE(row.situation);
        EXPECT_EQ(PanelGeometry::preferredOrigin(row.field, row.pointer, row.size, row.layout), row.expected);
    }
}

TEST(PanelGeometry, FitWithoutScreensLeavesThePointAlone)
{
    EXPECT_EQ(PanelGeometry::fitToVisibleFrame(QPointF(-50, 7), kPanel, ScreenLayout{}), QPointF(-50, 7));
}

TEST(SessionPanelPosition, RemembersTheScreenMostOfThePanelIsOn)
{
    SessionPanelPosition position;
    position.record(QRectF(1800, 100, 382, 150), sideBySide());
    EXPECT_EQ(position.anchor, QPointF(1800, 100));
    EXPECT_EQ(position.screenId, 2u);

    // Equal overlap: the first screen keeps it.
    position.record(QRectF(1920 - 191, 100, 382, 150), sideBySide());
    EXPECT_EQ(position.screenId, 1u);

    position.record(QRectF(10, 10, 382, 150), ScreenLayout{});
    EXPECT_EQ(position.screenId, std::nullopt);
    EXPECT_EQ(position.frame(kPanel, ScreenLayout{}), std::nullopt);
    EXPECT_EQ(SessionPanelPosition{}.frame(kPanel, single()), std::nullopt);
}

TEST(SessionPanelPosition, Frame)
{
    struct Row {
        const char* situation;
        QRectF recorded;
        ScreenLayout recordedOn;
        QSizeF size;
        ScreenLayout now;
        QRectF expected;
        quint32 expectedScreen;
    };
    const Row rows[] = {
        {"taller panel keeps its top edge", QRectF(100, 200, 382, 150), single(), QSizeF(382, 300), single(),
         QRectF(100, 200, 382, 300), 1},
        {"taller panel that no longer fits moves up", QRectF(100, 700, 382, 150), single(), QSizeF(382, 520),
         single(), QRectF(100, 552, 382, 520), 1},
        {"straddling two screens moves fully onto the one it was mostly on", QRectF(1800, 100, 382, 150),
         sideBySide(), kPanel, sideBySide(), QRectF(1928, 100, 382, 150), 2},
        {"right screen disconnected: nearest remaining screen", QRectF(2500, 400, 382, 150), sideBySide(),
         kPanel, single(), QRectF(1530, 400, 382, 150), 1},
        {"lower screen disconnected: clamped into the upper one", QRectF(100, 1500, 382, 150), stacked(),
         kPanel, single(), QRectF(100, 922, 382, 150), 1},
        {"remembered screen still there wins over a nearer one", QRectF(2600, 1000, 382, 150),
         differentHeights(), kPanel, differentHeights(), QRectF(2600, 1000, 382, 150), 5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        SessionPanelPosition position;
        position.record(row.recorded, row.recordedOn);
        EXPECT_EQ(position.frame(row.size, row.now), row.expected);
        EXPECT_EQ(position.anchor, row.expected.topLeft());
        EXPECT_EQ(position.screenId, row.expectedScreen);
    }
}
