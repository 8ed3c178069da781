#include "bubble/PanelGeometry.h"
#include "bubble/SessionPanelPosition.h"
#include "tests/bubble/ScreenLayouts.h"

#include <gtest/gtest.h>
#include <limits>

using namespace qw;
using namespace qw::test;

namespace {
const QSizeF kPanel(382, 150);
const QSizeF kTallPanel(382, 300);
} // namespace

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
        {"field under the top panel: 10 below it", single(), QRectF(100, 40, 300, 30), kPanel, QPointF(100, 80)},
        {"field at the bottom: 10 above it", single(), QRectF(100, 1000, 300, 30), kPanel, QPointF(100, 840)},
        {"equal room above and below: above", small, QRectF(10, 185, 200, 30), kTallPanel, QPointF(10, 8)},
        {"a point more room below: below", small, QRectF(10, 184, 200, 30), kTallPanel, QPointF(10, 92)},
        {"oversized: left and bottom margins win", single(), QRectF(100, 500, 300, 30), QSizeF(2000, 1200),
         QPointF(8, -128)},
        {"no field: up and right of the pointer", single(), std::nullopt, kPanel, QPointF(512, 338)},
        {"unmeasurable field counts as none", single(), QRectF(nan, 10, 100, 20), kPanel, QPointF(512, 338)},
        {"side by side: top of the right screen", sideBySide(), QRectF(2000, 10, 200, 30), kPanel,
         QPointF(2000, 50)},
        {"side by side: no spilling to the right screen", sideBySide(), QRectF(1800, 500, 100, 30), kPanel,
         QPointF(1530, 340)},
        {"stacked: top of the lower screen, below", stacked(), QRectF(100, 1090, 200, 30), kPanel,
         QPointF(100, 1130)},
        {"different heights: above the lowered screen", differentHeights(), QRectF(3000, 100, 200, 30), kPanel,
         QPointF(2170, 140)},
        {"far outside every screen: on the main one", mainOnTheRight, QRectF(1e5, 1e5, 200, 30), kPanel,
         QPointF(2810, 866)},
        {"no screens at all: no position", ScreenLayout{}, QRectF(100, 500, 300, 30), kPanel, std::nullopt},
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
        {"taller panel that no longer fits moves up", QRectF(100, 700, 382, 150), single(), QSizeF(382, 520),
         single(), QRectF(100, 552, 382, 520), 1},
        {"across two screens: onto the one it is mostly on", QRectF(1800, 100, 382, 150), sideBySide(), kPanel,
         sideBySide(), QRectF(1928, 100, 382, 150), 2},
        {"across two screens, equal parts: the first", QRectF(1729, 100, 382, 150), sideBySide(), kPanel,
         sideBySide(), QRectF(1530, 100, 382, 150), 1},
        {"right screen unplugged: nearest remaining", QRectF(2500, 400, 382, 150), sideBySide(), kPanel,
         single(), QRectF(1530, 400, 382, 150), 1},
        {"its screen wins over a nearer one", QRectF(2600, 1000, 382, 150), differentHeights(), kPanel,
         differentHeights(), QRectF(2600, 1000, 382, 150), 5},
        {"no screens: nothing", QRectF(100, 200, 382, 150), single(), kPanel, ScreenLayout{}, std::nullopt, 1},
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
