#pragma once

#include <QStringList>

namespace qw {

// The platform's registry of applications, asked which of them open https URLs. On Linux the
// answer is the desktop-entry ids of the applications that handle x-scheme-handler/https.
class UrlHandlerRegistry {
public:
    virtual ~UrlHandlerRegistry() = default;

    // Application ids; entries that could not be identified are returned empty or left out.
    virtual QStringList applicationsOpeningHttpsUrls() const = 0;
};

} // namespace qw
