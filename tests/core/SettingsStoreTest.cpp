#include "core/InMemorySettingsStore.h"

#include <QDate>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

TEST(SettingsStore, TypedReadsOfAnotherTypeGiveNoValue)
{
    qw::InMemorySettingsStore store;
    ASSERT_TRUE(store.setString(QStringLiteral("debounceMilliseconds"), QStringLiteral("800")));
    ASSERT_TRUE(store.setBool(QStringLiteral("helperEnabled"), true));
    ASSERT_TRUE(store.setInteger(QStringLiteral("onboardingStep"), 2));

    EXPECT_FALSE(store.integer(QStringLiteral("debounceMilliseconds")).has_value());
    EXPECT_FALSE(store.integer(QStringLiteral("helperEnabled")).has_value());
    EXPECT_FALSE(store.boolValue(QStringLiteral("onboardingStep")).has_value());
    EXPECT_FALSE(store.string(QStringLiteral("missing")).has_value());
    EXPECT_TRUE(store.contains(QStringLiteral("helperEnabled")));
    EXPECT_EQ(store.integer(QStringLiteral("onboardingStep")), 2);
    EXPECT_EQ(store.doubleValue(QStringLiteral("onboardingStep")), 2.0);
}

// The in-memory store stands in for the settings file in tests: it refuses what the file
// could not read back, and a refused write changes nothing.
TEST(SettingsStore, OnlyWhatReadsBackAsItWasIsStored)
{
    qw::InMemorySettingsStore store;
    ASSERT_TRUE(store.setDouble(QStringLiteral("kept"), 0.5));
    const struct {
        const char* situation;
        QVariant value;
    } refused[] = {
        {"nothing", QVariant()},
        {"not a number", QVariant(std::nan(""))},
        {"infinity in a dictionary",
         QVariantMap{{QStringLiteral("k"), -std::numeric_limits<double>::infinity()}}},
        {"a date in a dictionary", QVariantMap{{QStringLiteral("k"), QVariant(QDate(2026, 3, 14))}}},
    };
    for (const auto& row : refused) {
        const qw::SettingsWriteResult result =
            store.apply({{QStringLiteral("other"), QVariant(1)}, {QStringLiteral("kept"), row.value}});
        EXPECT_EQ(result.failure(), qw::SettingsWriteResult::Failure::notStorable) << row.situation;
        EXPECT_EQ(store.doubleValue(QStringLiteral("kept")), 0.5) << row.situation;
        EXPECT_FALSE(store.contains(QStringLiteral("other"))) << row.situation << ": all or nothing";
    }
    EXPECT_TRUE(store.setObject(QStringLiteral("map"), QVariantMap{{QStringLiteral("k"), QVariant(1.5)}}));
    EXPECT_TRUE(
        store.apply({{QStringLiteral("kept"), std::nullopt}, {QStringLiteral("list"), QStringList()}}));
    EXPECT_FALSE(store.contains(QStringLiteral("kept")));
    EXPECT_TRUE(store.contains(QStringLiteral("list")));
}
