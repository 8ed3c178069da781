#include "l10n/L10n.h"

#include "l10n/LocalizationState.h"
#include "tests/support/InterfaceLanguageScope.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

using CurrentLanguage = test::InterfaceLanguageScope;

TEST(L10nCodeTest, SystemFollowsTheFirstPreferredLanguage)
{
    const auto system = InterfaceLanguage::system;
    EXPECT_EQ(L10n::code(system, {QStringLiteral("zh-Hant-TW"), QStringLiteral("en-US")}),
              QStringLiteral("zh-Hans"));
    EXPECT_EQ(L10n::code(system, {QStringLiteral("en-GB"), QStringLiteral("zh-CN")}), QStringLiteral("en"));
    EXPECT_EQ(L10n::code(system, {}), QStringLiteral("en"));
    EXPECT_EQ(L10n::code(InterfaceLanguage::chinese, {QStringLiteral("en-GB")}), QStringLiteral("zh-Hans"));
    EXPECT_EQ(L10n::code(InterfaceLanguage::english, {QStringLiteral("zh-CN")}), QStringLiteral("en"));
}

TEST(L10nLookupTest, TextAndFormatUseTheCurrentLanguage)
{
    const QString key = QStringLiteral("恢复失败：%@");
    {
        CurrentLanguage english(InterfaceLanguage::english);
        EXPECT_EQ(L10n::text(key), QStringLiteral("Restore failed: %@"));
        EXPECT_EQ(L10n::format(key, {QStringLiteral("disk full")}),
                  QStringLiteral("Restore failed: disk full"));
        EXPECT_EQ(L10n::text(key, InterfaceLanguage::chinese), key);
        EXPECT_EQ(L10n::number(qint64(1234567)), QStringLiteral("1,234,567"));
        EXPECT_EQ(L10n::number(0.5, 1), QStringLiteral("0.5"));
    }
    CurrentLanguage chinese(InterfaceLanguage::chinese);
    EXPECT_EQ(L10n::text(key), key);
    EXPECT_EQ(L10n::text(key, InterfaceLanguage::english), QStringLiteral("Restore failed: %@"));
    // An argument that itself holds a placeholder is filled in as it stands, never expanded.
    EXPECT_EQ(L10n::format(key, {QStringLiteral("%@ 100%")}), QStringLiteral("恢复失败：%@ 100%"));
    EXPECT_EQ(L10n::format(key, {}), QStringLiteral("恢复失败："));
}

// A shown message follows a language switch, through the Chinese text where it differs from
// its key (a key that names another desktop's things reads differently on this one).
TEST(L10nRelocalizeTest, ShownMessagesFollowALanguageSwitch)
{
    const QString trayKey = QStringLiteral("点击菜单栏图标开始");
    const QString trayChinese = QStringLiteral("点击托盘图标开始");
    const QString trayEnglish = QStringLiteral("Click the tray icon to start");
    struct Row {
        InterfaceLanguage from;
        QString shown;
        QString expected;
    };
    const auto zh = InterfaceLanguage::chinese;
    const auto en = InterfaceLanguage::english;
    const Row rows[] = {
        {zh, QStringLiteral("恢复失败：磁盘已满\n请稍后再试"),
         QStringLiteral("Restore failed: 磁盘已满\n请稍后再试")},
        {zh, trayChinese, trayEnglish},
        // Regular-expression characters in a message are plain text.
        {en, QStringLiteral("Restore failed: (.*) [x]$"), QStringLiteral("恢复失败：(.*) [x]$")},
        {en, trayEnglish, trayChinese},
    };
    for (const Row& row : rows) {
        CurrentLanguage target(row.from == zh ? en : zh);
        EXPECT_EQ(L10n::relocalize(row.shown, row.from), row.expected) << row.shown.toStdString();
    }
    EXPECT_EQ(L10n::text(trayKey, zh), trayChinese);
}

TEST(L10nRelocalizeTest, MostSpecificPatternWinsWhatEverTheHashOrder)
{
    CurrentLanguage english(InterfaceLanguage::english);
    // Keys not in any real table come back as themselves, which makes the chosen key visible.
    const L10n::Table source = {
        {QStringLiteral("甲%@"), QStringLiteral("%@")},
        {QStringLiteral("乙：%@"), QStringLiteral("failed: %@")},
        {QStringLiteral("丙：%@"), QStringLiteral("Restore failed: %@")},
        {QStringLiteral("丁：%@，%@"), QStringLiteral("Restore %@: %@")},
        {QStringLiteral("戊"), QStringLiteral("Restore failed: done")},
    };
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Restore failed: disk"), source), QStringLiteral("丙：disk"));
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Restore failed: done"), source), QStringLiteral("戊"));
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Restore one: two"), source), QStringLiteral("丁：one，two"));
    EXPECT_EQ(L10n::relocalize(QStringLiteral("anything"), source), QStringLiteral("甲anything"));
}

} // namespace
} // namespace qw
