#pragma once

#include "accessibility/AXAccessGeneration.h"

#include <memory>

namespace qw {

// Permission to read or write for as long as the access generation has not moved since the
// permit was issued.
struct AXReadPermit {
    std::shared_ptr<const AXAccessGeneration> generation;
    quint64 token = 0;

    static AXReadPermit issue(const std::shared_ptr<const AXAccessGeneration>& generation)
    {
        return AXReadPermit{generation, generation->current()};
    }

    bool isValid() const { return !generation || generation->current() == token; }
};

} // namespace qw
