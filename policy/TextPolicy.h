#pragma once

#include <QString>

namespace qw::TextPolicy {

// The longest text, in user-perceived characters (grapheme clusters), that may be sent or
// written back.
inline constexpr qsizetype maximumCharacters = 1800;

// Whether a text may be sent to a provider or written into another application: not blank,
// at most `maximumCharacters` characters (counted before trimming) and free of anything that
// looks like a token, a private key or a password assignment. Safe to call from any thread.
bool isAllowed(const QString& text);

// The number of user-perceived characters: an emoji of several code points counts once.
qsizetype characterCount(const QString& text);

} // namespace qw::TextPolicy
