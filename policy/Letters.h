#pragma once

#include <QStringView>

namespace qw::Letters {

// Whether a code point is a letter or a mark of any script: what makes a text worth
// translating. Variation selectors and the combining keycap are marks only by category; they
// dress up digits and emoji, which are not words, so they do not count.
bool isLetter(char32_t codePoint);

// Whether the text holds at least one letter, reading surrogate pairs as one code point.
bool containsLetter(QStringView text);

} // namespace qw::Letters
