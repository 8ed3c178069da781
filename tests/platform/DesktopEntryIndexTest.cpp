#include "platform/DesktopEntryIndex.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::StringLiterals;

class DesktopEntryIndexTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_user.isValid() && m_system.isValid());
        write(m_system, u"org.xfce.mousepad.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=Mousepad\nName[zh_CN]=鼠标垫\nExec=mousepad %U\n");
        write(
            m_system, u"firefox-esr.desktop"_s,
            "[Desktop Entry]\nType=Application\nName=Firefox ESR\nExec=/usr/lib/firefox-esr/firefox-esr %u\n"
            "StartupWMClass=Firefox-esr\nMimeType=text/html;x-scheme-handler/https;\n");
        write(m_system, u"python3.11.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=Python "
              "(v3.11)\nExec=/usr/bin/python3.11\nTerminal=true\n");
        write(m_system, u"kde/konsole.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=Konsole\nExec=env LANG=C konsole\n");
        write(m_system, u"hidden-browser.desktop"_s,
              "[Desktop Entry]\nType=Application\nName=Old\nExec=old\nMimeType=x-scheme-handler/https;\n");
        // The user's copy hides the system's entry of the same id.
        write(m_user, u"hidden-browser.desktop"_s, "[Desktop Entry]\nName=Old\nHidden=true\n");
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
        {"GTK application id", {u"org.xfce.mousepad"_s, {}, {}, {}}, u"org.xfce.mousepad"_s},
        {"WM_CLASS as the last part of an id",
         {{}, u"mousepad"_s, u"Mousepad"_s, {}},
         u"org.xfce.mousepad"_s},
        {"StartupWMClass", {{}, u"Navigator"_s, u"Firefox-esr"_s, {}}, u"firefox-esr"_s},
        {"executable named by Exec behind env", {{}, {}, {}, u"/usr/bin/konsole"_s}, u"kde-konsole"_s},
        {"an interpreter's terminal entry is not the program",
         {{}, {}, {}, u"/usr/bin/python3.11"_s},
         std::nullopt},
        {"nothing known", {u"org.example.None"_s, u"none"_s, u"None"_s, {}}, std::nullopt},
    };
    for (const Row& row : rows) {
        const auto entry = entries.resolve(row.window);
        EXPECT_EQ(entry ? std::optional<QString>(entry->id) : std::nullopt, row.expected) << row.situation;
    }
}

// Names follow the locale; https handlers skip hidden entries; new entries are seen at once.
TEST_F(DesktopEntryIndexTest, NamesHandlersAndNewEntries)
{
    const DesktopEntryIndex entries = index();
    const auto mousepad = entries.entry(u"org.xfce.mousepad"_s);
    ASSERT_TRUE(mousepad);
    EXPECT_EQ(mousepad->nameFor(u"zh_CN"_s), u"鼠标垫"_s);
    EXPECT_EQ(mousepad->nameFor(u"de_DE"_s), u"Mousepad"_s);
    EXPECT_EQ(entries.httpsHandlers(), QStringList{u"firefox-esr"_s});
    EXPECT_FALSE(entries.entry(u"org.example.New"_s));
    write(m_user, u"org.example.New.desktop"_s, "[Desktop Entry]\nName=New\nExec=new\n");
    EXPECT_TRUE(entries.entry(u"org.example.New"_s));
}

TEST(DesktopEntryParsing, OnlyTheMainGroupCountsAndEscapesAreDecoded)
{
    const auto entry = DesktopEntryIndex::parse(
        u"x"_s,
        "# comment\n[Desktop Entry]\nName=Two\\sWords\nExec=x\n[Desktop Action new]\nName=Not this\n");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, u"Two Words"_s);
    EXPECT_FALSE(DesktopEntryIndex::parse(u"x"_s, "[Desktop Entry]\nType=Link\nName=L\n"));
    EXPECT_FALSE(DesktopEntryIndex::parse(u"x"_s, "Name=No group\n"));

    // A name that decodes to blanks would list the application without a name.
    EXPECT_FALSE(DesktopEntryIndex::parse(u"x"_s, "[Desktop Entry]\nName=\\s\nExec=x\n"));
    const auto blankTranslation =
        DesktopEntryIndex::parse(u"x"_s, "[Desktop Entry]\nName=Shown\nName[zh_CN]=\\s\nExec=x\n");
    ASSERT_TRUE(blankTranslation);
    EXPECT_EQ(blankTranslation->nameFor(u"zh_CN"_s), u"Shown"_s);
}

} // namespace
} // namespace qw
