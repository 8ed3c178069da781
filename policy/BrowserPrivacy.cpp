#include "policy/BrowserPrivacy.h"

#include "policy/UrlHandlerRegistry.h"

namespace qw::BrowserPrivacy {

const QStringList& knownBrowserBundleIDs()
{
    static const QStringList ids = {
        // The browsers' own application ids; Chrome, Firefox, Brave and Vivaldi use the same ones
        // for their Flatpaks.
        QStringLiteral("com.apple.Safari"),
        QStringLiteral("com.google.Chrome"),
        QStringLiteral("org.mozilla.firefox"),
        QStringLiteral("com.microsoft.edgemac"),
        QStringLiteral("company.thebrowser.Browser"),
        QStringLiteral("com.brave.Browser"),
        QStringLiteral("com.operasoftware.Opera"),
        QStringLiteral("com.vivaldi.Vivaldi"),
        // The desktop-entry ids the Linux packages install (Debian and the vendors' own
        // repositories, Snap's "name_app"), then the remaining Flatpak ids.
        QStringLiteral("firefox"),
        QStringLiteral("firefox-esr"),
        QStringLiteral("firefox_firefox"),
        QStringLiteral("chromium"),
        QStringLiteral("chromium-browser"),
        QStringLiteral("chromium_chromium"),
        QStringLiteral("google-chrome"),
        QStringLiteral("google-chrome-beta"),
        QStringLiteral("google-chrome-unstable"),
        QStringLiteral("brave-browser"),
        QStringLiteral("brave-browser-beta"),
        QStringLiteral("brave-browser-nightly"),
        QStringLiteral("microsoft-edge"),
        QStringLiteral("microsoft-edge-beta"),
        QStringLiteral("microsoft-edge-dev"),
        QStringLiteral("vivaldi-stable"),
        QStringLiteral("vivaldi-snapshot"),
        QStringLiteral("opera"),
        QStringLiteral("opera-beta"),
        QStringLiteral("opera-developer"),
        QStringLiteral("org.gnome.Epiphany"),
        QStringLiteral("epiphany"),
        QStringLiteral("librewolf"),
        QStringLiteral("torbrowser"),
        QStringLiteral("start-tor-browser"),
        QStringLiteral("org.chromium.Chromium"),
        QStringLiteral("com.microsoft.Edge"),
        QStringLiteral("com.opera.Opera"),
        QStringLiteral("io.gitlab.librewolf-community"),
        QStringLiteral("org.torproject.torbrowser-launcher"),
        QStringLiteral("com.github.micahflee.torbrowser-launcher"),
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
