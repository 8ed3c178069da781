#include "core/InMemorySettingsStore.h"

#include <QDate>
#include <gtest/gtest.h>

TEST(SettingsStore, TypedReadsOfAnotherTypeGiveNoValue)
{
    qw::InMemorySettingsStore store;
    store.setString(QStringLiteral("debounceMilliseconds"), QStringLiteral("800"));
    store.setBool(QStringLiteral("helperEnabled"), true);
    store.setInteger(QStringLiteral("onboardingStep"), 2);

    EXPECT_FALSE(store.integer(QStringLiteral("debounceMilliseconds")).has_value());
    EXPECT_FALSE(store.integer(QStringLiteral("helperEnabled")).has_value());
    EXPECT_FALSE(store.boolValue(QStringLiteral("onboardingStep")).has_value());
    EXPECT_FALSE(store.string(QStringLiteral("missing")).has_value());
    EXPECT_TRUE(store.contains(QStringLiteral("helperEnabled")));
    EXPECT_EQ(store.integer(QStringLiteral("onboardingStep")), 2);
    EXPECT_EQ(store.doubleValue(QStringLiteral("onboardingStep")), 2.0);
}

TEST(SettingsStore, OnlyTheSevenKindsAreStorable)
{
    EXPECT_TRUE(qw::SettingsStore::isStorable(QVariant(QStringList{QStringLiteral("a")})));
    EXPECT_TRUE(qw::SettingsStore::isStorable(QVariant(QVariantMap{{QStringLiteral("k"), QVariant(1.5)}})));
    EXPECT_FALSE(
        qw::SettingsStore::isStorable(QVariant(QVariantMap{{QStringLiteral("k"), QVariant(QDate())}})));
    EXPECT_FALSE(qw::SettingsStore::isStorable(QVariant()));
}
