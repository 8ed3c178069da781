#pragma once

#include <QString>
#include <QVariantMap>

namespace qw {

// What the installation says about the running program: its version, whether it was installed
// for one user or for the system, and the update metadata. Empty in a build tree.
struct ProgramMetadata {
    QVariantMap info;

    // Where an installed program finds its metadata: beside its bin/ folder.
    static QString pathBeside(const QString& applicationDir);
    // The metadata in `path`; empty when the file is missing or is not one JSON object.
    static ProgramMetadata read(const QString& path);

    // "CFBundleShortVersionString", or empty.
    QString shortVersion() const;
    // Installed by the system's package manager, which also brings its updates.
    bool systemInstallation() const;
};

} // namespace qw
