#include "model/ProviderSettings.h"

#include "model/AppSettings.h"
#include "tests/support/SwitchableSettingsStore.h"

#include <gtest/gtest.h>

namespace qw::test {
namespace {

const QString kAddress = QStringLiteral("https://llm.example.com/v1");

// What the next start of the program reads from the same file.
bool storedConsent(SettingsStore& store)
{
    return AppSettings(store, {}, QDateTime::currentDateTimeUtc()).values().cloudConsent;
}

TEST(ProviderSettingsTest, ConsentHoldsOnlyForTheEndpointItWasGivenFor)
{
    SwitchableSettingsStore store;
    AppSettings settings(store, {}, QDateTime::currentDateTimeUtc());
    ProviderSettings providers(settings);
    ASSERT_TRUE(providers.select(TranslationProvider::custom).saved);

    // No address yet: nothing to consent to.
    const ProviderSettings::Change refused = providers.setConsent(true);
    EXPECT_TRUE(refused.refusal.has_value());
    EXPECT_FALSE(providers.consent());
    EXPECT_FALSE(storedConsent(store));

    ASSERT_TRUE(providers.configure(QStringLiteral("  ") + kAddress, QStringLiteral("m1")).saved);
    ASSERT_TRUE(providers.setConsent(true).saved);
    EXPECT_TRUE(storedConsent(store));

    // Another model at the same address keeps the consent; another address takes it back, in
    // this run and in the file.
    EXPECT_FALSE(providers.configure(kAddress, QStringLiteral("m2")).consentTaken);
    EXPECT_TRUE(storedConsent(store));
    EXPECT_TRUE(providers.configure(QStringLiteral("https://other.example.com/v1"), QStringLiteral("m2"))
                    .consentTaken);
    EXPECT_FALSE(providers.consent());
    EXPECT_FALSE(storedConsent(store));
    EXPECT_FALSE(store.keys().contains(QStringLiteral("cloudConsentEndpoint.custom")));

    // A provider's consent comes back with its selection, and only its own.
    ASSERT_TRUE(providers.setConsent(true).saved);
    ASSERT_TRUE(providers.select(TranslationProvider::openAI).saved);
    EXPECT_FALSE(providers.consent());
    ASSERT_TRUE(providers.select(TranslationProvider::custom).saved);
    EXPECT_TRUE(providers.consent());
    EXPECT_EQ(providers.current().baseURL, QStringLiteral("https://other.example.com/v1"));
    ASSERT_TRUE(providers.setConsent(false).saved);
    EXPECT_FALSE(store.keys().contains(QStringLiteral("cloudConsentEndpoint.custom")));
}

TEST(ProviderSettingsTest, AWithdrawalHoldsUnsavedWhileAnUnsavedConsentDoesNotCount)
{
    SwitchableSettingsStore store;
    AppSettings settings(store, {}, QDateTime::currentDateTimeUtc());
    ProviderSettings providers(settings);
    ASSERT_TRUE(providers.setConsent(true).saved);

    store.refuses = true;
    const ProviderSettings::Change withdrawal = providers.setConsent(false);
    EXPECT_FALSE(withdrawal.saved);
    EXPECT_FALSE(providers.consent());

    const ProviderSettings::Change consent = providers.setConsent(true);
    EXPECT_FALSE(consent.saved);
    EXPECT_FALSE(providers.consent());

    // A built-in provider keeps its own address whatever is asked, and an unsaved change is
    // not taken.
    EXPECT_FALSE(
        providers.configure(QStringLiteral("https://elsewhere.example.com"), QStringLiteral("m")).saved);
    EXPECT_EQ(providers.current(), ProviderConfiguration::defaults(TranslationProvider::openAI));
    store.refuses = false;
    ASSERT_TRUE(
        providers.configure(QStringLiteral("https://elsewhere.example.com"), QStringLiteral(" m ")).saved);
    EXPECT_EQ(providers.current(),
              (ProviderConfiguration{TranslationProvider::openAI,
                                     ProviderConfiguration::defaults(TranslationProvider::openAI).baseURL,
                                     QStringLiteral("m")}));
}

} // namespace
} // namespace qw::test
