#pragma once

#include <QString>

namespace qw {

// The translate combination. Stored as the integer setting "hotkeyPreset"; Option is the Alt key
// on this desktop.
enum class HotkeyPreset {
    controlOptionT = 0,      // Ctrl+Alt+T
    controlOptionShiftT = 1, // Ctrl+Alt+Shift+T, for desktops that open a terminal on Ctrl+Alt+T
};

// Any stored value other than 1 (also a value written by a newer or damaged settings file) means
// the plain combination.
inline HotkeyPreset hotkeyPresetFromStored(int stored)
{
    return stored == 1 ? HotkeyPreset::controlOptionShiftT : HotkeyPreset::controlOptionT;
}

// How the combination is written in the status texts: key names, never translated.
inline QString hotkeyPresetLabel(HotkeyPreset preset)
{
    return preset == HotkeyPreset::controlOptionShiftT ? QStringLiteral("Ctrl+Alt+Shift+T")
                                                       : QStringLiteral("Ctrl+Alt+T");
}

} // namespace qw
