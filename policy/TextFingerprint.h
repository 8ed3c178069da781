#pragma once

#include <QString>

namespace qw::TextFingerprint {

// A deterministic digest of a text, so that a text already handled can be recognised without
// keeping the text: the SHA-256 of its UTF-8 bytes as 64 lower-case hexadecimal digits.
QString of(const QString& text);

} // namespace qw::TextFingerprint
