// Every page of the settings window and every step of the guide at their smallest size, in both
// languages: no text may be cut off, and each is written as a picture for a person to look at.
#include "tests/settings/SettingsWindowFixture.h"

#include <QDir>
#include <QScrollArea>
#include <QStackedWidget>

namespace qw::test {
namespace {

// Texts that do not fit the room their widget was given.
QStringList cutOffTexts(QWidget* root)
{
    QStringList problems;
    const auto describe = [](QWidget* widget, const QString& text) {
        return QStringLiteral("%1 “%2” %3×%4")
            .arg(QString::fromLatin1(widget->metaObject()->className()), text)
            .arg(widget->width())
            .arg(widget->height());
    };
    for (QLabel* label : root->findChildren<QLabel*>()) {
        if (!label->isVisibleTo(root) || label->text().isEmpty() || label->pixmap().isNull() == false)
            continue;
        const bool fits = label->wordWrap() ? label->heightForWidth(label->width()) <= label->height() + 1
                                            : label->sizeHint().width() <= label->width() + 1;
        if (!fits)
            problems << describe(label, label->text());
    }
    for (QAbstractButton* button : root->findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(root) && !button->text().isEmpty() &&
            button->sizeHint().width() > button->width() + 1)
            problems << describe(button, button->text());
    }
    return problems;
}

struct Look {
    const char* name;
    InterfaceLanguage language;
};

class SettingsLookTest : public SettingsWindowTest, public ::testing::WithParamInterface<Look> {
protected:
    void save(QWidget* widget, const QString& name)
    {
        const QString artifacts = QStringLiteral(QW_SETTINGS_ARTIFACTS);
        ASSERT_TRUE(QDir().mkpath(artifacts));
        const QString file = QStringLiteral("%1/%2-%3@%4x.png")
                                 .arg(artifacts, name, QLatin1String(GetParam().name))
                                 .arg(widget->devicePixelRatioF());
        EXPECT_TRUE(widget->grab().save(file));
    }
};

TEST_P(SettingsLookTest, EveryPageAndStepFitsAtTheSmallestSize)
{
    installed.applications = {
        {AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"), QString()}};
    makeWindowModel();
    ASSERT_TRUE(model->setInterfaceLanguage(GetParam().language));
    SettingsWindow& shown = openWindow();
    shown.resize(SettingsWindow::minimumWindowSize);
    for (SettingsSection section : allSettingsSections()) {
        shown.showSection(section);
        settleViews();
        EXPECT_EQ(shown.size(), SettingsWindow::minimumWindowSize);
        const QString name = QStringLiteral("settings-") + commandName(section);
        EXPECT_EQ(cutOffTexts(shown.page(section)), QStringList()) << name.toStdString();
        save(&shown, name);
        // The whole page, also the part below the fold.
        save(shown.page(section), name + QStringLiteral("-page"));
    }

    OnboardingState onboarding(settings);
    OnboardingWindow& guided = openGuide(onboarding);
    guided.cloudChoice()->click();
    for (int step = 0; step < 4; ++step) {
        guided.showStep(static_cast<OnboardingState::Step>(step));
        settleViews();
        EXPECT_EQ(guided.size(), OnboardingWindow::windowSize);
        const QString name = QStringLiteral("guide-%1").arg(step + 1);
        EXPECT_EQ(cutOffTexts(&guided), QStringList()) << name.toStdString();
        save(&guided, name);
    }
}

INSTANTIATE_TEST_SUITE_P(Looks, SettingsLookTest,
                         ::testing::Values(Look{"zh-Hans", InterfaceLanguage::chinese},
                                           Look{"en", InterfaceLanguage::english}),
                         [](const ::testing::TestParamInfo<Look>& info) {
                             return std::string(info.param.name) == "en" ? "English" : "Chinese";
                         });

} // namespace
} // namespace qw::test
