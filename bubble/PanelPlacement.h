#pragma once

#include "bubble/SessionPanelPosition.h"

#include <QObject>

namespace qw {

// How the panel is placed: following the field, or fixed where the user put it. Lasts for the
// life of the process; the pin button shows the mode.
class PanelPlacement : public QObject {
    Q_OBJECT
public:
    enum class Mode { automatic, fixed };

    Mode mode() const { return m_mode; }
    void setMode(Mode mode)
    {
        if (mode == m_mode)
            return;
        m_mode = mode;
        Q_EMIT modeChanged();
    }

    SessionPanelPosition position;

Q_SIGNALS:
    void modeChanged();

private:
    Mode m_mode = Mode::automatic;
};

} // namespace qw
