#include "platform/atspi/TextOffsets.h"

namespace qw {

std::optional<int> TextOffsets::toPlatform(const QString& text, qsizetype utf16Index, OffsetUnit unit)
{
    if (utf16Index < 0 || utf16Index > text.size())
        return std::nullopt;
    if (unit == OffsetUnit::utf16)
        return int(utf16Index);
    if (utf16Index > 0 && utf16Index < text.size() && text.at(utf16Index).isLowSurrogate() &&
        text.at(utf16Index - 1).isHighSurrogate())
        return std::nullopt;
    int points = 0;
    for (qsizetype i = 0; i < utf16Index; ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        ++points;
    }
    return points;
}

std::optional<qsizetype> TextOffsets::fromPlatform(const QString& text, int offset, OffsetUnit unit)
{
    if (offset < 0)
        return std::nullopt;
    if (unit == OffsetUnit::utf16)
        return offset <= text.size() ? std::optional<qsizetype>(offset) : std::nullopt;
    qsizetype index = 0;
    for (int points = 0; points < offset; ++points) {
        if (index >= text.size())
            return std::nullopt;
        if (text.at(index).isHighSurrogate() && index + 1 < text.size() &&
            text.at(index + 1).isLowSurrogate())
            index += 2;
        else
            index += 1;
    }
    return index;
}

int TextOffsets::platformLength(const QString& text, OffsetUnit unit)
{
    if (unit == OffsetUnit::utf16)
        return int(text.size());
    return *toPlatform(text, text.size(), unit);
}

} // namespace qw
