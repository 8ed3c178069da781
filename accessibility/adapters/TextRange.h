#pragma once

#include <QtGlobal>

namespace qw {

// A range inside a text in UTF-16 code units (QString indices), never characters: a
// character outside the basic plane counts as two.
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

} // namespace qw
