#pragma once

#include <QWidget>

namespace qw {

class BubbleResizeGrip;
class BubbleTitleBar;

// The panel's window: a rounded card in the desktop's palette with the header, a slot for the
// translation content and the width grip. It never takes the keyboard focus and is not managed
// by the window manager (which would otherwise stack windows it activates above it).
// Sizes are device-independent pixels, so the panel keeps its look at any scale.
class BubblePanel final : public QWidget {
    Q_OBJECT
public:
    // With a compositor the card floats on a soft shadow with rounded corners; without one
    // transparent pixels would show black, so the window is a plain rectangle with a border.
    enum class FrameStyle { shadowed, bordered };

    static constexpr int cornerRadius = 10;
    static constexpr int shadowWidth = 12;

    BubblePanel();

    // Only before the window is first shown: translucency is fixed when the native window is made.
    void setFrameStyle(FrameStyle style);
    FrameStyle frameStyle() const { return m_frameStyle; }
    // Room around the card for its shadow; the panel's frame is the card's.
    int shadowMargin() const { return m_frameStyle == FrameStyle::shadowed ? shadowWidth : 0; }
    QRect cardRect() const;

    BubbleTitleBar* titleBar() const { return m_titleBar; }
    BubbleResizeGrip* resizeGrip() const { return m_grip; }

    // Puts the translation content into its slot, replacing (and deleting) what was there.
    void setContent(QWidget* content);
    QWidget* content() const { return m_content; }

    // Takes the texts of the current interface language (the content relocalizes itself).
    void retranslate();

    // The card height the header and the content need at the card's current width, or at another.
    double preferredHeight() const;
    double preferredHeight(qreal cardWidth) const;

Q_SIGNALS:
    void preferredHeightChanged(double height);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyMargins();
    void placeGrip();
    void reportPreferredHeight();

    FrameStyle m_frameStyle = FrameStyle::bordered;
    BubbleTitleBar* m_titleBar;
    QWidget* m_slot;
    QWidget* m_content = nullptr;
    BubbleResizeGrip* m_grip;
    bool m_reportPending = false;
};

} // namespace qw
