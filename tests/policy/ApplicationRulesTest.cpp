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

TEST(BrowserPrivacyTest, KnownBrowsersMatchExactlyOrWithDottedSuffix)
{
    const FixedUrlHandlerRegistry none;
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("com.google.Chrome"), none));
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("com.vivaldi.Vivaldi"), none));
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("com.google.Chrome.canary"), none));
    EXPECT_TRUE(BrowserPrivacy::isBrowser(QStringLiteral("org.mozilla.firefox."), none));
    // Sharing the letters without the dot is another application.
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("com.google.ChromeRemoteDesktop"), none));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("com.google"), none));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("COM.GOOGLE.CHROME"), none));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("org.gnome.TextEditor"), none));
}

// Linux names applications by their desktop-entry ids, which the packages of the common
// browsers choose themselves; none of them need to be registered for https to count.
TEST(BrowserPrivacyTest, LinuxDesktopEntriesOfTheCommonBrowsersAreKnown)
{
    const FixedUrlHandlerRegistry none;
    const char* const ids[] = {
        "firefox",
        "firefox-esr",
        "firefox_firefox",
        "org.mozilla.firefox",
        "chromium",
        "chromium-browser",
        "org.chromium.Chromium",
        "google-chrome",
        "google-chrome-beta",
        "com.google.Chrome",
        "brave-browser",
        "com.brave.Browser",
        "microsoft-edge",
        "microsoft-edge-dev",
        "com.microsoft.Edge",
        "vivaldi-stable",
        "com.vivaldi.Vivaldi",
        "opera",
        "com.opera.Opera",
        "org.gnome.Epiphany",
        "epiphany",
        "librewolf",
        "io.gitlab.librewolf-community",
        "torbrowser",
        "start-tor-browser",
        "org.torproject.torbrowser-launcher",
    };
    QStringList missed;
    for (const char* id : ids) {
        if (!BrowserPrivacy::isBrowser(QString::fromLatin1(id), none))
            missed.append(QString::fromLatin1(id));
    }
    EXPECT_TRUE(missed.isEmpty()) << missed.join(u' ').toStdString();
    // The ids of the other platforms are still checked first, in their order.
    EXPECT_EQ(BrowserPrivacy::knownBrowserBundleIDs().mid(0, 2),
              QStringList({QStringLiteral("com.apple.Safari"), QStringLiteral("com.google.Chrome")}));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("firefox-wrapper"), none));
    EXPECT_FALSE(BrowserPrivacy::isBrowser(QStringLiteral("chromium-bsu"), none)); // a game
}

TEST(BrowserPrivacyTest, ApplicationsRegisteredForHttpsAreBrowsers)
{
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

TEST(TranslationFlowRulesTest, SchedulesOnlyUnselectedAllowedTextWithLetters)
{
    const QString hello = QStringLiteral(u"你好");
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(hello, 0));
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(hello, std::nullopt));
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(hello, 3));
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(QStringLiteral("2024 !!! 42"), 0));
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(QStringLiteral("a").repeated(1801), 0));
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(QStringLiteral("password: hunter2hunter2"), 0));
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(QString(), std::nullopt));
}

TEST(TranslationFlowRulesTest, LettersAndMarksOfEveryScriptCount)
{
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(QStringLiteral(u"Ωμέγα"), 0));
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(QStringLiteral(u"नमस्ते"), 0));
    EXPECT_TRUE(
        TranslationFlowRules::shouldSchedule(QStringLiteral(u"1 \u0301"), 0)); // a lone combining mark
    // Letters outside the basic plane arrive as surrogate pairs: CJK extension B, Gothic.
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(QStringLiteral(u"12 𠀀"), 0));
    EXPECT_TRUE(TranslationFlowRules::shouldSchedule(QStringLiteral(u"𐌰"), 0));
    // Emoji, even with variation selectors, keycaps and skin tones, are not words.
    EXPECT_FALSE(TranslationFlowRules::shouldSchedule(
        QStringLiteral(u"❤️ 1️⃣ 👍🏽 👨‍👩‍👧 🇨🇳 ©"), 0));
    EXPECT_FALSE(
        TranslationFlowRules::shouldSchedule(QStringLiteral(u"３．１４＋％"), 0)); // full-width digits
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
    EXPECT_EQ(SelectionRules::substring(text, 4, 0), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 0, 0), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 2, 3), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, -1, 2), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(text, 1, std::numeric_limits<qsizetype>::max()), std::nullopt);
    EXPECT_EQ(SelectionRules::substring(QString(), 0, 1), std::nullopt);
}

} // namespace
} // namespace qw
