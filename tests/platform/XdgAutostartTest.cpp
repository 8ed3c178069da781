#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

class XdgAutostartTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return root.filePath(relative); }

    QString program(const QString& relative) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return file;
    }

    XdgAutostart backend(const QString& executable, const QString& desktop = {},
                         const QStringList& searchPath = {}) const
    {
        return XdgAutostart(
            {path(QStringLiteral("config")), path(QStringLiteral("home")), executable, desktop, searchPath});
    }

    QTemporaryDir root;
};

TEST_F(XdgAutostartTest, OnlyAnInstalledCopyCountsAsInstalled)
{
    const QString local = program(QStringLiteral("home/.local/bin/quillweave"));
    const QString built = program(QStringLiteral("home/.local/src/quillweave/build/quillweave"));
    QFile(path(QStringLiteral("home/.local/src/quillweave/build/CMakeCache.txt"))).open(QIODevice::WriteOnly);
    const QString linkToBuild = path(QStringLiteral("home/.local/bin/quillweave-dev"));
    QFile::link(built, linkToBuild);
    const QString elsewhere = program(QStringLiteral("downloads/quillweave"));
    struct Row {
        const char* situation;
        QString executable;
        bool installed;
    };
    const Row rows[] = {
        {"a system program", QStringLiteral("/usr/bin/env"), true},
        {"the user's ~/.local/bin", local, true},
        {"a build tree under ~/.local", built, false},
        {"a link in ~/.local/bin to a build tree", linkToBuild, false},
        {"a copy in some other folder", elsewhere, false},
        {"a program that is gone", path(QStringLiteral("home/.local/bin/gone")), false},
    };
    for (const Row& row : rows)
        EXPECT_EQ(backend(row.executable).isInstalledCopy(), row.installed) << row.situation;
}

// The entry's command is read back the way a session reads it: a path with spaces and shell
// characters still names the program, and a program that is gone is reported.
TEST_F(XdgAutostartTest, TheEntryNamesTheProgramEvenThroughQuotingAndReportsOneThatIsGone)
{
    const QString odd = program(QStringLiteral("home/.local/opt/Quill \"weave\" $HOME\\/quillweave"));
    XdgAutostart autostart = backend(odd);
    QDir().mkpath(QFileInfo(autostart.entryPath()).path());
    QFile entry(autostart.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    entry.write(XdgAutostart::entryFor(odd));
    entry.close();
    EXPECT_EQ(autostart.status(), LoginItemStatus::enabled);

    ASSERT_TRUE(QFile::remove(odd));
    EXPECT_EQ(autostart.status(), LoginItemStatus::notFound);
}

TEST_F(XdgAutostartTest, TheDesktopsOwnAutostartSettingsAreOfferedWhereTheyExist)
{
    const QString tools = path(QStringLiteral("tools"));
    program(QStringLiteral("tools/systemsettings5"));
    program(QStringLiteral("tools/gnome-tweaks"));
    const QString empty = path(QStringLiteral("empty"));
    struct Row {
        const char* situation;
        QString desktop;
        QString searchPath;
        bool folderExists;
        bool canOpen;
    };
    const Row rows[] = {
        {"KDE with its settings", QStringLiteral("KDE"), tools, false, true},
        {"GNOME with Tweaks", QStringLiteral("ubuntu:GNOME"), tools, false, true},
        {"GNOME without Tweaks, no folder", QStringLiteral("GNOME"), empty, false, false},
        {"another desktop, the folder", QStringLiteral("XFCE"), tools, true, true},
        {"another desktop, no folder", QStringLiteral("XFCE"), tools, false, false},
    };
    for (const Row& row : rows) {
        QDir(path(QStringLiteral("config"))).removeRecursively();
        if (row.folderExists)
            QDir().mkpath(path(QStringLiteral("config/autostart")));
        EXPECT_EQ(backend(QString(), row.desktop, {row.searchPath}).canOpenSystemSettings(), row.canOpen)
            << row.situation;
    }
}

} // namespace
} // namespace qw
