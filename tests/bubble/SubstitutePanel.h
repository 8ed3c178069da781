#pragma once

#include "bubble/BubbleScreens.h"
#include "bubble/PanelSurface.h"

namespace qw::test {

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
