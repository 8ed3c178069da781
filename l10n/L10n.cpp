#include "l10n/L10n.h"

#include "l10n/LocalizationState.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QRegularExpression>
#include <mutex>
#include <utility>

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
        for (auto it = object.begin(); it != object.end(); ++it) {
            // A text that is not a string would show as an empty label; the key itself is the
            // better fallback.
            if (it.value().isString())
                table.insert(it.key(), it.value().toString());
        }
    }
    return table;
}

// The desktop's language list is read from the environment once at start and never changes
// while the program runs; asking the system locale for it on every text costs a lookup each.
const QStringList& systemLanguages()
{
    static const QStringList languages = QLocale::system().uiLanguages();
    return languages;
}

} // namespace

QString code(InterfaceLanguage language, const QStringList& preferredLanguages)
{
    // A chosen language's raw value is its table code; `system` follows the desktop.
    if (language != InterfaceLanguage::system)
        return rawValue(language);
    const bool chinese = !preferredLanguages.isEmpty() && preferredLanguages.first().startsWith(u"zh");
    return rawValue(chinese ? InterfaceLanguage::chinese : InterfaceLanguage::english);
}

QString currentCode()
{
    return code(LocalizationState::shared().language(), systemLanguages());
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
    const QString tableCode = language ? code(*language, systemLanguages()) : currentCode();
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

QString number(qint64 value)
{
    return QLocale(currentCode()).toString(value);
}

QString number(double value, int precision)
{
    return QLocale(currentCode()).toString(value, 'f', precision);
}

QString relocalize(const QString& message, const Table& source)
{
    // Exact texts first, so that a fixed message is never mistaken for a filled-in pattern.
    // Keys are visited in sorted order: the hash order changes from run to run, and the same
    // message must always come back the same way.
    QStringList keys = source.keys();
    keys.sort();
    for (const QString& key : std::as_const(keys)) {
        if (source.value(key) == message)
            return text(key);
    }
    // Of several patterns that match, the one with the most fixed text is the message's own:
    // "%@" alone, or "Failed: %@", would also match "Restore failed: disk full".
    std::optional<std::pair<QString, QStringList>> best;
    qsizetype bestFixedLength = -1;
    for (const QString& key : std::as_const(keys)) {
        const QString pattern = source.value(key);
        const QStringList pieces = pattern.split(QStringLiteral("%@"));
        if (pieces.size() < 2)
            continue;
        QStringList escaped;
        for (const QString& piece : pieces)
            escaped.append(QRegularExpression::escape(piece));
        const QRegularExpression expression(QStringLiteral("^") + escaped.join(QStringLiteral("(.*?)")) +
                                                QStringLiteral("$"),
                                            QRegularExpression::DotMatchesEverythingOption);
        if (!expression.isValid())
            continue;
        const auto match = expression.match(message);
        if (!match.hasMatch())
            continue;
        const qsizetype fixedLength = pattern.size() - 2 * (pieces.size() - 1);
        if (fixedLength <= bestFixedLength)
            continue;
        QStringList arguments;
        for (qsizetype group = 1; group < pieces.size(); ++group)
            arguments.append(match.captured(int(group)));
        best = std::make_pair(key, arguments);
        bestFixedLength = fixedLength;
    }
    if (best)
        return format(best->first, best->second);
    return message;
}

QString relocalize(const QString& message, InterfaceLanguage from)
{
    const auto source = table(code(from, systemLanguages()));
    if (!source)
        return message;
    return relocalize(message, *source);
}

} // namespace qw::L10n
