#include "platform/ChromiumLaunchOverrides.h"

#include "platform/ChromiumProcess.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;

const QByteArray flag = "--force-renderer-accessibility";

void write(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(absent)");
}

QByteArray entry(const QByteArray& execLines)
{
    return "[Desktop Entry]\nType=Application\nName=Browser\n" + execLines + "\n";
}

TEST(ChromiumLaunchOverridesTest, TheFlagGoesAfterTheProgramOfEveryExecLineAndComesOutAgain)
{
    struct Row {
        const char* situation;
        QByteArray exec;
        QByteArray flagged;
    };
    const Row rows[] = {
        {"Debian's chromium", "Exec=/usr/bin/chromium %U", "Exec=/usr/bin/chromium " + flag + " %U"},
        {"program quoted for its space", "Exec=\"/opt/My App/app\" --no-sandbox %U",
         "Exec=\"/opt/My App/app\" " + flag + " --no-sandbox %U"},
        {"behind env and a variable", "Exec=env ELECTRON_TRASH=gio /usr/share/code/code --unity-launch %F",
         "Exec=env ELECTRON_TRASH=gio /usr/share/code/code " + flag + " --unity-launch %F"},
        {"an action's line too", "Exec=chromium\n[Desktop Action new-window]\nExec=chromium --incognito",
         "Exec=chromium " + flag + "\n[Desktop Action new-window]\nExec=chromium " + flag + " --incognito"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        for (const bool copy : {true, false}) {
            const auto flagged = ChromiumLaunchOverrides::withFlag(entry(row.exec), copy);
            ASSERT_TRUE(flagged);
            EXPECT_TRUE(flagged->contains(row.flagged));
            // A copy is removed again; the user's own entry gets back exactly what it had.
            EXPECT_EQ(ChromiumLaunchOverrides::withoutFlag(*flagged), copy ? QByteArray() : entry(row.exec));
        }
    }
    // Entries that already carry the flag, or that never had it from us, are left as they are.
    EXPECT_FALSE(ChromiumLaunchOverrides::withFlag(entry("Exec=chromium " + flag), false));
    EXPECT_FALSE(ChromiumLaunchOverrides::withoutFlag(entry("Exec=chromium " + flag)));
}

TEST(ChromiumLaunchOverridesTest,
     EnableCoversInstalledChromiumProgramsInTheUsersFolderAndDisableTakesItAllBack)
{
    QTemporaryDir root;
    const QString own = root.filePath(u"home/applications"_s);
    const QString system = root.filePath(u"usr/applications"_s);
    // An Electron application: Chromium's resource pack beside its binary.
    const QString electron = root.filePath(u"opt/editor/editor"_s);
    write(electron, "#!/bin/sh\n");
    QFile::setPermissions(electron, QFile::ReadOwner | QFile::ExeOwner);
    write(root.filePath(u"opt/editor/chrome_100_percent.pak"_s), "pak");

    write(system + u"/chromium.desktop"_s, entry("Exec=/usr/bin/chromium %U"));
    write(system + u"/editor.desktop"_s, entry("Exec=" + electron.toUtf8() + " %F"));
    write(system + u"/firefox-esr.desktop"_s, entry("Exec=/usr/lib/firefox-esr/firefox-esr %u"));
    const QByteArray usersOwn = entry("Exec=google-chrome-stable --user-data-dir=/home/me/work %U");
    write(own + u"/google-chrome.desktop"_s, usersOwn);
    write(system + u"/google-chrome.desktop"_s, entry("Exec=google-chrome-stable %U"));

    const ChromiumLaunchOverrides overrides({own, system}, {});
    const auto enabled = overrides.enable();
    EXPECT_EQ(QSet<QString>(enabled.changed.begin(), enabled.changed.end()),
              (QSet<QString>{u"chromium"_s, u"editor"_s, u"google-chrome"_s}));
    EXPECT_TRUE(read(own + u"/chromium.desktop"_s).contains("Exec=/usr/bin/chromium " + flag + " %U"));
    EXPECT_TRUE(read(own + u"/google-chrome.desktop"_s).contains("--user-data-dir=/home/me/work"));
    EXPECT_FALSE(QFile::exists(own + u"/firefox-esr.desktop"_s));
    // Once is enough: a second run changes nothing in the files.
    const QByteArray once = read(own + u"/chromium.desktop"_s);
    EXPECT_EQ(overrides.enable().changed.size(), 3);
    EXPECT_EQ(read(own + u"/chromium.desktop"_s), once);

    EXPECT_EQ(overrides.disable().changed.size(), 3);
    EXPECT_EQ(QDir(own).entryList(QDir::Files), QStringList{u"google-chrome.desktop"_s});
    EXPECT_EQ(read(own + u"/google-chrome.desktop"_s), usersOwn);
    EXPECT_EQ(read(system + u"/chromium.desktop"_s), entry("Exec=/usr/bin/chromium %U"));
}

TEST(ChromiumLaunchOverridesTest, ARunningChromiumProgramWithoutTheFlagIsRecognised)
{
    QTemporaryDir root;
    const QString chromium = root.filePath(u"lib/chromium/chromium"_s);
    const QString other = root.filePath(u"lib/firefox/firefox"_s);
    write(chromium, "");
    write(root.filePath(u"lib/chromium/chrome_100_percent.pak"_s), "pak");
    write(other, "");
    struct Row {
        const char* situation;
        QString executable;
        QByteArray commandLine;
        bool lacks;
    };
    const Row rows[] = {
        {"started plainly", chromium, QByteArray("chromium\0file:///page.html", 25), true},
        {"with the flag", chromium, QByteArray("chromium\0", 9) + flag + QByteArray("\0", 1), false},
        {"with the flag and a mode", chromium, QByteArray("chromium\0", 9) + flag + "=complete", false},
        {"another program", other, "firefox", false},
    };
    int pid = 100;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.situation);
        const QString process = root.filePath(u"proc/"_s + QString::number(++pid));
        QDir().mkpath(process);
        QFile::link(row.executable, process + u"/exe"_s);
        write(process + u"/cmdline"_s, row.commandLine);
        EXPECT_EQ(ChromiumProcess::lacksRendererAccessibility(pid, root.filePath(u"proc"_s)), row.lacks);
    }
}

} // namespace
} // namespace qw
