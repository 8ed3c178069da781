// The updates group of the settings window's general page, over a started updater; its
// picture in both languages is written as an artifact.
#include "l10n/L10n.h"
#include "settings/GeneralPage.h"
#include "settings/UpdatesGroup.h"
#include "tests/settings/SettingsWindowFixture.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "updates/AppUpdates.h"

#include <QCheckBox>
#include <QDir>

namespace qw::test {
namespace {

// An installer that is never reached: the page only shows the updater.
class UnusedInstaller final : public UpdateInstaller {
public:
    void removeLeftovers() override {}
    QCoro::Task<bool> install(QVersionNumber, QByteArray) override { co_return false; }
    bool relaunch() override { return false; }
};

UpdateSetup installedFor(const QString& installation)
{
    return {{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.4.0")},
             {QStringLiteral("QuillweaveInstallation"), installation},
             {QStringLiteral("QuillweaveUpdatesEnabled"), true},
             {QStringLiteral("SUFeedURL"), QStringLiteral("https://updates.quillweave.org/feed.xml")},
             {QStringLiteral("SUPublicEDKey"), QString::fromLatin1(QByteArray(32, 'k').toBase64())}},
            std::make_shared<UnusedInstaller>(),
            {}};
}

struct Look {
    const char* name;
    InterfaceLanguage language;
};

class UpdatesPageTest : public SettingsWindowTest, public ::testing::WithParamInterface<Look> {
protected:
    UpdatesGroup& openGeneralPage(AppUpdates& shown)
    {
        if (!model)
            makeWindowModel();
        window = std::make_unique<SettingsWindow>(
            SettingsWindow::Shared{*model, startup, installed, [] {}, &shown});
        window->resize(SettingsWindow::minimumWindowSize);
        window->show();
        window->showSection(SettingsSection::general);
        settleViews();
        UpdatesGroup* group = window->generalPage()->findChild<UpdatesGroup*>();
        EXPECT_TRUE(group && group->isVisible());
        return *group;
    }

    std::optional<AppUpdates::Switches> saved;
    AppUpdates updates{time, {}, [this](AppUpdates::Switches s) { saved = s; }, {}};
};

TEST_P(UpdatesPageTest, ShowsTheSwitchesTheCheckAndTheStatus)
{
    makeWindowModel();
    ASSERT_TRUE(model->setInterfaceLanguage(GetParam().language));
    settleViews();
    updates.start(installedFor(QStringLiteral("user")));
    UpdatesGroup& group = openGeneralPage(updates);
    EXPECT_TRUE(group.automaticChecksSwitch()->isChecked());
    EXPECT_FALSE(group.automaticDownloadsSwitch()->isChecked());
    EXPECT_TRUE(group.checkButton()->isEnabled());
    EXPECT_EQ(group.status()->text(), L10n::text(QStringLiteral("更新由签名验证，安装前需要确认")));

    click(group.automaticDownloadsSwitch());
    ASSERT_TRUE(saved);
    EXPECT_TRUE(saved->automaticDownloads);
    EXPECT_TRUE(updates.automaticDownloads());

    const QString artifacts = QStringLiteral(QW_UPDATES_ARTIFACTS);
    ASSERT_TRUE(QDir().mkpath(artifacts));
    const QString name =
        QStringLiteral("%1/settings-general-updates-%2").arg(artifacts, QLatin1String(GetParam().name));
    EXPECT_TRUE(window->grab().save(name + QStringLiteral(".png")));
    EXPECT_TRUE(window->generalPage()->grab().save(name + QStringLiteral("-page.png")));
}

INSTANTIATE_TEST_SUITE_P(Looks, UpdatesPageTest,
                         ::testing::Values(Look{"zh-Hans", InterfaceLanguage::chinese},
                                           Look{"en", InterfaceLanguage::english}),
                         [](const auto& info) {
                             return std::string(info.param.name == std::string("en") ? "en" : "zh");
                         });

TEST_F(UpdatesPageTest, ASystemInstallationShowsOnlyWhereItsUpdatesComeFrom)
{
    InterfaceLanguageScope chinese{InterfaceLanguage::chinese};
    updates.start(installedFor(QStringLiteral("system")));
    UpdatesGroup& group = openGeneralPage(updates);
    EXPECT_FALSE(group.automaticChecksSwitch()->isVisible());
    EXPECT_FALSE(group.automaticDownloadsSwitch()->isVisible());
    EXPECT_FALSE(group.checkButton()->isVisible());
    EXPECT_TRUE(group.status()->isVisible());
    EXPECT_EQ(group.status()->text(), QStringLiteral("此安装由系统的软件包管理器更新"));
}

} // namespace
} // namespace qw::test
