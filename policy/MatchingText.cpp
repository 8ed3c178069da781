#include "policy/MatchingText.h"

namespace qw::MatchingText {

namespace {

// Unicode's Default_Ignorable_Code_Point: characters a renderer shows as nothing at all.
// Removing them from the matched text costs nothing in meaning and defeats "pass\u200Bword".
bool isInvisible(char32_t c)
{
    return c == 0x00AD                        // soft hyphen
           || c == 0x034F                     // combining grapheme joiner
           || c == 0x061C                     // Arabic letter mark
           || (c >= 0x115F && c <= 0x1160)    // Hangul fillers (NFKC folds U+3164 and U+FFA0 here)
           || (c >= 0x17B4 && c <= 0x17B5)    // Khmer inherent vowels
           || (c >= 0x180B && c <= 0x180F)    // Mongolian variation selectors and vowel separator
           || (c >= 0x200B && c <= 0x200F)    // zero-width space, joiners, directional marks
           || (c >= 0x202A && c <= 0x202E)    // directional embeddings and overrides
           || (c >= 0x2060 && c <= 0x206F)    // word joiner, invisible operators, isolates
           || c == 0x3164 || c == 0xFFA0      // Hangul fillers
           || (c >= 0xFE00 && c <= 0xFE0F)    // variation selectors
           || c == 0xFEFF                     // zero-width no-break space (byte order mark)
           || (c >= 0xFFF0 && c <= 0xFFF8)    // reserved as ignorable
           || (c >= 0x1BCA0 && c <= 0x1BCA3)  // shorthand format controls
           || (c >= 0x1D173 && c <= 0x1D17A)  // musical formatting
           || (c >= 0xE0000 && c <= 0xE0FFF); // tags and variation selectors supplement
}

bool isLineBreak(QChar c)
{
    switch (c.unicode()) {
    case u'\n':
    case u'\r':
    case u'\v':
    case u'\f':
    case 0x0085:
    case 0x2028:
    case 0x2029:
        return true;
    default:
        return false;
    }
}

bool isVisible(QChar c)
{
    return !c.isSpace() && !isLineBreak(c);
}

// The full-width forms of ASCII that Chinese input methods type ("，", "：", "ｓｋ") and the
// ideographic space, folded as NFKC folds them. Done beforehand because Qt's normalization
// first checks whether a text needs any work: these are usually the only compatibility
// characters in Chinese prose, and one "，" would otherwise have the whole piece decomposed
// and recomposed.
QString withWideFormsFolded(const QString& text)
{
    QString folded = text;
    const qsizetype n = folded.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = folded.at(i).unicode();
        if (c >= 0xFF01 && c <= 0xFF5E)
            folded[i] = QChar(char16_t(c - 0xFF01 + u'!'));
        else if (c == 0x3000)
            folded[i] = QChar(u' ');
    }
    return folded;
}

// Whether NFKC of a text cut just before this character equals NFKC of the whole: the
// character begins a new combining sequence and is never the second half of a composition
// (marks, Hangul vowel and final jamo, the half-width voicing marks that fold into marks).
bool beginsIndependentRun(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return true;
    if (c.isSurrogate() || c.combiningClass() != 0 || c.isMark())
        return false;
    return !((u >= 0x1160 && u <= 0x11FF) || (u >= 0xD7B0 && u <= 0xD7FF) || u == 0xFF9E || u == 0xFF9F);
}

// NFKC, a piece at a time. Qt's normalization inserts and removes characters in place, which
// makes it quadratic in the length of the text: 1800 long ligatures cost over a millisecond,
// a long run of combining marks far more. Pieces end where the text may be cut without
// changing the result; a run of more than 128 units without such a place (never real text) is
// cut anyway, which can only change how the marks in it are ordered.
QString compatibilityFolded(const QString& text)
{
    constexpr qsizetype usualPiece = 64;
    constexpr qsizetype longestPiece = 128;
    const qsizetype n = text.size();
    if (n <= usualPiece)
        return text.normalized(QString::NormalizationForm_KC);
    QString folded;
    folded.reserve(n);
    qsizetype start = 0;
    for (qsizetype i = 1; i <= n; ++i) {
        const qsizetype length = i - start;
        const bool cut = i == n || (length >= usualPiece && beginsIndependentRun(text.at(i))) ||
                         (length >= longestPiece && !text.at(i).isLowSurrogate());
        if (cut) {
            folded += text.mid(start, length).normalized(QString::NormalizationForm_KC);
            start = i;
        }
    }
    return folded;
}

} // namespace

QString withPairedSurrogates(const QString& text)
{
    QString repaired = text;
    const qsizetype n = repaired.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = repaired.at(i);
        if (c.isHighSurrogate() && i + 1 < n && repaired.at(i + 1).isLowSurrogate()) {
            ++i;
            continue;
        }
        if (c.isSurrogate())
            repaired[i] = QChar::ReplacementCharacter;
    }
    return repaired;
}

QString normalized(const QString& text)
{
    const QString folded = compatibilityFolded(withWideFormsFolded(withPairedSurrogates(text)));
    QString visible;
    qsizetype copied = 0;
    const qsizetype n = folded.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar unit = folded.at(i);
        // Every invisible character lies at U+00AD or above; the test below is the fast path.
        if (unit.unicode() < 0x00AD)
            continue;
        const bool pair = unit.isHighSurrogate() && i + 1 < n && folded.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(unit, folded.at(i + 1)) : unit.unicode();
        const qsizetype width = pair ? 2 : 1;
        if (isInvisible(c)) {
            visible += QStringView(folded).mid(copied, i - copied);
            copied = i + width;
        }
        i += width - 1;
    }
    if (copied == 0)
        return folded;
    visible += QStringView(folded).mid(copied);
    return visible;
}

JoinedLines withWrappedLinesJoined(const QString& text)
{
    JoinedLines joined;
    qsizetype copied = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 1; i + 1 < n; ++i) {
        if (!isLineBreak(text.at(i)))
            continue;
        // One break (CR LF counts as one) with a visible character on either side.
        const qsizetype end = text.at(i) == u'\r' && text.at(i + 1) == u'\n' ? i + 2 : i + 1;
        if (end < n && isVisible(text.at(i - 1)) && isVisible(text.at(end))) {
            joined.text += QStringView(text).mid(copied, i - copied);
            joined.joints.append(joined.text.size());
            copied = end;
        }
        i = end - 1;
    }
    joined.text += QStringView(text).mid(copied);
    return joined;
}

QString asciiLowerCased(const QString& text)
{
    QString lowered = text;
    const qsizetype n = lowered.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = lowered.at(i).unicode();
        if (c >= u'A' && c <= u'Z')
            lowered[i] = QChar(char16_t(c + (u'a' - u'A')));
    }
    return lowered;
}

} // namespace qw::MatchingText
