#pragma once

#include "policy/TextVerdict.h"

#include <QString>

namespace qw::TextPolicy {

// The longest text, in user-perceived characters (grapheme clusters), that may be sent or
// written back.
inline constexpr qsizetype maximumCharacters = 1800;

// The most UTF-16 code units such a text may take. The longest character of real text is an
// emoji sequence: a kiss of two people with skin tones is ten code points in fifteen units.
// Sixteen units a character on average lets 1800 of those through, while a text that piles
// hundreds of combining marks on each character (1800 of them make megabytes) is refused
// before anything reads it closely. At most three UTF-8 bytes a unit bound a request's text
// to about 86 kB.
inline constexpr qsizetype maximumCodeUnits = 16 * maximumCharacters;

// Whether a text may be sent to a provider or written into another application: not blank,
// at most `maximumCharacters` characters (counted before trimming) in at most
// `maximumCodeUnits`, and free of anything that looks like a token, a private key or a
// password assignment. Safe to call from any thread.
bool isAllowed(const QString& text);

// The same decision with its reason; `allowed` exactly when `isAllowed` is true. A text that
// holds a secret is reported as such even when it is also too long, so `tooLong` means that
// shortening the text is all it takes. Slower than `isAllowed` on overlong texts, which it
// reads in full.
TextVerdict verdict(const QString& text);

// The number of user-perceived characters: an emoji of several code points counts once.
qsizetype characterCount(const QString& text);

} // namespace qw::TextPolicy
