#include "settings/LoginStartup.h"

#include "platform/JsonFileSettingsStore.h"
#include "platform/XdgAutostart.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

// Login start over the real autostart backend in a temporary home: the user sees the label and
// the message, the desktop sees the entry file.
class LoginStartupTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return root.filePath(relative); }

    QString program(const QString& relative) const
    {
        QDir().mkpath(QFileInfo(path(relative)).path());
        QFile file(path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        return QFileInfo(file).canonicalFilePath();
    }

    XdgAutostart::Environment environment(const QString& executable) const
    {
        return {path(QStringLiteral("config")), path(QStringLiteral("home")), executable, QString(), {}};
    }

    QByteArray entry() const
    {
        QFile file(backend.entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeEntry(const QByteArray& content) const
    {
        QDir().mkpath(QFileInfo(backend.entryPath()).path());
        QFile file(backend.entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static void finishChange() { QCoreApplication::processEvents(); }

    QTemporaryDir root;
    test::InterfaceLanguageScope english{InterfaceLanguage::english};
    QString installed = program(QStringLiteral("home/.local/bin/quillweave"));
    XdgAutostart backend{environment(installed)};
    test::VirtualTime time;
    JsonFileSettingsStore defaults{path(QStringLiteral("settings.json")), time};
};

TEST_F(LoginStartupTest, TurningOnWritesTheEntryOnceAndTurningOffRemovesIt)
{
    LoginStartup startup(backend, defaults);
    EXPECT_EQ(startup.label(), QStringLiteral("Off"));

    startup.setEnabled(true);
    EXPECT_TRUE(startup.busy());
    startup.setEnabled(false); // while the first change is in flight: ignored
    finishChange();
    EXPECT_FALSE(startup.busy());
    EXPECT_EQ(startup.label(), QStringLiteral("On"));
    const QString content = QString::fromUtf8(entry());
    EXPECT_TRUE(content.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n")))
        << qPrintable(content);
    EXPECT_TRUE(content.contains(QStringLiteral("\nExec=") + installed + QStringLiteral(" --autostart\n")))
        << qPrintable(content);
    EXPECT_EQ(QDir(QFileInfo(backend.entryPath()).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("org.quillweave.Quillweave.desktop")})
        << "no temporary file left";

    startup.setEnabled(false);
    finishChange();
    EXPECT_FALSE(QFileInfo::exists(backend.entryPath()));
    EXPECT_EQ(startup.status(), LoginItemStatus::notRegistered);
}

// The user's own switch in the desktop's settings is reported and never overridden; switching
// it back on there is seen at the next refresh.
TEST_F(LoginStartupTest, AnEntryTheUserSwitchedOffIsReportedAndKept)
{
    const std::tuple<QByteArray, LoginItemStatus, QString> rows[] = {
        {"Hidden=true\n", LoginItemStatus::requiresApproval,
         QStringLiteral("Turned off in the desktop's autostart settings")},
        {"X-GNOME-Autostart-enabled=false\n", LoginItemStatus::requiresApproval,
         QStringLiteral("Turned off in the desktop's autostart settings")},
        {"Hidden=false\n", LoginItemStatus::enabled, QStringLiteral("On")},
    };
    for (const auto& [userLine, status, label] : rows) {
        writeEntry(QByteArray(XdgAutostart::entryFor(installed))
                       .replace("X-GNOME-Autostart-enabled=true\n", userLine));
        const QByteArray edited = entry();
        LoginStartup startup(backend, defaults);
        startup.setEnabled(true);
        finishChange();
        EXPECT_EQ(startup.label(), label) << userLine.constData();
        EXPECT_EQ(startup.errorMessage(), QString()) << userLine.constData();
        if (status == LoginItemStatus::requiresApproval) {
            EXPECT_EQ(entry(), edited) << userLine.constData();
        }
    }
}

TEST_F(LoginStartupTest, ACopyThatIsNotInstalledIsNeverStartedAtLoginButCanTurnItOff)
{
    const QString built = program(QStringLiteral("src/build/quillweave"));
    QFile(path(QStringLiteral("src/build/CMakeCache.txt"))).open(QIODevice::WriteOnly);
    XdgAutostart buildTree(environment(built));
    LoginStartup startup(buildTree, defaults);

    startup.setEnabled(true);
    EXPECT_FALSE(startup.busy());
    finishChange();
    EXPECT_EQ(startup.errorMessage(),
              QStringLiteral("Install Quillweave first (a copy in a build folder cannot "
                             "start at login), then turn on start at login"));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("config/autostart")))) << "nothing touched";

    writeEntry(XdgAutostart::entryFor(installed)); // left by an installed copy
    startup.setEnabled(false);
    finishChange();
    EXPECT_FALSE(QFileInfo::exists(backend.entryPath()));
    EXPECT_EQ(startup.errorMessage(), QString());
}

// A failed change shows the one message and whatever the desktop holds afterwards.
TEST_F(LoginStartupTest, AChangeTheFolderDoesNotTakeShowsTheMessageAndTheStatusReadAgain)
{
    const QString folder = path(QStringLiteral("config/autostart"));
    const std::tuple<bool, std::function<void()>, LoginItemStatus> rows[] = {
        {true, [&] { QFile(folder).open(QIODevice::WriteOnly); }, LoginItemStatus::notRegistered},
        {false, [&] { QDir().mkpath(backend.entryPath() + QStringLiteral("/stuck")); },
         LoginItemStatus::notFound},
    };
    for (const auto& [enable, block, after] : rows) {
        QFile::remove(folder);
        QDir(folder).removeRecursively();
        QDir().mkpath(path(QStringLiteral("config")));
        LoginStartup startup(backend, defaults);
        block();
        startup.setEnabled(enable);
        finishChange();
        EXPECT_EQ(startup.errorMessage(),
                  QStringLiteral("Could not update start at login. Check the permissions "
                                 "of the autostart folder (~/.config/autostart)."));
        EXPECT_EQ(startup.status(), after) << "enable " << enable;
    }
}

} // namespace
} // namespace qw
