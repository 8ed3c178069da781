#include "policy/BrowserPrivacy.h"

#include "policy/UrlHandlerRegistry.h"

namespace qw::BrowserPrivacy {

const QStringList& knownBrowserBundleIDs()
{
    static const QStringList ids = {
        QStringLiteral("com.apple.Safari"),           QStringLiteral("com.google.Chrome"),
        QStringLiteral("org.mozilla.firefox"),        QStringLiteral("com.microsoft.edgemac"),
        QStringLiteral("company.thebrowser.Browser"), QStringLiteral("com.brave.Browser"),
        QStringLiteral("com.operasoftware.Opera"),    QStringLiteral("com.vivaldi.Vivaldi"),
    };
    return ids;
}

bool isBrowser(const QString& bundleID, const UrlHandlerRegistry& registry)
{
    for (const QString& known : knownBrowserBundleIDs()) {
        if (bundleID == known || (bundleID.startsWith(known) && bundleID.mid(known.size()).startsWith(u'.')))
            return true;
    }
    if (bundleID.isEmpty())
        return false;
    // An application without an id comes back empty; it must never match anything.
    const QStringList handlers = registry.applicationsOpeningHttpsUrls();
    for (const QString& handler : handlers) {
        if (!handler.isEmpty() && handler == bundleID)
            return true;
    }
    return false;
}

} // namespace qw::BrowserPrivacy
