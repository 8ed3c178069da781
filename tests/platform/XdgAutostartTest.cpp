#include "platform/XdgAutostart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::Literals::StringLiterals;

class XdgAutostartTest : public ::testing::Test {
protected:
    QString program(const QString& relative) const
    {
        const QString file = root.filePath(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        return file;
    }

    XdgAutostart backend(const QString& executable, const QString& desktop = {}) const
    {
        return XdgAutostart({root.filePath(u"config"_s),
                             root.filePath(u"home"_s),
                             executable,
                             desktop,
                             {root.filePath(u"tools"_s)}});
    }

    QTemporaryDir root;
};

TEST_F(XdgAutostartTest, OnlyAnInstalledCopyCountsAsInstalled)
{
    const QString built = program(u"home/.local/src/quillweave/build/quillweave"_s);
    QFile(root.filePath(u"home/.local/src/quillweave/build/CMakeCache.txt"_s)).open(QIODevice::WriteOnly);
    QFile::link(built, root.filePath(u"home/.local/bin/quillweave-dev"_s));
    const std::pair<QString, bool> rows[] = {
        {u"/usr/bin/env"_s, true},
        {program(u"home/.local/bin/quillweave"_s), true},
        {built, false},                                              // a build tree under ~/.local
        {root.filePath(u"home/.local/bin/quillweave-dev"_s), false}, // a link into a build tree
        {program(u"downloads/quillweave"_s), false},
        {root.filePath(u"home/.local/bin/gone"_s), false},
    };
    for (const auto& [executable, installed] : rows)
        EXPECT_EQ(backend(executable).isInstalledCopy(), installed) << qPrintable(executable);
}

// The command is read back the way a session reads it: a path with spaces, quotes and shell
// characters still names the program, and a program that is gone is reported.
TEST_F(XdgAutostartTest, TheEntryNamesItsProgramThroughQuotingAndReportsOneThatIsGone)
{
    const QString odd = program(u"home/.local/opt/Quill \"weave\" $HOME\\/100%f/quillweave"_s);
    XdgAutostart autostart = backend(odd);
    QDir().mkpath(QFileInfo(autostart.entryPath()).path());
    QFile entry(autostart.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    const QByteArray text = XdgAutostart::entryFor(odd);
    entry.write(text);
    entry.close();
    // A lone "%f" would be a field code the session replaces with file names.
    EXPECT_TRUE(text.contains("/100%%f/")) << text.constData();
    EXPECT_EQ(autostart.status(), LoginItemStatus::enabled);

    ASSERT_TRUE(QFile::remove(odd));
    EXPECT_EQ(autostart.status(), LoginItemStatus::notFound);
}

// An update replaces the version folder the program runs from: the entry starts the stable link,
// and a version folder without it is no installation.
TEST_F(XdgAutostartTest, AVersionedInstallationIsStartedThroughItsStableLink)
{
    const QString prefix = root.filePath(u"apps"_s);
    const QString running = program(u"apps/lib/quillweave/versions/0.4.0/bin/quillweave"_s);
    const QString orphan = program(u"elsewhere/lib/quillweave/versions/0.4.0/bin/quillweave"_s);
    QFile::link(u"versions/0.4.0"_s, prefix + u"/lib/quillweave/current"_s);
    QDir().mkpath(prefix + u"/bin"_s);
    QFile::link(u"../lib/quillweave/current/bin/quillweave"_s, prefix + u"/bin/quillweave"_s);

    EXPECT_FALSE(backend(orphan).isInstalledCopy());
    XdgAutostart autostart = backend(running);
    EXPECT_TRUE(autostart.isInstalledCopy());
    ASSERT_TRUE(autostart.registerItem());
    QFile entry(autostart.entryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains("\nExec=" + prefix.toUtf8() + "/bin/quillweave --autostart\n"));
    EXPECT_EQ(autostart.status(), LoginItemStatus::enabled);
}

// The desktop's own autostart settings where it has them, else the folder, else nothing.
TEST_F(XdgAutostartTest, TheDesktopsAutostartSettingsAreOfferedOnlyWhereTheyExist)
{
    program(u"tools/systemsettings5"_s);
    const std::tuple<QString, bool, bool> rows[] = {
        {u"KDE"_s, false, true},
        {u"ubuntu:GNOME"_s, false, false}, // no GNOME Tweaks installed
        {u"XFCE"_s, true, true},
    };
    for (const auto& [desktop, folderExists, canOpen] : rows) {
        if (folderExists)
            QDir().mkpath(root.filePath(u"config/autostart"_s));
        EXPECT_EQ(backend(QString(), desktop).canOpenSystemSettings(), canOpen) << qPrintable(desktop);
    }
}

} // namespace
} // namespace qw
