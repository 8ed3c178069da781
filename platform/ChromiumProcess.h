#pragma once

#include <QByteArray>
#include <QString>

namespace qw {

// Programs built on Chromium (Chromium, Chrome, Electron applications) put their web content on
// the accessibility bus only when started with --force-renderer-accessibility: without it their
// windows are on the bus but empty, and switching accessibility on while they run, or before a
// restart, does not change that (Debian 12, Chromium 120 and later).
class ChromiumProcess {
public:
    static inline const QString rendererAccessibilityFlag = QStringLiteral("--force-renderer-accessibility");

    // Whether the program at `executable` is built on Chromium: Chromium's resource pack ships
    // beside every such binary (/usr/lib/chromium, /opt/google/chrome, an Electron app's folder).
    static bool isChromiumProgram(const QString& executable);
    // Whether a command line (NUL-separated, as in /proc/<pid>/cmdline) carries the flag.
    static bool hasRendererAccessibilityFlag(const QByteArray& commandLine);
    // A running Chromium-based program that was started without the flag.
    static bool lacksRendererAccessibility(qint32 pid, const QString& procRoot = QStringLiteral("/proc"));
};

} // namespace qw
