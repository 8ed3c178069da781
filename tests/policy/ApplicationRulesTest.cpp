#include "accessibility/adapters/AXVocabulary.h"
#include "policy/BrowserPrivacy.h"
#include "policy/FocusedRoleRules.h"
#include "policy/SelectionRules.h"
#include "policy/TranslationFlowRules.h"
#include "policy/UrlHandlerRegistry.h"

#include <gtest/gtest.h>

namespace qw {
namespace {

class FixedUrlHandlerRegistry final : public UrlHandlerRegistry {
public:
    explicit FixedUrlHandlerRegistry(QStringList handlers = {}) : m_handlers(std::move(handlers)) {}
    QStringList applicationsOpeningHttpsUrls() const override { return m_handlers; }

private:
    QStringList m_handlers;
};

// Linux names applications by their desktop-entry ids, which the packages of the common
// browsers choose themselves; none of them need to be registered for https to count. Known ids
// match exactly or with a dotted suffix.
TEST(BrowserPrivacyTest, KnownBrowsersAndApplicationsRegisteredForHttpsAreBrowsers)
{
    const FixedUrlHandlerRegistry none;
    // An exact id of each kind (desktop entry, Snap, reverse domain) and one with a dotted suffix.
    const char* const browsers[] = {"firefox-esr", "firefox_firefox", "org.mozilla.firefox",
                                    "com.google.Chrome.canary"};
    // Sharing the letters without the dot is another application; "chromium-bsu" is a game.
    const char* const others[] = {"com.google.ChromeRemoteDesktop", "com.google",      "COM.GOOGLE.CHROME",
                                  "org.gnome.TextEditor",           "firefox-wrapper", "chromium-bsu"};
    QStringList wrong;
    for (const char* id : browsers) {
        if (!BrowserPrivacy::isBrowser(QString::fromLatin1(id), none))
            wrong.append(QString::fromLatin1(id));
    }
    for (const char* id : others) {
        if (BrowserPrivacy::isBrowser(QString::fromLatin1(id), none))
            wrong.append(QString::fromLatin1(id));
    }
    EXPECT_TRUE(wrong.isEmpty()) << wrong.join(u' ').toStdString();

    const FixedUrlHandlerRegistry registry({QString(), QStringLiteral("org.example.Surf.desktop"),
                                            QStringLiteral("com.google.ChromeRemoteDesktop")});
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("org.example.Surf.desktop"), registry));
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("com.google.ChromeRemoteDesktop"), registry));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("org.example.Surf"), registry));
    // A handler without an id must not turn an unidentified application into a browser.
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QString(), registry));
}

TEST(FocusedRoleRulesTest, ProtectsPasswordLikeFields)
{
    EXPECT_TRUE(FocusedRoleRules::isProtected(AXRole::textField, AXRole::secureTextField, std::nullopt));
    EXPECT_TRUE(FocusedRoleRules::isProtected(QStringLiteral("password text"), QString(), std::nullopt));
    EXPECT_TRUE(FocusedRoleRules::isProtected(AXRole::textArea, QString(), true));
    EXPECT_TRUE(FocusedRoleRules::isProtected(QStringLiteral("PASSWORD"), QString(), false));
    EXPECT_FALSE(FocusedRoleRules::isProtected(AXRole::textArea, QString(), std::nullopt));
    EXPECT_FALSE(FocusedRoleRules::isProtected(QStringLiteral("text"), QStringLiteral("entry"), false));
    // The blank joining role and subrole must not make a marker word out of two halves.
    EXPECT_FALSE(FocusedRoleRules::isProtected(QStringLiteral("pass"), QStringLiteral("word"), std::nullopt));
}

// Only unselected text that may be sent and holds a letter or mark of some script is
// scheduled; letters outside the basic plane arrive as surrogate pairs.
TEST(TranslationFlowRulesTest, SchedulesOnlyUnselectedAllowedTextWithLetters)
{
    const struct {
        const char16_t* text;
        std::optional<qsizetype> selectedLength;
        bool scheduled;
    } rows[] = {
        {u"你好", 0, true},
        {u"你好", std::nullopt, true}, // a field that reports no selection
        {u"你好", 3, false},
        {u"", std::nullopt, false},
        {u"2024 !!! 42", 0, false},
        {u"password: hunter2hunter2", 0, false},
        {u"μέγα", 0, true},
        {u"1 \u0301", 0, true}, // a lone combining mark
        {u"12 𠀀", 0, true},    // CJK extension B
        // Emoji, even with variation selectors, keycaps and skin tones, are not words.
        {u"❤️ 1️⃣ 👍🏽 👨‍👩‍👧 🇨🇳 ©", 0, false},
        {u"３．１４＋％", 0, false}, // full-width digits
    };
    for (const auto& row : rows) {
        const QString text = QString::fromUtf16(row.text);
        EXPECT_EQ(TranslationFlowRules::shouldSchedule(text, row.selectedLength), row.scheduled)
            << text.toStdString();
    }
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(QStringLiteral("a").repeated(1801), 0));
}

TEST(SelectionRulesTest, TranslatesTrimmedSelectionsWithLetters)
{
    EXPECT_TRUE(SelectionRules::shouldTranslate(QStringLiteral("  OK  ")));
    EXPECT_FALSE(SelectionRules::shouldTranslate(QStringLiteral("2024-03-14")));
    EXPECT_FALSE(SelectionRules::shouldTranslate(QStringLiteral(" \n ")));
    EXPECT_FALSE(SelectionRules::shouldTranslate(QStringLiteral("token = 'abcdefghijklmn'")));
    // The length limit applies to the trimmed selection: surrounding blank lines do not count.
    EXPECT_TRUE(SelectionRules::shouldTranslate(QStringLiteral("\n") + QStringLiteral("a").repeated(1800) +
                                                QStringLiteral("\n\n")));
}

TEST(SelectionRulesTest, SubstringCutsUtf16CodeUnits)
{
    const QString text = QStringLiteral(u"a😀b"); // the emoji is two UTF-16 units
    ASSERT_EQ(text.size(), 4);
    EXPECT_EQ(SelectionRules::substring(text, 1, 2), QStringLiteral(u"😀"));
    EXPECT_EQ(SelectionRules::substring(text, 3, 1), QStringLiteral("b"));
    EXPECT_EQ(SelectionRules::substring(text, 0, 4), text);
    EXPECT_EQ(SelectionRules::substring(text, 1, 1), QString(QChar(0xD83D))); // half of the emoji
    EXPECT_EQ(SelectionRules::substring(text, 4, 1), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 0, 0), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 2, 3), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, -1, 2), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 1, std::numeric_limits<qsizetype>::max()), std::nullopt);
}

} // namespace
} // namespace qw
