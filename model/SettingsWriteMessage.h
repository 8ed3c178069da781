#pragma once

#include "core/SettingsWriteResult.h"

#include <QString>

namespace qw::SettingsWriteMessage {

// What the user reads when a setting could not be saved, in the current interface language;
// empty for a write that succeeded.
QString text(const SettingsWriteResult& result);

} // namespace qw::SettingsWriteMessage
