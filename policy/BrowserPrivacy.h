#pragma once

#include <QString>
#include <QStringList>

namespace qw {
class UrlHandlerRegistry;
}

namespace qw::BrowserPrivacy {

// The browsers known by name, in the order they are checked.
const QStringList& knownBrowserBundleIDs();

// Whether an application is a web browser, which needs a second confirmation before it is
// allowed: a known browser (its id, or its id followed by "." and anything), or any
// application registered to open https URLs. Queries the registry; call on the main thread.
bool isBrowser(const QString& bundleID, const UrlHandlerRegistry& registry);

} // namespace qw::BrowserPrivacy
