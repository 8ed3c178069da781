#pragma once

#include "bubble/BubbleModelState.h"
#include "bubble/PanelController.h"
#include "bubble/PanelSurface.h"

#include <functional>
#include <memory>

namespace qw {

class BubblePanel;
class BubbleScreens;
class TimerSource;

// The floating translation panel: the Qt window (BubblePanel) under the rules of
// PanelController. The header's drag, the width grip and the pin button go to the controller;
// the controller moves and sizes the window through PanelSurface.
class BubbleWindow final : public PanelSurface {
public:
    // Asked when the panel is first wanted, so that a compositor started with the session is seen.
    using CompositorProbe = std::function<bool()>;

    BubbleWindow(BubbleScreens& screens, TimerSource& timers, CompositorProbe compositorRunning);
    BubbleWindow(BubbleScreens& screens, TimerSource& timers);
    ~BubbleWindow() override;
    BubbleWindow(const BubbleWindow&) = delete;
    BubbleWindow& operator=(const BubbleWindow&) = delete;

    void refresh(const BubbleModelState& state);
    // The close button's action (the model discards the preview, which hides the panel).
    void setOnCloseRequested(std::function<void()> onCloseRequested);

    PanelController& controller() { return m_controller; }
    // The window itself, for the content to fill its slot and set the title.
    BubblePanel& panel() { return *m_panel; }

    void create(const QRectF& initialFrame) override;
    QRectF frame() const override;
    void setFrame(const QRectF& frame) override;
    bool isVisible() const override;
    void show() override;
    void hide() override;

private:
    void connectPanel();

    CompositorProbe m_compositorRunning;
    PanelController m_controller;
    // After the controller: destroyed first, so no event of the window reaches a dead controller.
    std::unique_ptr<BubblePanel> m_panel;
    std::function<void()> m_onCloseRequested;
    qreal m_resizeStartWidth = 0;
    bool m_created = false;
};

} // namespace qw
