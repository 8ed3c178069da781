#pragma once

#include <QWidget>
#include <optional>

namespace qw {

// A strip along the panel's right edge: dragging it sets the panel's width. The height follows
// the content, so only the width is the user's.
class BubbleResizeGrip final : public QWidget {
    Q_OBJECT
public:
    static constexpr int thickness = 6;

    explicit BubbleResizeGrip(QWidget* parent = nullptr);

    void retranslate();

Q_SIGNALS:
    void resizeStarted();
    // How far the pointer moved to the right since the press.
    void resizeMoved(qreal pointerTravel);
    void resizeEnded();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    std::optional<qreal> m_pressX;
};

} // namespace qw
