#include "policy/TextPolicy.h"

#include "policy/SecretDetector.h"

#include <QTextBoundaryFinder>

namespace qw::TextPolicy {

namespace {

bool isBlank(const QString& text)
{
    // QString::trimmed() removes exactly Unicode white space and line breaks (Z*, tab, LF, VT,
    // FF, CR, NEL).
    return text.trimmed().isEmpty();
}

bool isTooLarge(const QString& text)
{
    return text.size() > maximumCodeUnits;
}

bool hasTooManyCharacters(const QString& text)
{
    // The code-unit length bounds the character count from above, so short texts skip the
    // segmentation.
    return text.size() > maximumCharacters && characterCount(text) > maximumCharacters;
}

} // namespace

qsizetype characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (finder.toNextBoundary() != -1)
        ++count;
    return count;
}

bool isAllowed(const QString& text)
{
    // The cheap checks first: the size bound also bounds what the segmentation and the
    // patterns have to read.
    return !isBlank(text) && !isTooLarge(text) && !hasTooManyCharacters(text) &&
           !SecretDetector::looksLikeSecret(text);
}

TextVerdict verdict(const QString& text)
{
    if (isBlank(text))
        return TextVerdict::blank;
    if (isTooLarge(text))
        return TextVerdict::tooLarge;
    if (SecretDetector::looksLikeSecret(text))
        return TextVerdict::looksLikeSecret;
    if (hasTooManyCharacters(text))
        return TextVerdict::tooLong;
    return TextVerdict::allowed;
}

} // namespace qw::TextPolicy
