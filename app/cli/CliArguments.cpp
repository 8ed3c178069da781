#include "app/cli/CliArguments.h"

#include "app/l10n/L10n.h"

#include <QHash>

namespace qw::CliArguments {

Result<TranslationProvider, QString> provider(const QString& name)
{
    for (TranslationProvider candidate : allTranslationProviders()) {
        if (rawValue(candidate).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return L10n::format(L10N_KEY("未知的服务商：%@（可选 openai、deepseek、kimi、custom）"), {name});
}

Result<TranslationLanguage, QString> language(const QString& name)
{
    static const QHash<QString, TranslationLanguage> aliases{
        {QStringLiteral("auto"), TranslationLanguage::automatic},
        {QStringLiteral("automatic"), TranslationLanguage::automatic},
        {QStringLiteral("zh"), TranslationLanguage::chinese},
        {QStringLiteral("zh-hans"), TranslationLanguage::chinese},
        {QStringLiteral("chinese"), TranslationLanguage::chinese},
        {QStringLiteral("en"), TranslationLanguage::english},
        {QStringLiteral("ja"), TranslationLanguage::japanese},
        {QStringLiteral("japanese"), TranslationLanguage::japanese},
        {QStringLiteral("ko"), TranslationLanguage::korean},
        {QStringLiteral("korean"), TranslationLanguage::korean},
        {QStringLiteral("fr"), TranslationLanguage::french},
        {QStringLiteral("french"), TranslationLanguage::french},
        {QStringLiteral("de"), TranslationLanguage::german},
        {QStringLiteral("german"), TranslationLanguage::german},
        {QStringLiteral("es"), TranslationLanguage::spanish},
        {QStringLiteral("spanish"), TranslationLanguage::spanish},
        {QStringLiteral("ru"), TranslationLanguage::russian},
        {QStringLiteral("russian"), TranslationLanguage::russian},
    };
    const QString wanted = name.trimmed();
    for (TranslationLanguage candidate : allTranslationLanguages()) {
        if (rawValue(candidate).compare(wanted, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    const auto alias = aliases.constFind(wanted.toLower());
    if (alias != aliases.cend())
        return alias.value();
    return L10n::format(L10N_KEY("未知的语言：%@"), {name});
}

} // namespace qw::CliArguments
