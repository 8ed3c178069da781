// The first-run guide: each step, postponing and resuming, written to the guide's state as
// the next launch reads it.
#include "settings/ApiKeyEditor.h"
#include "settings/CloudConsentRow.h"
#include "settings/LoginStartupGroup.h"
#include "tests/settings/SettingsWindowFixture.h"

#include <QCheckBox>
#include <QRadioButton>

namespace qw::test {
namespace {

using Step = OnboardingState::Step;

TEST_F(SettingsWindowTest, TheGuideWritesEachStepAndResumesWhereTheUserStopped)
{
    OnboardingState first(settings);
    ASSERT_TRUE(first.shouldPresent());
    OnboardingWindow& shown = openGuide(first);
    settleViews();
    EXPECT_EQ(shown.shownStep(), Step::privacy);
    EXPECT_EQ(shown.progress()->text(), QStringLiteral("第 1 步，共 4 步"));
    EXPECT_FALSE(shown.backButton()->isEnabled());
    EXPECT_FALSE(shown.waylandNote()->isVisible()) << "an X11 session has nothing missing";

    // The service step: the demo needs nothing; a provider shows its form, key and consent.
    click(shown.nextButton());
    EXPECT_TRUE(shown.demoChoice()->isChecked());
    EXPECT_FALSE(shown.keyEditor()->isVisible());
    click(shown.cloudChoice());
    EXPECT_TRUE(shown.keyEditor()->isVisible());
    click(shown.consent()->consent());
    EXPECT_TRUE(model->cloudConsent());
    click(shown.demoChoice());
    EXPECT_FALSE(model->cloudConsent()) << "the demo sends nothing anywhere";

    click(shown.nextButton());
    EXPECT_EQ(settings.integer(QStringLiteral("onboardingStep")), 2);
    click(shown.postponeButton());
    EXPECT_FALSE(shown.isVisible());
    EXPECT_EQ(settings.boolValue(QStringLiteral("onboardingDeferred")), true);

    // The next launch does not open it by itself; opened on request it goes on at step 3.
    OnboardingState second(settings);
    EXPECT_FALSE(second.shouldPresent());
    OnboardingWindow& resumed = openGuide(second, true);
    settleViews();
    EXPECT_EQ(resumed.shownStep(), Step::applications);
    EXPECT_EQ(settings.boolValue(QStringLiteral("onboardingDeferred")), false);

    resumed.showStep(Step::privacy);
    EXPECT_TRUE(resumed.waylandNote()->isVisible());
    EXPECT_TRUE(resumed.waylandNote()->text().contains(QStringLiteral("全局快捷键")))
        << "says what does not work yet";
    resumed.showStep(Step::applications);
    click(resumed.nextButton());
    EXPECT_EQ(resumed.shownStep(), Step::finish);
    EXPECT_FALSE(resumed.postponeButton()->isVisible());
    EXPECT_FALSE(resumed.nextButton()->isVisible());
    EXPECT_TRUE(resumed.startup()->enabledSwitch()->isVisible());
    click(resumed.finishButton());
    EXPECT_EQ(settings.boolValue(QStringLiteral("onboardingCompleted")), true);
    EXPECT_FALSE(OnboardingState(settings).shouldPresent());
}

} // namespace
} // namespace qw::test
