#include "settings/OnboardingState.h"

#include "core/InMemorySettingsStore.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace qw {
namespace {

using Step = OnboardingState::Step;

// An empty store is a new installation, and stays one once the half-finished guide has written
// settings; any setting of an earlier version marks an existing installation, which never
// shows the guide and keeps its allow list as it was.
TEST(OnboardingStateTest, OnlyAnEmptyStoreIsANewInstallation)
{
    InMemorySettingsStore store;
    {
        OnboardingState first(store);
        EXPECT_EQ(first.step(), Step::privacy);
        EXPECT_TRUE(first.isNewInstallation());
        EXPECT_TRUE(first.shouldPresent());
        EXPECT_EQ(store.boolValue(QStringLiteral("onboardingExplicitAllowlist")), true);
        first.setStep(Step::service);
    }
    ASSERT_TRUE(
        store.setStringArray(QStringLiteral("allowedBundleIDs"), {QStringLiteral("org.gnome.TextEditor")}));
    ASSERT_TRUE(store.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("openai")));
    const OnboardingState second(store);
    EXPECT_TRUE(second.isNewInstallation());
    EXPECT_FALSE(second.completed()) << "left half-way, not finished just because settings now exist";
    EXPECT_EQ(second.step(), Step::service);
    EXPECT_TRUE(second.shouldPresent());

    // A setting of today's program, one only earlier versions wrote, and a per-provider key.
    for (const char* key : {"selectedTranslationProvider", "helperEnabled", "cloudConsent.deepseek"}) {
        InMemorySettingsStore earlier;
        ASSERT_TRUE(earlier.setStringArray(QString::fromLatin1(key), {}));
        const OnboardingState state(earlier);
        EXPECT_FALSE(state.isNewInstallation()) << key;
        EXPECT_TRUE(state.completed()) << key;
        EXPECT_FALSE(state.shouldPresent()) << key;
        EXPECT_FALSE(earlier.contains(QStringLiteral("onboardingExplicitAllowlist"))) << key;
    }
}

TEST(OnboardingStateTest, StoredValuesAreReadWithTheirFallbacks)
{
    const struct {
        const char* name;
        QVariant step;
        Step expected;
    } cases[] = {
        {"last", QVariant(qint64(3)), Step::finish},
        {"one past the last", QVariant(qint64(4)), Step::privacy},
        {"notAnInteger", QVariant(QStringLiteral("2")), Step::privacy},
    };
    for (const auto& c : cases) {
        InMemorySettingsStore store;
        ASSERT_TRUE(store.setObject(QStringLiteral("onboardingStep"), c.step));
        const OnboardingState state(store);
        EXPECT_EQ(state.step(), c.expected) << c.name;
        EXPECT_TRUE(state.hasPresented()) << c.name << ": a stored step means the guide was shown";
    }

    InMemorySettingsStore store;
    ASSERT_TRUE(store.setString(QStringLiteral("onboardingCompleted"), QStringLiteral("yes")));
    ASSERT_TRUE(store.setBool(QStringLiteral("onboardingPresented"), false));
    const OnboardingState state(store);
    EXPECT_FALSE(state.completed()) << "not a Boolean: the new installation's default";
    EXPECT_FALSE(state.hasPresented());
    EXPECT_TRUE(state.shouldPresent());
}

// Postponed, the guide waits for a resume; finished, it is never presented again. Every step
// assignment is saved and announced.
TEST(OnboardingStateTest, PostponingResumingAndFinishingAreSavedAndAnnounced)
{
    InMemorySettingsStore store;
    OnboardingState state(store);
    QSignalSpy shouldPresent(&state, &OnboardingState::shouldPresentChanged);
    QSignalSpy deferred(&state, &OnboardingState::deferredChanged);
    QSignalSpy completed(&state, &OnboardingState::completedChanged);
    QSignalSpy steps(&state, &OnboardingState::stepChanged);

    state.setStep(Step::finish);
    EXPECT_EQ(steps.count(), 1);
    EXPECT_EQ(OnboardingState(store).step(), Step::finish);

    state.postpone();
    ASSERT_FALSE(shouldPresent.isEmpty());
    EXPECT_EQ(shouldPresent.last().at(0).toBool(), false);
    EXPECT_EQ(deferred.count(), 1);
    EXPECT_FALSE(OnboardingState(store).shouldPresent());

    state.resume();
    EXPECT_EQ(shouldPresent.last().at(0).toBool(), true);
    EXPECT_TRUE(OnboardingState(store).shouldPresent());

    state.postpone();
    state.finish();
    EXPECT_FALSE(state.shouldPresent());
    EXPECT_EQ(completed.count(), 1);
    EXPECT_EQ(store.boolValue(QStringLiteral("onboardingDeferred")), false);
    state.postpone(); // after the end, changes nothing about automatic presentation
    const OnboardingState finished(store);
    EXPECT_TRUE(finished.completed());
    EXPECT_FALSE(finished.shouldPresent());
}

} // namespace
} // namespace qw
