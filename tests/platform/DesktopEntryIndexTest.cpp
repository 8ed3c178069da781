#include "platform/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_user.isValid() && m_system.isValid());
        write(m_system, QStringLiteral("org.xfce.mousepad.desktop"),
              "[Desktop Entry]\nType=Application\nName=Mousepad\nName[zh_CN]=鼠标垫\nExec=mousepad %U\n");
        write(
            m_system, QStringLiteral("firefox-esr.desktop"),
            "[Desktop Entry]\nType=Application\nName=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\n"
            "StartupWMClass=Firefox-esr\nMimeType=text/html;x-scheme-handler/https;\n");
        write(m_system, QStringLiteral("python3.11.desktop"),
              "[Desktop Entry]\nType=Application\nName=Python "
              "(v3.11)\nExec=/usr/bin/python3.11\nTerminal=true\n");
        write(m_system, QStringLiteral("kde/konsole.desktop"),
              "[Desktop Entry]\nType=Application\nName=Konsole\nExec=env LANG=C konsole\n");
        write(m_system, QStringLiteral("hidden-browser.desktop"),
              "[Desktop Entry]\nType=Application\nName=Old\nExec=old\nMimeType=x-scheme-handler/https;\n");
        // The user's copy hides the system's entry of the same id.
        write(m_user, QStringLiteral("hidden-browser.desktop"), "[Desktop Entry]\nName=Old\nHidden=true\n");
    }

    static void write(const QTemporaryDir& dir, const QString& name, const QByteArray& content)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    DesktopEntryIndex index() const { return DesktopEntryIndex({m_user.path(), m_system.path()}); }

    QTemporaryDir m_user;
    QTemporaryDir m_system;
};

TEST_F(DesktopEntryIndexTest, WindowsAreMatchedToTheirEntries)
{
    const DesktopEntryIndex entries = index();
    struct Row {
        const char* situation;
        WindowIdentity window;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {"GTK application id",
         {QStringLiteral("org.xfce.mousepad"), {}, {}, {}},
         QStringLiteral("org.xfce.mousepad")},
        {"WM_CLASS as the last part of an id",
         {{}, QStringLiteral("mousepad"), QStringLiteral("Mousepad"), {}},
         QStringLiteral("org.xfce.mousepad")},
        {"StartupWMClass",
         {{}, QStringLiteral("Navigator"), QStringLiteral("Firefox-esr"), {}},
         QStringLiteral("firefox-esr")},
        {"executable named by Exec behind env",
         {{}, {}, {}, QStringLiteral("/usr/bin/konsole")},
         QStringLiteral("kde-konsole")},
        {"an interpreter's terminal entry is not the program",
         {{}, {}, {}, QStringLiteral("/usr/bin/python3.11")},
         std::nullopt},
        {"nothing known",
         {QStringLiteral("org.example.None"), QStringLiteral("none"), QStringLiteral("None"), {}},
         std::nullopt},
    };
    for (const Row& row : rows) {
        const auto entry = entries.resolve(row.window);
        EXPECT_EQ(entry ? std::optional<QString>(entry->id) : std::nullopt, row.expected) << row.situation;
    }
}

TEST_F(DesktopEntryIndexTest, NamesFollowTheLocale)
{
    const auto entry = index().entry(QStringLiteral("org.xfce.mousepad"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->nameFor(QStringLiteral("zh_CN")), QStringLiteral("鼠标垫"));
    EXPECT_EQ(entry->nameFor(QStringLiteral("de_DE")), QStringLiteral("Mousepad"));
}

TEST_F(DesktopEntryIndexTest, HttpsHandlersSkipHiddenEntries)
{
    EXPECT_EQ(index().httpsHandlers(), QStringList{QStringLiteral("firefox-esr")});
}

TEST_F(DesktopEntryIndexTest, NewEntriesAreSeenWithoutRestarting)
{
    const DesktopEntryIndex entries = index();
    EXPECT_FALSE(entries.entry(QStringLiteral("org.example.New")));
    write(m_user, QStringLiteral("org.example.New.desktop"), "[Desktop Entry]\nName=New\nExec=new\n");
    EXPECT_TRUE(entries.entry(QStringLiteral("org.example.New")));
}

TEST(DesktopEntryParsing, OnlyTheMainGroupCountsAndEscapesAreDecoded)
{
    const auto entry = DesktopEntryIndex::parse(
        QStringLiteral("x"),
        "# comment\n[Desktop Entry]\nName=Two\\sWords\nExec=x\n[Desktop Action new]\nName=Not this\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, QStringLiteral("Two Words"));
    EXPECT_FALSE(DesktopEntryIndex::parse(QStringLiteral("x"), "[Desktop Entry]\nType=Link\nName=L\n"));
    EXPECT_FALSE(DesktopEntryIndex::parse(QStringLiteral("x"), "Name=No group\n"));
}

} // namespace
} // namespace qw
