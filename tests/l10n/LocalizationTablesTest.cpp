#include "l10n/L10n.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <map>

namespace qw {
namespace {

const QStringList kCodes = {QStringLiteral("en"), QStringLiteral("zh-Hans")};
const QString kPlaceholder = QStringLiteral("%@");

QString sourceRoot()
{
    return QStringLiteral(QW_SOURCE_DIR);
}

QString readAll(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// The fragments of one language as they lie in the source tree, keyed by fragment name.
std::map<QString, QJsonObject> fragments(const QString& code, QStringList* problems)
{
    std::map<QString, QJsonObject> result;
    const QDir directory(sourceRoot() + QStringLiteral("/resources/%1.lproj").arg(code));
    for (const QString& name : directory.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QJsonParseError error;
        const QJsonDocument document =
            QJsonDocument::fromJson(readAll(directory.filePath(name)).toUtf8(), &error);
        if (!document.isObject()) {
            problems->append(code + u'/' + name + QStringLiteral(": not a JSON object: ") +
                             error.errorString());
            continue;
        }
        result.emplace(name, document.object());
    }
    return result;
}

// Source text with comments blanked out, so that a key quoted in a comment is not taken for a
// use. String, character and raw string literals are kept whole.
QString withoutComments(const QString& source)
{
    static const QRegularExpression token(QStringLiteral(
        R"re(R"([^(\s]*)\([\s\S]*?\)\1"|"(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*'|//[^\n]*|/\*[\s\S]*?\*/)re"));
    QString out;
    qsizetype done = 0;
    for (auto it = token.globalMatch(source); it.hasNext();) {
        const auto match = it.next();
        const bool comment = source.at(match.capturedStart()) == u'/';
        out += QStringView(source).mid(done, match.capturedStart() - done);
        out += comment ? QStringView(u" ") : match.capturedView();
        done = match.capturedEnd();
    }
    return out + source.mid(done);
}

QString unescaped(const QString& literal)
{
    QString out;
    for (qsizetype i = 0; i < literal.size(); ++i) {
        if (literal.at(i) != u'\\' || i + 1 == literal.size()) {
            out += literal.at(i);
            continue;
        }
        const QChar next = literal.at(++i);
        out += next == u'n' ? QChar(u'\n') : next == u't' ? QChar(u'\t') : next;
    }
    return out;
}

struct SourceKeys {
    std::map<QString, QString> keys; // key → the first file that uses it
    QStringList problems;
};

SourceKeys keysInSources()
{
    SourceKeys found;
    static const QRegularExpression use(QStringLiteral(R"re(L10N_KEY\s*\()re"));
    static const QRegularExpression literal(QStringLiteral(R"re(\G\s*"((?:[^"\\\n]|\\.)*)"\s*\))re"));
    const QStringList folders = {QStringLiteral("core"),          QStringLiteral("app"),
                                 QStringLiteral("engine"),        QStringLiteral("policy"),
                                 QStringLiteral("model"),         QStringLiteral("bubble"),
                                 QStringLiteral("accessibility"), QStringLiteral("settings"),
                                 QStringLiteral("platform"),      QStringLiteral("updates")};
    for (const QString& folder : folders) {
        QDirIterator files(sourceRoot() + u'/' + folder, {QStringLiteral("*.h"), QStringLiteral("*.cpp")},
                           QDir::Files, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            const QString relative = QDir(sourceRoot()).relativeFilePath(path);
            if (relative.split(u'/').mid(1).filter(QRegularExpression(QStringLiteral("^build"))).size() > 0)
                continue;
            const QString code = withoutComments(readAll(path));
            auto uses = use.globalMatch(code);
            while (uses.hasNext()) {
                const auto at = uses.next();
                if (QStringView(code).mid(0, at.capturedStart()).trimmed().endsWith(u"#define"))
                    continue;
                const auto key = literal.match(code, at.capturedEnd());
                if (!key.hasMatch()) {
                    found.problems.append(relative +
                                          QStringLiteral(": a key that is not one string literal"));
                    continue;
                }
                found.keys.emplace(unescaped(key.captured(1)), relative);
            }
        }
    }
    return found;
}

// Whether a message shown in one language leads back to a key other than `key`: an exact text
// always wins over a pattern, and of two patterns the one with more fixed text wins; anything
// else that also matches is a conflict.
bool leadsElsewhere(const L10n::Table& table, const QString& key, const QString& text)
{
    const QString message = QString(text).replace(kPlaceholder, QStringLiteral("‹value›"));
    const qsizetype fixed = text.size() - 2 * text.count(kPlaceholder);
    for (auto other = table.cbegin(); other != table.cend(); ++other) {
        if (other.key() == key)
            continue;
        if (other.value() == message)
            return true;
        if (!text.contains(kPlaceholder) || !other.value().contains(kPlaceholder))
            continue;
        QStringList pieces = other.value().split(kPlaceholder);
        for (QString& piece : pieces)
            piece = QRegularExpression::escape(piece);
        const QRegularExpression expression(u'^' + pieces.join(QStringLiteral("(.*?)")) + u'$',
                                            QRegularExpression::DotMatchesEverythingOption);
        if (expression.match(message).hasMatch() &&
            other.value().size() - 2 * other.value().count(kPlaceholder) >= fixed)
            return true;
    }
    return false;
}

// The tables the program loads hold every fragment of the source tree and every key the
// sources use. Every key has a Chinese and an English text, and both keep the key's
// placeholders: a text with one placeholder fewer would silently drop an argument. The Chinese
// text may differ from its key: the keys are fixed, the texts speak this desktop's words. The
// program runs on a Linux desktop: its texts name the keyring, the tray and Ctrl/Alt/Shift,
// never the other platform's keychain, menu bar or modifier symbols ("AX", its accessibility
// prefix, only as a word). A shown message must lead back to exactly one key, or switching the
// language could show a different message.
TEST(LocalizationTablesTest, BuiltTablesAreCompleteInThisDesktopsWordsAndLeadBackToOneKey)
{
    const QStringList foreignWords = {QStringLiteral("[⌃⌥⇧⌘]"),
                                      QStringLiteral("钥匙串"),
                                      QStringLiteral("菜单栏"),
                                      QStringLiteral("辅助功能权限"),
                                      QStringLiteral("\\bAX\\b"),
                                      QStringLiteral("(?i)keychain"),
                                      QStringLiteral("(?i)menu bar"),
                                      QStringLiteral("(?i)accessibility permission"),
                                      QStringLiteral("(?i)system preferences")};
    const SourceKeys found = keysInSources();
    ASSERT_FALSE(found.keys.empty()) << "the scan itself must work";
    QStringList problems = found.problems;
    for (const QString& code : kCodes) {
        const auto loaded = L10n::table(code);
        const auto other = L10n::table(code == kCodes.first() ? kCodes.last() : kCodes.first());
        ASSERT_TRUE(loaded && other) << code.toStdString();
        std::map<QString, QString> owner;
        std::map<QString, QJsonValue> texts;
        for (const auto& [name, object] : fragments(code, &problems)) {
            for (auto it = object.begin(); it != object.end(); ++it) {
                if (!it.value().isString())
                    problems.append(code + u'/' + name + QStringLiteral(": not a text: ") + it.key());
                // Two subsystems may share a key, but only with one text: the merged table
                // keeps just one of them.
                const auto [previous, inserted] = owner.emplace(it.key(), name);
                if (!inserted && texts[it.key()] != it.value())
                    problems.append(code + QStringLiteral(": different texts in ") + previous->second +
                                    QStringLiteral(" and ") + name + QStringLiteral(": ") + it.key());
                texts[it.key()] = it.value();
                if (!loaded->contains(it.key()))
                    problems.append(code + u'/' + name + QStringLiteral(": not in the built table: ") +
                                    it.key());
            }
        }
        for (const auto& [key, file] : found.keys) {
            if (!loaded->contains(key))
                problems.append(file + QStringLiteral(": missing in ") + code + QStringLiteral(": ") + key);
        }
        for (auto it = loaded->cbegin(); it != loaded->cend(); ++it) {
            const QString entry = code + QStringLiteral(": ") + it.key() + QStringLiteral(" → ") + it.value();
            if (!other->contains(it.key()))
                problems.append(QStringLiteral("only in ") + entry);
            if (it.value().trimmed().isEmpty())
                problems.append(QStringLiteral("empty text in ") + entry);
            if (it.value().count(kPlaceholder) != it.key().count(kPlaceholder))
                problems.append(QStringLiteral("placeholder count differs in ") + entry);
            for (const QString& word : foreignWords) {
                if (it.value().contains(QRegularExpression(word)))
                    problems.append(QStringLiteral("“") + word + QStringLiteral("” in ") + entry);
            }
            if (leadsElsewhere(*loaded, it.key(), it.value()))
                problems.append(QStringLiteral("another key matches ") + entry);
        }
    }
    EXPECT_TRUE(problems.isEmpty()) << problems.join(u'\n').toStdString();
}

} // namespace
} // namespace qw
