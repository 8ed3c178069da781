#pragma once

#include <QByteArray>
#include <QStringList>
#include <optional>

namespace qw {

// Switches web-content accessibility on for the user's Chromium-based programs once and for
// all, without root: Debian's chromium wrapper reads flags only from /etc/chromium.d and resets
// CHROMIUM_FLAGS, and Chromium keeps no such setting in its profile, but a desktop entry in the
// user's own applications folder takes the place of the system's one for menus, launchers and
// `xdg-open`. Each such entry gets --force-renderer-accessibility after its program, and a key
// that says what was done, so that disable() takes back exactly that (a copy it made is
// removed, a flag it added to the user's own entry is taken out again).
class ChromiumLaunchOverrides {
public:
    static inline const QByteArray markerKey = "X-Quillweave-RendererAccessibility";

    struct Result {
        QStringList changed; // desktop-entry ids
        QStringList failed;
    };

    // `applicationDirectories`: the user's own first, then the system's (XDG order).
    explicit ChromiumLaunchOverrides(QStringList applicationDirectories, QStringList searchPath);
    // The XDG directories and PATH of this session.
    ChromiumLaunchOverrides();

    Result enable() const;
    Result disable() const;

    // The entry with the flag after the program of every Exec line and the marker; none when
    // it has no Exec line or already carries the flag.
    static std::optional<QByteArray> withFlag(const QByteArray& entry, bool copiedFromSystem);
    // The entry as it was before withFlag; an empty array when it was a copy (to be removed),
    // none when it does not carry the marker.
    static std::optional<QByteArray> withoutFlag(const QByteArray& entry);

private:
    bool launchesChromium(const QByteArray& entry) const;

    QStringList m_directories;
    QStringList m_searchPath;
};

} // namespace qw
