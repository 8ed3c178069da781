#pragma once

#include "bubble/BubbleScreens.h"

#include <QObject>
#include <QString>

class QScreen;

namespace qw {

// Screens and pointer as Qt Gui sees them (X11 through the xcb platform, or any other).
class QtBubbleScreens final : public QObject, public BubbleScreens {
public:
    QtBubbleScreens();

    ScreenLayout layout() const override;
    QPointF pointerLocation() const override;
    bool primaryButtonDown() const override;
    void setOnChanged(std::function<void()> onChanged) override;

    // The output's name ("DP-1", "HDMI-A-0") stays the same when the output is unplugged and
    // plugged in again, unlike QScreen's address or its index in the list.
    static quint32 idForName(const QString& name);

private:
    void watch(QScreen* screen);
    void announce();

    std::function<void()> m_onChanged;
};

} // namespace qw
