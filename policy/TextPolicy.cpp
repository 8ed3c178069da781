#include "policy/TextPolicy.h"

#include <QRegularExpression>
#include <QTextBoundaryFinder>
#include <array>

namespace qw::TextPolicy {

namespace {

// The secret patterns. "\s" is spelled out as [\t\n\f\r\p{Z}], the white space of the ICU
// syntax the patterns were written for: PCRE's own "\s" is ASCII-only and would let a value
// separated by, say, an ideographic space slip through differently.
const std::array<QString, 3>& patternSources()
{
    static const std::array<QString, 3> sources = {
        QStringLiteral(R"re((?:sk-|ghp_|github_pat_|AKIA)[A-Za-z0-9_\-]{12,})re"),
        QStringLiteral(R"re(-----BEGIN (?:RSA |EC |OPENSSH )?PRIVATE KEY-----)re"),
        QStringLiteral(
            R"re((?i)(?:api[_-]?key|password|secret|token)[\t\n\f\r\p{Z}]*[:=][\t\n\f\r\p{Z}]*["']?[^\t\n\f\r\p{Z}"']{12,})re"),
    };
    return sources;
}

// One compiled set per thread: callers run on the main thread and on the workers, and a
// shared QRegularExpression is only documented as reentrant, not thread-safe.
const std::array<QRegularExpression, 3>& patterns()
{
    thread_local const std::array<QRegularExpression, 3> compiled = {
        QRegularExpression(patternSources()[0]),
        QRegularExpression(patternSources()[1]),
        QRegularExpression(patternSources()[2]),
    };
    return compiled;
}

// PCRE refuses to match a subject with an unpaired surrogate at all, which would let a token
// followed by one broken character pass unnoticed. Replacing each unpaired half with U+FFFD
// keeps every position and lets the patterns see the rest of the text.
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

bool looksLikeSecret(const QString& text)
{
    const QString subject = withPairedSurrogates(text);
    for (const QRegularExpression& pattern : patterns()) {
        if (pattern.match(subject).hasMatch())
            return true;
    }
    return false;
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
    // QString::trimmed() removes exactly Unicode white space and line breaks (Z*, tab, LF, VT,
    // FF, CR, NEL).
    if (text.trimmed().isEmpty())
        return false;
    // Counting stops being useful once the limit is passed; the code-unit length bounds the
    // character count from above, so short texts skip the segmentation.
    if (text.size() > maximumCharacters && characterCount(text) > maximumCharacters)
        return false;
    return !looksLikeSecret(text);
}

} // namespace qw::TextPolicy
