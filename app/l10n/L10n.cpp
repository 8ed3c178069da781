#include "app/l10n/L10n.h"

#include "app/l10n/LocalizationState.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>

#include <mutex>

namespace qw::L10n {

namespace {

// A table is the union of the fragments in :/l10n/<code>.lproj/ (one per subsystem); the
// tables never change while the program runs, so each is loaded once.
std::optional<Table> loadTable(const QString& code)
{
    const QDir directory(QStringLiteral(":/l10n/%1.lproj").arg(code));
    if (!directory.exists())
        return std::nullopt;
    Table table;
    const QStringList fragments = directory.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name);
    for (const QString& name : fragments) {
        QFile file(directory.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
        if (!document.isObject())
            return std::nullopt;
        const QJsonObject object = document.object();
        for (auto it = object.begin(); it != object.end(); ++it)
            table.insert(it.key(), it.value().toString());
    }
    return table;
}

} // namespace

QString code(InterfaceLanguage language, const QStringList& preferredLanguages)
{
    switch (language) {
    case InterfaceLanguage::chinese:
        return QStringLiteral("zh-Hans");
    case InterfaceLanguage::english:
        return QStringLiteral("en");
    case InterfaceLanguage::system:
        break;
    }
    if (!preferredLanguages.isEmpty() && preferredLanguages.first().startsWith(u"zh"))
        return QStringLiteral("zh-Hans");
    return QStringLiteral("en");
}

QString currentCode()
{
    return code(LocalizationState::shared().language(), QLocale::system().uiLanguages());
}

std::optional<Table> table(const QString& code)
{
    static std::mutex mutex;
    static QHash<QString, std::optional<Table>> loaded;
    std::lock_guard lock(mutex);
    auto found = loaded.constFind(code);
    if (found == loaded.cend())
        found = loaded.insert(code, loadTable(code));
    return found.value();
}

QString text(const QString& key, std::optional<InterfaceLanguage> language)
{
    const QString tableCode =
        language ? code(*language, QLocale::system().uiLanguages()) : currentCode();
    const auto strings = table(tableCode);
    if (!strings)
        return key;
    return strings->value(key, key);
}

QString format(const QString& key, const QStringList& arguments)
{
    const QString pattern = text(key);
    QString result;
    qsizetype from = 0;
    qsizetype argument = 0;
    while (true) {
        const qsizetype at = pattern.indexOf(u"%@", from);
        if (at < 0)
            break;
        result += QStringView(pattern).mid(from, at - from);
        result += argument < arguments.size() ? arguments.at(argument) : QString();
        ++argument;
        from = at + 2;
    }
    result += QStringView(pattern).mid(from);
    return result;
}

QString relocalize(const QString& message, InterfaceLanguage from)
{
    const auto source = table(code(from, QLocale::system().uiLanguages()));
    if (!source)
        return message;
    // Exact texts first, so that a fixed message is never mistaken for a filled-in pattern.
    for (auto it = source->cbegin(); it != source->cend(); ++it) {
        if (it.value() == message)
            return text(it.key());
    }
    for (auto it = source->cbegin(); it != source->cend(); ++it) {
        const QStringList pieces = it.value().split(QStringLiteral("%@"));
        if (pieces.size() < 2)
            continue;
        QStringList escaped;
        for (const QString& piece : pieces)
            escaped.append(QRegularExpression::escape(piece));
        const QRegularExpression pattern(QStringLiteral("^") + escaped.join(QStringLiteral("(.*?)")) +
                                             QStringLiteral("$"),
                                         QRegularExpression::DotMatchesEverythingOption);
        if (!pattern.isValid())
            continue;
        const auto match = pattern.match(message);
        if (!match.hasMatch())
            continue;
        QStringList arguments;
        for (int group = 1; group < pieces.size(); ++group)
            arguments.append(match.captured(group));
        return format(it.key(), arguments);
    }
    return message;
}

} // namespace qw::L10n
