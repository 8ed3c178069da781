#pragma once

#include <QString>

namespace qw {

// An application as the bubble, the menu and the confirmations name it.
struct TranslationApplication {
    QString bundleID; // desktop-entry id without ".desktop"
    QString name;     // display name

    friend bool operator==(const TranslationApplication&, const TranslationApplication&) = default;
};

} // namespace qw
