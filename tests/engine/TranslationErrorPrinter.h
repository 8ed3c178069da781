#pragma once

#include "engine/TranslationError.h"

#include <ostream>

namespace qw {

// Readable failure output: the kind, code and message instead of the object's bytes.
inline void PrintTo(const TranslationError& error, std::ostream* out)
{
    *out << "TranslationError(kind " << static_cast<int>(error.kind()) << ", code " << error.code() << ", \""
         << error.message().toStdString() << "\")";
}

} // namespace qw
