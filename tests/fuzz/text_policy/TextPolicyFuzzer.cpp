// The text policy on any text another application may hold: random Unicode, unpaired
// surrogates, and texts up to 10 MB. Input: a repeat byte, an encoding byte ('8' for UTF-8,
// anything else for raw UTF-16 code units), then a piece of text that is repeated up to the
// size the repeat byte asks for, so that small inputs reach megabytes.
#include "FuzzInput.h"
#include "policy/MatchingText.h"
#include "policy/SelectionRules.h"
#include "policy/TextFingerprint.h"
#include "policy/TextPolicy.h"

#include <algorithm>

using namespace qw;

namespace {

constexpr qsizetype kLargestText = 10 * 1024 * 1024; // bytes of UTF-16

QString textOf(const uint8_t* data, size_t size)
{
    if (size < 2)
        return {};
    const QByteArray piece = fuzz::bytes(data + 2, size - 2);
    const QString unit = data[1] == '8' ? QString::fromUtf8(piece) : fuzz::utf16(piece);
    if (unit.isEmpty())
        return unit;
    // The low bits ask for up to 2^20 copies, never more than 10 MB in all.
    const qsizetype wanted = qsizetype(1) << (data[0] % 21);
    const qsizetype copies = std::min(wanted, std::max<qsizetype>(1, kLargestText / 2 / unit.size()));
    return unit.repeated(copies);
}

bool isLowerHex(const QString& digest)
{
    return digest.size() == 64 && std::all_of(digest.cbegin(), digest.cend(), [](QChar c) {
               return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f');
           });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = textOf(data, size);

    const TextVerdict verdict = TextPolicy::verdict(text);
    const bool allowed = TextPolicy::isAllowed(text);
    fuzz::require(allowed == (verdict == TextVerdict::allowed), "the quick answer and the verdict agree");
    const qsizetype characters = TextPolicy::characterCount(text);
    fuzz::require(characters <= text.size() && (text.isEmpty() || characters >= 1),
                  "a text has between one character and one per code unit");
    if (allowed) {
        fuzz::require(text.size() <= TextPolicy::maximumCodeUnits &&
                          characters <= TextPolicy::maximumCharacters,
                      "an allowed text is within both limits");
        fuzz::require(!text.trimmed().isEmpty(), "an allowed text is not blank");
    }
    if (verdict == TextVerdict::tooLong)
        fuzz::require(characters > TextPolicy::maximumCharacters,
                      "too long means more characters than allowed");
    (void)SelectionRules::shouldTranslate(text);

    const QString paired = MatchingText::withPairedSurrogates(text);
    fuzz::require(paired.size() == text.size(), "every position is kept");
    for (qsizetype i = 0; i < text.size(); ++i) {
        fuzz::require(paired.at(i) == text.at(i) ||
                          (text.at(i).isSurrogate() && paired.at(i) == QChar(0xFFFD)),
                      "only surrogates are replaced");
    }
    // Checked directly: a UTF-8 round trip would also drop a leading byte-order mark.
    fuzz::require(paired.isValidUtf16(), "no unpaired surrogate is left");

    // The fingerprint keys what was handled: it must not depend on anything but the text.
    if (text.size() <= TextPolicy::maximumCodeUnits) {
        const QString digest = TextFingerprint::of(text);
        fuzz::require(isLowerHex(digest) &&
                          digest == TextFingerprint::of(QString(text.constData(), text.size())),
                      "a fingerprint is 64 lower-case hexadecimal digits of the text alone");
    }
    return 0;
}
