#pragma once

namespace qw::AXErrorCode {

// The error vocabulary of the accessibility adapter. Backends translate their platform's
// failures into these codes; diagnostics show them in decimal.
inline constexpr int success = 0;
inline constexpr int failure = -25200;
inline constexpr int illegalArgument = -25201;
inline constexpr int invalidElement = -25202;
inline constexpr int cannotComplete = -25204; // includes "the element did not answer in time"
inline constexpr int attributeUnsupported = -25205;
inline constexpr int notImplemented = -25208;
inline constexpr int apiDisabled = -25211;
inline constexpr int noValue = -25212;

} // namespace qw::AXErrorCode
