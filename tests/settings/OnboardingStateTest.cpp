#include "settings/OnboardingState.h"

#include "core/InMemorySettingsStore.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace qw {
namespace {

using Step = OnboardingState::Step;

TEST(OnboardingStateTest, EmptyStoreIsANewInstallationThatShowsTheGuide)
{
    InMemorySettingsStore store;
    const OnboardingState state(store);
    EXPECT_EQ(state.step(), Step::privacy);
    EXPECT_TRUE(state.isNewInstallation());
    EXPECT_FALSE(state.completed());
    EXPECT_FALSE(state.deferred());
    EXPECT_FALSE(state.hasPresented());
    EXPECT_TRUE(state.shouldPresent());
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingExplicitAllowlist")), true);
}

TEST(OnboardingStateTest, EachEarlierSettingMarksAnExistingInstallation)
{
    const QStringList earlier = {QStringLiteral("selectedTranslationProvider"),
                                 QStringLiteral("allowedBundleIDs"),
                                 QStringLiteral("cloudConsent"),
                                 QStringLiteral("providerConfigurations.v04"),
                                 QStringLiteral("inputTranslationEnabled"),
                                 QStringLiteral("helperEnabled"),
                                 QStringLiteral("cloudConsent.deepseek")};
    for (const QString& key : earlier) {
        InMemorySettingsStore store;
        ASSERT_TRUE(store.setStringArray(key, {}));
        const OnboardingState state(store);
        EXPECT_FALSE(state.isNewInstallation()) << key.toStdString();
        EXPECT_TRUE(state.completed()) << key.toStdString();
        EXPECT_FALSE(state.shouldPresent()) << key.toStdString();
        EXPECT_FALSE(store.contains(QStringLiteral("onboardingExplicitAllowlist"))) << key.toStdString();
    }
}

TEST(OnboardingStateTest, InstallationThatStartedNewStaysNewAfterConfiguring)
{
    InMemorySettingsStore store;
    {
        OnboardingState first(store);
        first.setStep(Step::service);
    }
    ASSERT_TRUE(
        store.setStringArray(QStringLiteral("allowedBundleIDs"), {QStringLiteral("org.gnome.TextEditor")}));
    ASSERT_TRUE(store.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("openai")));
    const OnboardingState second(store);
    EXPECT_TRUE(second.isNewInstallation());
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingExplicitAllowlist")), true);
    // The guide was left half-way: it is not finished just because settings now exist.
    EXPECT_FALSE(second.completed());
    EXPECT_EQ(second.step(), Step::service);
    EXPECT_TRUE(second.hasPresented());
    EXPECT_TRUE(second.shouldPresent());
}

TEST(OnboardingStateTest, StoredValuesAreReadWithTheirFallbacks)
{
    struct Case {
        const char* name;
        QVariant step;
        Step expected;
    };
    const Case cases[] = {
        {"outOfRange", QVariant(qint64(7)), Step::privacy},
        {"negative", QVariant(qint64(-1)), Step::privacy},
        {"last", QVariant(qint64(3)), Step::finish},
        {"notAnInteger", QVariant(QStringLiteral("2")), Step::privacy},
    };
    for (const Case& c : cases) {
        InMemorySettingsStore store;
        ASSERT_TRUE(store.setObject(QStringLiteral("onboardingStep"), c.step));
        const OnboardingState state(store);
        EXPECT_EQ(state.step(), c.expected) << c.name;
        // A stored step means the guide was on screen before.
        EXPECT_TRUE(state.hasPresented()) << c.name;
    }

    InMemorySettingsStore store;
    ASSERT_TRUE(store.setString(QStringLiteral("onboardingCompleted"), QStringLiteral("yes")));
    ASSERT_TRUE(store.setBool(QStringLiteral("onboardingPresented"), false));
    const OnboardingState state(store);
    EXPECT_FALSE(state.completed()); // not a Boolean: the new installation's default
    EXPECT_FALSE(state.hasPresented());
    EXPECT_TRUE(state.shouldPresent());
}

TEST(OnboardingStateTest, PostponedGuideWaitsForResume)
{
    InMemorySettingsStore store;
    OnboardingState state(store);
    QSignalSpy shouldPresent(&state, &OnboardingState::shouldPresentChanged);
    QSignalSpy deferred(&state, &OnboardingState::deferredChanged);

    state.postpone();
    EXPECT_TRUE(state.hasPresented());
    EXPECT_TRUE(state.deferred());
    EXPECT_FALSE(state.shouldPresent());
    ASSERT_FALSE(shouldPresent.isEmpty());
    EXPECT_EQ(shouldPresent.last().at(0).toBool(), false);
    EXPECT_EQ(deferred.count(), 1);
    EXPECT_FALSE(OnboardingState(store).shouldPresent());

    state.resume();
    EXPECT_FALSE(state.deferred());
    EXPECT_TRUE(state.shouldPresent());
    EXPECT_EQ(shouldPresent.last().at(0).toBool(), true);
    const OnboardingState reloaded(store);
    EXPECT_TRUE(reloaded.hasPresented());
    EXPECT_FALSE(reloaded.deferred());
    EXPECT_TRUE(reloaded.shouldPresent());
}

TEST(OnboardingStateTest, FinishedGuideIsNeverPresentedAgain)
{
    InMemorySettingsStore store;
    OnboardingState state(store);
    state.postpone();
    QSignalSpy completed(&state, &OnboardingState::completedChanged);
    state.finish();
    EXPECT_TRUE(state.completed());
    EXPECT_FALSE(state.deferred());
    EXPECT_FALSE(state.shouldPresent());
    EXPECT_EQ(completed.count(), 1);
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingCompleted")), true);
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingDeferred")), false);
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingPresented")), true);

    // Postponing after the end changes nothing about automatic presentation.
    state.postpone();
    EXPECT_FALSE(OnboardingState(store).shouldPresent());
}

TEST(OnboardingStateTest, StepIsPersistedAndAnnouncedOnEveryAssignment)
{
    InMemorySettingsStore store;
    OnboardingState state(store);
    QSignalSpy steps(&state, &OnboardingState::stepChanged);
    state.setStep(Step::applications);
    state.setStep(Step::applications);
    EXPECT_EQ(steps.count(), 2);
    EXPECT_EQ(store.integer(QStringLiteral("onboardingStep")), 2);
    EXPECT_TRUE(state.setProperty("step", QVariant::fromValue(Step::finish)));
    EXPECT_EQ(OnboardingState(store).step(), Step::finish);
}

} // namespace
} // namespace qw
