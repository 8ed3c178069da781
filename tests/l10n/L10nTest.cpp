#include "l10n/L10n.h"

#include "l10n/LocalizationState.h"
#include "core/InMemorySettingsStore.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

// The current language is process-wide; every test that sets it puts the old one back.
class CurrentLanguage {
public:
    explicit CurrentLanguage(InterfaceLanguage language) : m_previous(LocalizationState::shared().language())
    {
        LocalizationState::shared().setLanguage(language);
    }
    ~CurrentLanguage() { LocalizationState::shared().setLanguage(m_previous); }

private:
    InterfaceLanguage m_previous;
};

TEST(InterfaceLanguageTest, RawValuesRoundTripAndUnknownMeansSystem)
{
    for (InterfaceLanguage language :
         {InterfaceLanguage::system, InterfaceLanguage::chinese, InterfaceLanguage::english})
        EXPECT_EQ(interfaceLanguageFromRaw(rawValue(language)), language);
    EXPECT_EQ(rawValue(InterfaceLanguage::chinese), QStringLiteral("zh-Hans"));
    EXPECT_EQ(interfaceLanguageFromRaw(QStringLiteral("fr")), InterfaceLanguage::system);
    EXPECT_EQ(interfaceLanguageFromRaw(QString()), InterfaceLanguage::system);
    EXPECT_EQ(interfaceLanguageFromRaw(QStringLiteral("EN")), InterfaceLanguage::system);
}

TEST(L10nCodeTest, SystemFollowsTheFirstPreferredLanguage)
{
    const auto system = InterfaceLanguage::system;
    EXPECT_EQ(L10n::code(system, {QStringLiteral("zh-Hant-TW"), QStringLiteral("en-US")}),
              QStringLiteral("zh-Hans"));
    EXPECT_EQ(L10n::code(system, {QStringLiteral("zh")}), QStringLiteral("zh-Hans"));
    EXPECT_EQ(L10n::code(system, {QStringLiteral("en-GB"), QStringLiteral("zh-CN")}), QStringLiteral("en"));
    EXPECT_EQ(L10n::code(system, {QStringLiteral("fr-FR")}), QStringLiteral("en"));
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
    EXPECT_EQ(L10n::text(QStringLiteral("没有这个键")), QStringLiteral("没有这个键"));
    // An argument that itself holds a placeholder is filled in as it stands, never expanded.
    EXPECT_EQ(L10n::format(key, {QStringLiteral("%@ 100%")}), QStringLiteral("恢复失败：%@ 100%"));
    EXPECT_EQ(L10n::format(key, {}), QStringLiteral("恢复失败："));
}

TEST(L10nRelocalizeTest, ShownMessagesFollowALanguageSwitch)
{
    const QString shownInChinese = QStringLiteral("恢复失败：磁盘已满\n请稍后再试");
    {
        CurrentLanguage english(InterfaceLanguage::english);
        EXPECT_EQ(L10n::relocalize(shownInChinese, InterfaceLanguage::chinese),
                  QStringLiteral("Restore failed: 磁盘已满\n请稍后再试"));
        EXPECT_EQ(L10n::relocalize(QStringLiteral("今天天气不错"), InterfaceLanguage::chinese),
                  QStringLiteral("今天天气不错"));
        EXPECT_EQ(L10n::relocalize(QString(), InterfaceLanguage::chinese), QString());
    }
    CurrentLanguage chinese(InterfaceLanguage::chinese);
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Restore failed: timeout"), InterfaceLanguage::english),
              QStringLiteral("恢复失败：timeout"));
    // Regular-expression characters in a message are plain text.
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Restore failed: (.*) [x]$"), InterfaceLanguage::english),
              QStringLiteral("恢复失败：(.*) [x]$"));
}

// The Chinese text is a text of its own, not the key: a key that names another desktop's
// things reads differently, and a language switch goes through that text both ways.
TEST(L10nRelocalizeTest, ChineseTextsThatDifferFromTheirKeysFollowASwitch)
{
    const QString key = QStringLiteral("点击菜单栏图标开始");
    const QString chineseText = QStringLiteral("点击托盘图标开始");
    {
        CurrentLanguage english(InterfaceLanguage::english);
        EXPECT_EQ(L10n::text(key, InterfaceLanguage::chinese), chineseText);
        EXPECT_EQ(L10n::relocalize(chineseText, InterfaceLanguage::chinese),
                  QStringLiteral("Click the tray icon to start"));
    }
    CurrentLanguage chinese(InterfaceLanguage::chinese);
    EXPECT_EQ(L10n::text(key), chineseText);
    EXPECT_EQ(L10n::relocalize(QStringLiteral("Click the tray icon to start"), InterfaceLanguage::english),
              chineseText);
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
