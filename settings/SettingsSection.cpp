#include "settings/SettingsSection.h"

#include "l10n/L10n.h"

namespace qw {

QList<SettingsSection> allSettingsSections()
{
    return {SettingsSection::general,      SettingsSection::translation, SettingsSection::models,
            SettingsSection::applications, SettingsSection::privacy,     SettingsSection::shortcuts,
            SettingsSection::diagnostics};
}

QString title(SettingsSection section)
{
    switch (section) {
    case SettingsSection::general:
        return L10n::text(L10N_KEY("通用"));
    case SettingsSection::translation:
        return L10n::text(L10N_KEY("翻译设置"));
    case SettingsSection::models:
        return L10n::text(L10N_KEY("翻译服务"));
    case SettingsSection::applications:
        return L10n::text(L10N_KEY("应用管理"));
    case SettingsSection::privacy:
        return L10n::text(L10N_KEY("权限与安全"));
    case SettingsSection::shortcuts:
        return L10n::text(L10N_KEY("快捷键"));
    case SettingsSection::diagnostics:
        return L10n::text(L10N_KEY("高级"));
    }
    return {};
}

QString commandName(SettingsSection section)
{
    switch (section) {
    case SettingsSection::general:
        return QStringLiteral("general");
    case SettingsSection::translation:
        return QStringLiteral("translation");
    case SettingsSection::models:
        return QStringLiteral("models");
    case SettingsSection::applications:
        return QStringLiteral("applications");
    case SettingsSection::privacy:
        return QStringLiteral("privacy");
    case SettingsSection::shortcuts:
        return QStringLiteral("shortcuts");
    case SettingsSection::diagnostics:
        return QStringLiteral("diagnostics");
    }
    return {};
}

std::optional<SettingsSection> settingsSectionFromCommandName(const QString& name)
{
    for (SettingsSection section : allSettingsSections()) {
        if (commandName(section) == name)
            return section;
    }
    return std::nullopt;
}

} // namespace qw
