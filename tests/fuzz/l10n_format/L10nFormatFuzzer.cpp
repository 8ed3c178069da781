// The localization lookups on any key and arguments: filling a pattern keeps every argument
// whole and in its place, and turning a message of one language into the other never crashes
// or hangs, whatever a provider's or the platform's text put into the arguments.
// Input: "en" or "zh-Hans" as the current language, a key (or "#<n>" for the table's n-th
// key), then the arguments, one a line; a message to re-localize is the arguments' last line.
#include "FuzzInput.h"
#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"

using namespace qw;

namespace {

QString keyOf(const QString& name)
{
    static const QStringList keys = [] {
        QStringList sorted = L10n::table(QStringLiteral("en")).value_or(L10n::Table()).keys();
        sorted.sort();
        return sorted;
    }();
    bool numeric = false;
    const uint index = name.mid(1).toUInt(&numeric);
    if (!name.startsWith(u'#') || !numeric || keys.isEmpty())
        return name;
    return keys.at(qsizetype(index % uint(keys.size())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QList<QByteArray> input = fuzz::fields(data, size, 3);
    const InterfaceLanguage current = interfaceLanguageFromRaw(QString::fromUtf8(input.at(0)));
    LocalizationState::shared().setLanguage(current);
    const QString key = keyOf(QString::fromUtf8(input.at(1)));
    const QStringList arguments = QString::fromUtf8(input.at(2)).split(u'\n');

    const QString pattern = L10n::text(key);
    const QString filled = L10n::format(key, arguments);
    const qsizetype placeholders = pattern.count(QStringLiteral("%@"));
    qsizetype expectedSize = pattern.size() - 2 * placeholders;
    for (qsizetype i = 0; i < placeholders && i < arguments.size(); ++i)
        expectedSize += arguments.at(i).size();
    fuzz::require(filled.size() == expectedSize,
                  "each placeholder takes its argument whole, and nothing else");
    if (placeholders == 0)
        fuzz::require(filled == pattern, "a text without placeholders is its own message");

    // A message from the other language, and a message found in no table.
    const InterfaceLanguage other =
        current == InterfaceLanguage::english ? InterfaceLanguage::chinese : InterfaceLanguage::english;
    LocalizationState::shared().setLanguage(other);
    const QString message = L10n::format(key, arguments);
    LocalizationState::shared().setLanguage(current);
    (void)L10n::relocalize(message, other);
    (void)L10n::relocalize(arguments.last(), other);
    return 0;
}
