#include "policy/Letters.h"

#include <QChar>

namespace qw::Letters {

namespace {

bool isEmojiPresentationMark(char32_t codePoint)
{
    return (codePoint >= 0xFE00 && codePoint <= 0xFE0F)      // variation selectors
           || (codePoint >= 0xE0100 && codePoint <= 0xE01EF) // variation selectors supplement
           || codePoint == 0x20E3;                           // combining enclosing keycap
}

} // namespace

bool isLetter(char32_t codePoint)
{
    switch (QChar::category(codePoint)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
        return true;
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return !isEmojiPresentationMark(codePoint);
    default:
        return false;
    }
}

bool containsLetter(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t codePoint = text[i].unicode();
        if (text[i].isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
            ++i;
        }
        // An unpaired surrogate is category Cs, never a letter.
        if (isLetter(codePoint))
            return true;
    }
    return false;
}

} // namespace qw::Letters
