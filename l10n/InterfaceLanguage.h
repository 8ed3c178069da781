#pragma once

#include <QString>

namespace qw {

// The interface language the user chose; `system` follows the desktop's preferred languages.
enum class InterfaceLanguage { system, chinese, english };

inline QString rawValue(InterfaceLanguage language)
{
    switch (language) {
    case InterfaceLanguage::chinese:
        return QStringLiteral("zh-Hans");
    case InterfaceLanguage::english:
        return QStringLiteral("en");
    case InterfaceLanguage::system:
        break;
    }
    return QStringLiteral("system");
}

// Any string other than a known raw value means `system`.
inline InterfaceLanguage interfaceLanguageFromRaw(const QString& raw)
{
    if (raw == u"zh-Hans")
        return InterfaceLanguage::chinese;
    if (raw == u"en")
        return InterfaceLanguage::english;
    return InterfaceLanguage::system;
}

} // namespace qw
