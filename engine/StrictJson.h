#pragma once

#include <QByteArrayView>

namespace qw::StrictJson {

// Whether `text` is one JSON text exactly as RFC 8259 defines it, in UTF-8. Qt's reader is
// lenient (it accepts invalid escapes, raw control characters in strings and numbers such as
// "1."), so a reply is checked here before Qt decodes it. Stricter than the RFC in two ways
// that no real server needs: an escaped surrogate must be part of a pair, and nesting ends at
// 512 levels.
bool isWellFormed(QByteArrayView text);

} // namespace qw::StrictJson
