#pragma once

#include <QList>
#include <QString>
#include <optional>

namespace qw {

// The pages of the settings window, in sidebar order.
enum class SettingsSection { general, translation, models, applications, privacy, shortcuts, diagnostics };

QList<SettingsSection> allSettingsSections();
// The sidebar title in the current interface language.
QString title(SettingsSection section);
// The name the command line takes ("general", "models", …).
QString commandName(SettingsSection section);
std::optional<SettingsSection> settingsSectionFromCommandName(const QString& name);

} // namespace qw
