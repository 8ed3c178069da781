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

// Login start over the real autostart backend, in a temporary home: what the user sees is the
// label and the message, what the desktop sees is the entry file.
class LoginStartupTest : public ::testing::Test {
protected:
    QString path(const QString& relative) const { return root.filePath(relative); }

    // A program file at `relative`, executable.
    QString program(const QString& relative) const
    {
        const QString file = path(relative);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
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

TEST_F(LoginStartupTest, TurningOnWritesAnEntryThatStartsTheInstalledProgramAndTurningOffRemovesIt)
{
    LoginStartup startup(backend, defaults);
    EXPECT_EQ(startup.label(), QStringLiteral("Off"));

    startup.setEnabled(true);
    EXPECT_TRUE(startup.busy());
    finishChange();
    EXPECT_FALSE(startup.busy());
    EXPECT_EQ(startup.status(), LoginItemStatus::enabled);
    EXPECT_EQ(startup.label(), QStringLiteral("On"));
    EXPECT_EQ(startup.errorMessage(), QString());
    const QString content = QString::fromUtf8(entry());
    EXPECT_TRUE(content.startsWith(QStringLiteral("[Desktop Entry]\nType=Application\n")))
        << content.toStdString();
    EXPECT_TRUE(content.contains(QStringLiteral("\nExec=") + installed + QStringLiteral(" --autostart\n")))
        << content.toStdString();
    EXPECT_EQ(QDir(QFileInfo(backend.entryPath()).path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("org.quillweave.Quillweave.desktop")})
        << "written in place, no temporary file left";

    startup.setEnabled(false);
    finishChange();
    EXPECT_FALSE(QFileInfo::exists(backend.entryPath()));
    EXPECT_EQ(startup.status(), LoginItemStatus::notRegistered);
}

// The user's own switch in the desktop's settings is reported, and turning login start on
// from here never overrides it; switching it back in the desktop is seen at the next refresh.
TEST_F(LoginStartupTest, AnEntryTheUserSwitchedOffIsReportedAndNeverOverridden)
{
    struct Row {
        const char* situation;
        QByteArray userLine;
        LoginItemStatus status;
    };
    const Row rows[] = {
        {"hidden by the desktop", "Hidden=true\n", LoginItemStatus::requiresApproval},
        {"GNOME's switch off", "X-GNOME-Autostart-enabled=false\n", LoginItemStatus::requiresApproval},
        {"switched back on", "Hidden=false\n", LoginItemStatus::enabled},
    };
    for (const Row& row : rows) {
        LoginStartup startup(backend, defaults);
        startup.setEnabled(true);
        finishChange();
        const QByteArray edited =
            QByteArray(entry()).replace("X-GNOME-Autostart-enabled=true\n", row.userLine);
        writeEntry(edited);

        startup.refresh();
        EXPECT_EQ(startup.status(), row.status) << row.situation;
        startup.setEnabled(true);
        finishChange();
        EXPECT_EQ(startup.status(), row.status) << row.situation;
        EXPECT_EQ(startup.errorMessage(), QString()) << row.situation;
        if (row.status == LoginItemStatus::requiresApproval) {
            EXPECT_EQ(entry(), edited) << row.situation;
            EXPECT_EQ(startup.label(), QStringLiteral("Turned off in the desktop's autostart settings"));
        }
        ASSERT_TRUE(QFile::remove(backend.entryPath()));
    }
}

TEST_F(LoginStartupTest, ACopyThatIsNotInstalledIsNotStartedAtLoginButCanTurnItOff)
{
    const QString built = program(QStringLiteral("src/build/quillweave"));
    QFile(path(QStringLiteral("src/build/CMakeCache.txt"))).open(QIODevice::WriteOnly);
    XdgAutostart buildTree(environment(built));
    LoginStartup startup(buildTree, defaults);

    for (const auto& [language, message] :
         {std::pair{InterfaceLanguage::english,
                    QStringLiteral("Install Quillweave first (a copy in a build folder cannot start at "
                                   "login), then turn on start at login")},
          std::pair{InterfaceLanguage::chinese,
                    QStringLiteral("请先安装织语（构建目录中的副本不能随登录启动），再开启登录启动")}}) {
        test::InterfaceLanguageScope scope(language);
        startup.setEnabled(true);
        EXPECT_FALSE(startup.busy());
        EXPECT_EQ(startup.errorMessage(), message);
    }
    finishChange();
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("config/autostart")))) << "nothing touched";

    // An entry left by an installed copy is removed from here all the same.
    writeEntry(XdgAutostart::entryFor(installed));
    startup.refresh();
    startup.setEnabled(false);
    finishChange();
    EXPECT_FALSE(QFileInfo::exists(backend.entryPath()));
    EXPECT_EQ(startup.errorMessage(), QString());
}

// A failed change shows the one message and whatever the desktop holds afterwards.
TEST_F(LoginStartupTest, AChangeTheFolderDoesNotTakeShowsTheMessageAndTheStatusReadAgain)
{
    struct Row {
        const char* situation;
        bool enable;
        std::function<void()> block;
        LoginItemStatus after;
    };
    const QString folder = path(QStringLiteral("config/autostart"));
    const Row rows[] = {
        {"the autostart folder is a file", true, [&] { QFile(folder).open(QIODevice::WriteOnly); },
         LoginItemStatus::notRegistered},
        {"the entry cannot be removed", false,
         [&] { QDir().mkpath(backend.entryPath() + QStringLiteral("/stuck")); }, LoginItemStatus::notFound},
    };
    for (const Row& row : rows) {
        QFile::remove(folder);
        QDir(folder).removeRecursively();
        QDir().mkpath(path(QStringLiteral("config")));
        LoginStartup startup(backend, defaults);
        row.block();
        startup.setEnabled(row.enable);
        finishChange();
        EXPECT_EQ(startup.errorMessage(),
                  QStringLiteral("Could not update start at login. Check the permissions of the autostart "
                                 "folder (~/.config/autostart)."))
            << row.situation;
        EXPECT_EQ(startup.status(), row.after) << row.situation;
        EXPECT_FALSE(startup.busy()) << row.situation;
    }
}

TEST_F(LoginStartupTest, ASecondChangeWhileOneIsInFlightIsIgnored)
{
    LoginStartup startup(backend, defaults);
    int changes = 0;
    QObject::connect(&startup, &LoginStartup::changed, [&] { ++changes; });
    startup.setEnabled(true);
    startup.setEnabled(false);
    finishChange();
    EXPECT_EQ(startup.status(), LoginItemStatus::enabled);
    EXPECT_TRUE(QFileInfo::exists(backend.entryPath()));
    EXPECT_EQ(changes, 2) << "busy, then done";
}

TEST_F(LoginStartupTest, ADismissedSuggestionStaysDismissedAfterARestart)
{
    {
        LoginStartup startup(backend, defaults);
        EXPECT_FALSE(startup.dismissed());
        ASSERT_TRUE(startup.setDismissed(true));
    }
    JsonFileSettingsStore reopened(path(QStringLiteral("settings.json")), time);
    const LoginStartup restarted(backend, reopened);
    EXPECT_TRUE(restarted.dismissed());
    EXPECT_EQ(reopened.boolValue(QStringLiteral("loginGuidanceDismissed")), true);
}

} // namespace
} // namespace qw
