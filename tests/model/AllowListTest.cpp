#include "model/AllowList.h"

#include "policy/UrlHandlerRegistry.h"
#include "tests/support/SwitchableSettingsStore.h"
#include "tests/support/VirtualTime.h"

#include <gtest/gtest.h>

namespace qw::test {
namespace {

class HttpsHandlers final : public UrlHandlerRegistry {
public:
    QStringList applicationsOpeningHttpsUrls() const override
    {
        return {QStringLiteral("org.example.Browser")};
    }
};

const QString kEditor = QStringLiteral("org.gnome.TextEditor");
const QString kBrowser = QStringLiteral("org.example.Browser");

TEST(AllowListTest, AllowingPausingAndRevokingKeepTheirRulesSavedOrNot)
{
    const QTimeZone zone("Europe/Berlin");
    VirtualTime time(QDateTime(QDate(2026, 3, 28), QTime(22, 0), zone));
    SwitchableSettingsStore store;
    HttpsHandlers handlers;
    AppSettings settings(store, {kEditor}, time.now());
    AllowList list(settings, handlers, time, zone);

    EXPECT_TRUE(list.needsBrowserConfirmation(kBrowser)) << "an https handler is a browser";
    EXPECT_FALSE(list.needsBrowserConfirmation(kEditor));
    ASSERT_TRUE(list.allow(kBrowser));
    EXPECT_EQ(store.object(QStringLiteral("browserScopeConfirmed.org.example.Browser")), QVariant(true));
    ASSERT_TRUE(list.pauseToday(kBrowser));
    EXPECT_FALSE(list.isEligible(kBrowser));
    ASSERT_TRUE(list.revoke(kBrowser));
    EXPECT_FALSE(settings.values().ignoredAppsUntil.contains(kBrowser)) << "a revocation ends the pause";
    EXPECT_FALSE(list.needsBrowserConfirmation(kBrowser)) << "the confirmation outlives the revocation";

    // A withdrawal holds unsaved; a grant or a resumption needs the saved word.
    store.refuses = true;
    EXPECT_FALSE(list.pauseToday(kEditor));
    EXPECT_TRUE(list.isPausedToday(kEditor));
    EXPECT_FALSE(list.resume(kEditor));
    EXPECT_TRUE(list.isPausedToday(kEditor));
    EXPECT_FALSE(list.allow(kBrowser));
    EXPECT_FALSE(list.isAllowed(kBrowser));
    EXPECT_FALSE(list.revoke(kEditor));
    EXPECT_FALSE(list.isAllowed(kEditor));
    store.refuses = false;

    ASSERT_TRUE(list.allow(kEditor));
    ASSERT_TRUE(list.pauseToday(kEditor));
    time.setNow(QDateTime(QDate(2026, 3, 29), QTime(0, 0), zone));
    EXPECT_TRUE(list.isEligible(kEditor)) << "a pause that ended at midnight no longer counts";
    EXPECT_TRUE(list.expirePauses());
    EXPECT_TRUE(AppSettings(store, {}, time.now()).values().ignoredAppsUntil.isEmpty());
    ASSERT_TRUE(store.apply({{QStringLiteral("ignoredAppsUntil"), std::nullopt}}));
    EXPECT_FALSE(list.expirePauses()) << "removed once";
    EXPECT_FALSE(store.keys().contains(QStringLiteral("ignoredAppsUntil")))
        << "removing nothing writes nothing";
}

// A pause ends at the next local midnight of the injected time zone, however long the day.
TEST(AllowListTest, APauseEndsAtTheNextLocalMidnight)
{
    const QTimeZone zone("Europe/Berlin");
    const struct {
        const char* situation;
        QDateTime now;
        qint64 expectedSeconds;
    } rows[] = {
        {"one second before midnight", QDateTime(QDate(2026, 3, 14), QTime(23, 59, 59), zone), 1},
        {"at midnight", QDateTime(QDate(2026, 3, 14), QTime(0, 0), zone), 24 * 3600},
        {"the day the clocks go forward", QDateTime(QDate(2026, 3, 29), QTime(0, 0), zone), 23 * 3600},
        {"the day the clocks go back", QDateTime(QDate(2026, 10, 25), QTime(0, 0), zone), 25 * 3600},
    };
    for (const auto& row : rows) {
        VirtualTime time(row.now);
        SwitchableSettingsStore store;
        HttpsHandlers handlers;
        AppSettings settings(store, {kEditor}, time.now());
        AllowList list(settings, handlers, time, zone);
        ASSERT_TRUE(list.pauseToday(kEditor)) << row.situation;
        const QDateTime until = settings.values().ignoredAppsUntil.value(kEditor);
        EXPECT_EQ(row.now.secsTo(until), row.expectedSeconds) << row.situation;
        EXPECT_EQ(until.toTimeZone(zone).time(), QTime(0, 0)) << row.situation;
    }
}

} // namespace
} // namespace qw::test
