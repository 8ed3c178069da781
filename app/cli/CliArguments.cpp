#include "app/cli/CliArguments.h"

#include "l10n/L10n.h"
#include "policy/TextPolicy.h"

#include <QHash>
#include <QStringDecoder>
#include <algorithm>

namespace qw::CliArguments {

Result<TranslationProvider, QString> provider(const QString& name)
{
    for (TranslationProvider candidate : allTranslationProviders()) {
        if (rawValue(candidate).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return L10n::format(L10N_KEY("未知的服务商：%@（可选 openai、deepseek、kimi、custom）"),
                        {repeatable(name)});
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
    return L10n::format(L10N_KEY("未知的语言：%@"), {repeatable(name)});
}

Result<InterfaceLanguage, QString> interfaceLanguage(const QString& name)
{
    for (InterfaceLanguage candidate :
         {InterfaceLanguage::system, InterfaceLanguage::chinese, InterfaceLanguage::english}) {
        if (rawValue(candidate).compare(name.trimmed(), Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return L10n::format(L10N_KEY("未知的界面语言：%@（可选 system、zh-Hans、en）"), {repeatable(name)});
}

std::optional<QString> standardInput(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

QString invalidStandardInput()
{
    return L10n::text(L10N_KEY("标准输入不是有效的 UTF-8 文本"));
}

bool containsControlCharacter(const QString& text)
{
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

QString repeatable(const QString& argument)
{
    // Words only: option names, provider and language names have no digits, while keys and
    // tokens nearly always do (and the safety policy catches the usual key shapes besides).
    constexpr qsizetype longestWord = 24;
    const bool word = !argument.isEmpty() && argument.size() <= longestWord &&
                      std::all_of(argument.cbegin(), argument.cend(),
                                  [](QChar c) { return c.isLetter() || c == u'-' || c == u'_'; });
    return word && TextPolicy::isAllowed(argument) ? argument : QStringLiteral("\u2026");
}

} // namespace qw::CliArguments
