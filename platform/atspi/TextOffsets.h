#pragma once

#include <QString>
#include <optional>

namespace qw {

// How a toolkit counts offsets inside a text it exposes: GTK counts code points ("a😀b" has
// three characters), Qt counts UTF-16 units like the bridge does.
enum class OffsetUnit { codePoints, utf16 };

// Exact conversions between the bridge's UTF-16 indices and a toolkit's offsets. A UTF-16
// index inside a surrogate pair has no code-point equivalent and is refused rather than
// rounded: selecting half a character would make a later replacement cut it in two.
class TextOffsets {
public:
    static std::optional<int> toPlatform(const QString& text, qsizetype utf16Index, OffsetUnit unit);
    static std::optional<qsizetype> fromPlatform(const QString& text, int offset, OffsetUnit unit);
    // The number of offsets the toolkit counts in `text`.
    static int platformLength(const QString& text, OffsetUnit unit);
};

} // namespace qw
