#include "settings/ApplicationChooser.h"

#include "platform/DesktopApplications.h"
#include "platform/DesktopEntryIndex.h"
#include "tests/support/InterfaceLanguageScope.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace qw {
namespace {

using namespace Qt::Literals::StringLiterals;

// The chooser over real desktop entries in a temporary data folder.
class ApplicationChooserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        entry("org.gnome.TextEditor",
              "Name=Text Editor\nName[zh_CN]=文本编辑器\nIcon=org.gnome.TextEditor\n");
        entry("firefox-esr", "Name=Firefox ESR\n");
        entry("kde/org.kde.kate", "Name=Kate\n"); // id "kde-org.kde.kate"
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

    QTemporaryDir root;
    DesktopEntryIndex index{{root.path()}};
    DesktopApplications applications{index};
    QWidget window;
};

TEST_F(ApplicationChooserTest, OnlyTheMenusApplicationsAreListedByNameInTheInterfaceLanguage)
{
    for (const auto& [language, names] :
         {std::pair{InterfaceLanguage::english, QStringList{u"Firefox ESR"_s, u"Kate"_s, u"Text Editor"_s}},
          // Chinese order puts Han first: the entry sorts by the name that is shown.
          std::pair{InterfaceLanguage::chinese, QStringList{u"文本编辑器"_s, u"Firefox ESR"_s, u"Kate"_s}}}) {
        test::InterfaceLanguageScope scope(language);
        QStringList listed;
        for (const InstalledApplication& app : applications.list())
            listed.append(app.name);
        EXPECT_EQ(listed, names);
    }
    EXPECT_EQ(applications.list().last().iconName, u"org.gnome.TextEditor"_s);
}

// From the keyboard alone: typing filters by name or id, the arrows move from the search field
// through what is left, Enter takes the current row; without a row nothing is chosen, and
// Escape closes.
TEST_F(ApplicationChooserTest, TypingFiltersAndEnterChoosesTheCurrentRow)
{
    test::InterfaceLanguageScope language(InterfaceLanguage::english);
    struct Row {
        QString typed;
        int downs;
        QStringList visible;
        TranslationApplication chosen;
    };
    const TranslationApplication editor{u"org.gnome.TextEditor"_s, u"Text Editor"_s};
    const Row rows[] = {
        {u"fIrE"_s, 0, {u"firefox-esr"_s}, {u"firefox-esr"_s, u"Firefox ESR"_s}},
        {u"gnome"_s, 0, {editor.bundleID}, editor},
        {QString(), 2, {u"firefox-esr"_s, u"kde-org.kde.kate"_s, editor.bundleID}, editor},
        {u"thunderbird"_s, 1, {}, {}},
    };
    for (const Row& row : rows) {
        QPointer<ApplicationChooser> chooser = new ApplicationChooser(applications, &window);
        chooser->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(chooser));
        QSignalSpy chosen(chooser.data(), &ApplicationChooser::chosen);
        auto* search = chooser->findChild<QLineEdit*>();
        QTest::keyClicks(search, row.typed);
        EXPECT_EQ(chooser->visibleIds(), row.visible) << qPrintable(row.typed);
        for (int i = 0; i < row.downs; ++i)
            QTest::keyClick(search, Qt::Key_Down);
        QTest::keyClick(search, Qt::Key_Return);
        if (row.chosen.bundleID.isEmpty()) {
            EXPECT_TRUE(chooser->isVisible());
            QTest::keyClick(search, Qt::Key_Escape);
        }
        ASSERT_EQ(chosen.count(), row.chosen.bundleID.isEmpty() ? 0 : 1) << qPrintable(row.typed);
        if (!chosen.isEmpty()) {
            EXPECT_EQ(chosen.first().first().value<TranslationApplication>(), row.chosen);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(chooser.isNull()) << qPrintable(row.typed) << ": deleted once closed";
    }
}

} // namespace
} // namespace qw
