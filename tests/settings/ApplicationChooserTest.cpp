#include "settings/ApplicationChooser.h"

#include "platform/DesktopApplications.h"
#include "platform/DesktopEntryIndex.h"
#include "tests/support/InterfaceLanguageScope.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace qw {
namespace {

// The chooser over real desktop entries in a temporary data folder.
class ApplicationChooserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        entry("org.gnome.TextEditor",
              "Name=Text Editor\nName[zh_CN]=文本编辑器\nIcon=org.gnome.TextEditor\n");
        entry("firefox-esr", "Name=Firefox ESR\nName[zh_CN]=Firefox ESR 浏览器\n");
        entry("kde/org.kde.kate", "Name=Kate\n"); // in a subfolder: id "kde-org.kde.kate"
        entry("htop", "Name=Htop\nTerminal=true\n");
        entry("nm-applet", "Name=Network\nNoDisplay=true\n");
        entry("gone", "Name=Gone\nHidden=true\n");
        entry("org.quillweave.Quillweave", "Name=Quillweave\n");
    }

    void entry(const QString& id, const QByteArray& keys)
    {
        const QString file = root.filePath(id + QStringLiteral(".desktop"));
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write("[Desktop Entry]\nType=Application\nExec=true\n" + keys);
    }

    // Opened the way the settings window opens it, window-modal on a shown window.
    ApplicationChooser* open()
    {
        auto* chooser = new ApplicationChooser(applications, &window);
        chooser->open();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(chooser));
        return chooser;
    }

    QTemporaryDir root;
    DesktopEntryIndex index{{root.path()}};
    DesktopApplications applications{index};
    QWidget window;
};

TEST_F(ApplicationChooserTest, ListsTheMenusApplicationsByNameInTheInterfaceLanguage)
{
    struct Row {
        InterfaceLanguage language;
        QStringList names;
    };
    const Row rows[] = {
        {InterfaceLanguage::english,
         {QStringLiteral("Firefox ESR"), QStringLiteral("Kate"), QStringLiteral("Text Editor")}},
        // Chinese collation puts Han before Latin: 文本编辑器 sorts first, by its Chinese name.
        {InterfaceLanguage::chinese,
         {QStringLiteral("文本编辑器"), QStringLiteral("Firefox ESR 浏览器"), QStringLiteral("Kate")}},
    };
    for (const Row& row : rows) {
        test::InterfaceLanguageScope language(row.language);
        QStringList names;
        for (const InstalledApplication& app : applications.list())
            names.append(app.name);
        EXPECT_EQ(names, row.names);
    }
    EXPECT_EQ(applications.list().last(),
              (InstalledApplication{QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
                                    QStringLiteral("org.gnome.TextEditor")}));
}

// From the keyboard alone: typing filters by name or id, the arrows move from the search field
// through what is left, Enter takes the current row; without a row nothing is chosen, and
// Escape closes.
TEST_F(ApplicationChooserTest, TypingFiltersAndEnterChoosesTheCurrentRow)
{
    test::InterfaceLanguageScope language(InterfaceLanguage::english);
    struct Row {
        const char* situation;
        QString typed;
        int downs;
        QStringList visible;
        QString chosenId;
        QString chosenName;
    };
    const QStringList all = {QStringLiteral("firefox-esr"), QStringLiteral("kde-org.kde.kate"),
                             QStringLiteral("org.gnome.TextEditor")};
    const Row rows[] = {
        {"by name, any case",
         QStringLiteral("fIrE"),
         0,
         {QStringLiteral("firefox-esr")},
         QStringLiteral("firefox-esr"),
         QStringLiteral("Firefox ESR")},
        {"by id",
         QStringLiteral("gnome"),
         0,
         {QStringLiteral("org.gnome.TextEditor")},
         QStringLiteral("org.gnome.TextEditor"),
         QStringLiteral("Text Editor")},
        {"arrows from the search field", QString(), 2, all, QStringLiteral("org.gnome.TextEditor"),
         QStringLiteral("Text Editor")},
        {"nothing matches", QStringLiteral("thunderbird"), 1, {}, QString(), QString()},
    };
    for (const Row& row : rows) {
        QPointer<ApplicationChooser> chooser = open();
        QSignalSpy chosen(chooser.data(), &ApplicationChooser::chosen);
        auto* search = chooser->findChild<QLineEdit*>();
        QTest::keyClicks(search, row.typed);
        EXPECT_EQ(chooser->visibleIds(), row.visible) << row.situation;
        for (int i = 0; i < row.downs; ++i)
            QTest::keyClick(search, Qt::Key_Down);
        QTest::keyClick(search, Qt::Key_Return);
        if (row.chosenId.isEmpty()) {
            EXPECT_EQ(chosen.count(), 0) << row.situation;
            EXPECT_TRUE(chooser->isVisible()) << row.situation;
            QTest::keyClick(search, Qt::Key_Escape);
            EXPECT_EQ(chosen.count(), 0) << row.situation;
        } else {
            ASSERT_EQ(chosen.count(), 1) << row.situation;
            EXPECT_EQ(chosen.first().first().value<TranslationApplication>(),
                      (TranslationApplication{row.chosenId, row.chosenName}))
                << row.situation;
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(chooser.isNull()) << row.situation << ": deleted once closed";
    }
}

} // namespace
} // namespace qw
