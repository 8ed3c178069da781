#pragma once

namespace qw {

// Why the text policy lets a text through or not, for the callers that tell the user more than
// "protected".
enum class TextVerdict {
    allowed,
    blank,           // nothing but white space and line breaks
    tooLarge,        // more encoded text than any text of the longest allowed length holds
    looksLikeSecret, // a token, a private key, a password or key with its value
    tooLong,         // more characters than allowed, and nothing else wrong with it
};

} // namespace qw
