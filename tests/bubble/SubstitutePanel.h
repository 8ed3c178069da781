#pragma once

#include "bubble/BubbleScreens.h"
#include "bubble/PanelSurface.h"
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

// The panel as a window system would hold it, with what the user would see readable.
class SubstitutePanelSurface final : public PanelSurface {
public:
    void create(const QRectF& initialFrame) override
    {
        ++created;
        m_frame = initialFrame;
    }
    QRectF frame() const override { return m_frame; }
    void setFrame(const QRectF& frame) override { m_frame = frame; }
    bool isVisible() const override { return m_visible; }
    void show() override { m_visible = true; }
    void hide() override { m_visible = false; }

    int created = 0;

private:
    QRectF m_frame;
    bool m_visible = false;
};

class SubstituteScreens final : public BubbleScreens {
public:
    explicit SubstituteScreens(ScreenLayout layout) : current(std::move(layout)) {}

    ScreenLayout layout() const override { return current; }
    QPointF pointerLocation() const override { return pointer; }
    bool primaryButtonDown() const override { return buttonDown; }
    void setOnChanged(std::function<void()> onChanged) override { m_onChanged = std::move(onChanged); }

    // What the desktop does: outputs come and go, then the change is announced.
    void change(ScreenLayout layout)
    {
        current = std::move(layout);
        if (m_onChanged)
            m_onChanged();
    }

    ScreenLayout current;
    QPointF pointer{500, 500};
    bool buttonDown = false;

private:
    std::function<void()> m_onChanged;
};

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
