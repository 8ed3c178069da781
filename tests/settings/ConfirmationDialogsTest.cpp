#include "settings/ConfirmationDialogs.h"

#include "tests/support/InterfaceLanguageScope.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace qw {
namespace {

using Ask = std::function<QMessageBox*(QWidget*, std::function<void()>)>;

struct Row {
    const char* situation;
    InterfaceLanguage language;
    Ask ask;
    QString title; // the browser's or application's name: the message itself does not say which
    QString message;
    QString informative;
    QString cancel;
    QString confirm;
};

const TranslationApplication firefox{QStringLiteral("firefox-esr"), QStringLiteral("Firefox ESR")};

const Ask revoke = [](QWidget* parent, std::function<void()> confirmed) {
    return ConfirmationDialogs::askRevoke(parent, firefox, std::move(confirmed));
};
const Ask browser = [](QWidget* parent, std::function<void()> confirmed) {
    return ConfirmationDialogs::askAllowBrowser(parent, firefox, std::move(confirmed));
};
const Ask deleteKey = [](QWidget* parent, std::function<void()> confirmed) {
    return ConfirmationDialogs::askDeleteKey(parent, std::move(confirmed));
};

QAbstractButton* button(QMessageBox* box, const QString& text)
{
    for (QAbstractButton* candidate : box->buttons()) {
        if (candidate->text() == text)
            return candidate;
    }
    return nullptr;
}

// What the user reads, in which order the buttons stand, and that nothing but the confirming
// button acts: not Escape, not Enter (the default is the safe button), not "cancel".
TEST(ConfirmationDialogsTest, OnlyTheSecondButtonConfirms)
{
    // One dialog of each kind; their texts in both languages are the tables' (the table test).
    const Row rows[] = {
        {"revoke", InterfaceLanguage::chinese, revoke, firefox.name,
         QStringLiteral("取消 Firefox ESR 的翻译授权？"),
         QStringLiteral("将停止此应用的输入翻译和页面选区翻译；需要时可在应用权限中重新允许。"),
         QStringLiteral("取消"), QStringLiteral("取消授权")},
        {"browser", InterfaceLanguage::english, browser, firefox.name,
         QStringLiteral("Allow translation in the whole browser?"),
         QStringLiteral(
             "The permission covers every website in this browser. Selected text may be sent to the "
             "current provider; private windows cannot be excluded automatically."),
         QStringLiteral("Cancel"), QStringLiteral("Allow This Browser")},
        {"delete key", InterfaceLanguage::chinese, deleteKey, QStringLiteral("删除密钥"),
         QStringLiteral("删除当前服务商的 API Key？"), QString(), QStringLiteral("取消"),
         QStringLiteral("删除")},
    };
    QWidget window;
    window.show();
    for (const Row& row : rows) {
        test::InterfaceLanguageScope language(row.language);
        int confirmed = 0;
        for (const int key : {int(Qt::Key_Escape), int(Qt::Key_Return), 0}) {
            QPointer<QMessageBox> box = row.ask(&window, [&] { ++confirmed; });
            ASSERT_TRUE(QTest::qWaitForWindowExposed(box)) << row.situation;
            EXPECT_EQ(box->windowModality(), Qt::WindowModal) << row.situation;
            EXPECT_EQ(box->windowTitle(), row.title) << row.situation;
            EXPECT_EQ(box->text(), row.message) << row.situation;
            EXPECT_EQ(box->informativeText(), row.informative) << row.situation;
            QAbstractButton* cancel = button(box, row.cancel);
            QAbstractButton* confirm = button(box, row.confirm);
            ASSERT_TRUE(cancel && confirm) << row.situation;
            EXPECT_EQ(box->buttons().size(), 2) << row.situation;
            EXPECT_LT(cancel->mapTo(box, QPoint()).x(), confirm->mapTo(box, QPoint()).x())
                << row.situation << ": cancel comes first";
            if (key)
                QTest::keyClick(box, Qt::Key(key));
            else
                QTest::mouseClick(confirm, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_TRUE(box.isNull()) << row.situation << ": deleted once closed";
            EXPECT_EQ(confirmed, key ? 0 : 1) << row.situation << " after key " << key;
        }
    }
}

} // namespace
} // namespace qw
