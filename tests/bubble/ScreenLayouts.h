#pragma once

#include "bubble/ScreenLayout.h"

#include <ostream>

namespace qw::test {

// Desktops as users have them. The laptop-sized screen has a 32-point top panel.
inline const BubbleScreen kLaptop{1, {0, 0, 1920, 1080}, {0, 32, 1920, 1048}};
inline const BubbleScreen kRightOfLaptop{2, {1920, 0, 1280, 1024}, {1920, 0, 1280, 1024}};
inline const BubbleScreen kBelowLaptop{3, {0, 1080, 1920, 1080}, {0, 1080, 1920, 1080}};
// Taller screen on the left, the smaller one beside it lowered by 360 points.
inline const BubbleScreen kTall{4, {0, 0, 2560, 1440}, {0, 0, 2560, 1440}};
inline const BubbleScreen kLowered{5, {2560, 360, 1920, 1080}, {2560, 360, 1920, 1080}};

inline ScreenLayout single()
{
    return {{kLaptop}, 1};
}
inline ScreenLayout sideBySide()
{
    return {{kLaptop, kRightOfLaptop}, 1};
}
inline ScreenLayout stacked()
{
    return {{kLaptop, kBelowLaptop}, 1};
}
inline ScreenLayout differentHeights()
{
    return {{kTall, kLowered}, 4};
}

} // namespace qw::test

// Readable failures (found by argument-dependent lookup, so beside Qt's types).
inline void PrintTo(const QPointF& p, std::ostream* os)
{
    *os << "(" << p.x() << ", " << p.y() << ")";
}
inline void PrintTo(const QRectF& r, std::ostream* os)
{
    *os << "(" << r.x() << ", " << r.y() << " " << r.width() << "x" << r.height() << ")";
}
