#pragma once

#include <QList>
#include <QString>

namespace qw::MatchingText {

// The text with each unpaired surrogate replaced by U+FFFD, every position kept: the
// regular-expression engine refuses to match a subject with one at all, which would let a
// token followed by one broken character pass unnoticed.
QString withPairedSurrogates(const QString& text);

// A text as the secret patterns read it, so that a secret cannot hide behind how it is
// written: surrogates paired as above, compatibility forms folded (NFKC: full-width "ｓｋ－"
// and "：" become "sk-" and ":"), and characters that are invisible by definition removed
// (zero-width and bidi marks, soft hyphens, variation selectors, tags, fillers). Only ever
// matched, never shown or sent.
QString normalized(const QString& text);

// A text with line breaks taken out, and where they were.
struct JoinedLines {
    QString text;
    QList<qsizetype> joints; // ascending positions in `text` where a break was taken out
};

// The text with every single line break that stands between two visible characters taken
// out, so that a token or a keyword wrapped over two lines can be read whole.
JoinedLines withWrappedLinesJoined(const QString& text);

// The text with the ASCII letters A to Z lower-cased and nothing else changed, so that
// patterns for what is a secret in any case can be written in lower case.
QString asciiLowerCased(const QString& text);

} // namespace qw::MatchingText
