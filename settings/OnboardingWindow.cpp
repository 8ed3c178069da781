#include "settings/OnboardingWindow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/AccessibilityRow.h"
#include "settings/ApiKeyEditor.h"
#include "settings/ApplicationsPage.h"
#include "settings/CloudConsentRow.h"
#include "settings/ConnectionRow.h"
#include "settings/LoginStartupGroup.h"
#include "settings/ProviderForm.h"
#include "settings/SettingsForms.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace qw {

namespace {

constexpr int kStepCount = 4;

QLabel* introLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

} // namespace

OnboardingWindow::OnboardingWindow(Shared shared, QWidget* parent)
    : SettingsView(parent), m_model(shared.model), m_onboarding(shared.onboarding),
      m_loginStartup(shared.startup), m_installed(shared.installedApplications),
      m_usesCloud(shared.model.cloudConsent() || shared.model.hasAPIKey()), m_title(new QLabel(this)),
      m_progress(SettingsForms::note(this)), m_steps(new QStackedWidget(this)),
      m_postpone(new QPushButton(this)), m_back(new QPushButton(this)), m_next(new QPushButton(this)),
      m_finish(new QPushButton(this))
{
    m_waylandSession = shared.waylandSession;
    setWindowFlag(Qt::Window);
    setMinimumSize(windowSize);
    resize(windowSize);

    QFont titleFont = m_title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    m_title->setFont(titleFont);
    m_title->setWordWrap(true);

    addStep(privacyStep());
    addStep(serviceStep());
    addStep(applicationsStep());
    addStep(finishStep());

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_postpone);
    buttons->addStretch(1);
    buttons->addWidget(m_back);
    buttons->addWidget(m_next);
    buttons->addWidget(m_finish);
    m_next->setDefault(true);
    m_finish->setDefault(true);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 16);
    column->addWidget(m_title);
    column->addWidget(m_progress);
    column->addWidget(m_steps, 1);
    column->addLayout(buttons);

    connect(m_back, &QPushButton::clicked, this, [this] { go(-1); });
    connect(m_next, &QPushButton::clicked, this, [this] { go(1); });
    connect(m_postpone, &QPushButton::clicked, this, [this] {
        m_onboarding.postpone();
        close();
    });
    connect(m_finish, &QPushButton::clicked, this, [this] {
        m_onboarding.finish();
        close();
    });
    connect(m_demo, &QRadioButton::clicked, this, [this] {
        m_usesCloud = false;
        // The demo sends nothing anywhere: a consent given before is withdrawn.
        if (m_model.cloudConsent())
            m_model.setCloudConsent(false);
        render();
    });
    connect(m_cloud, &QRadioButton::clicked, this, [this] {
        m_usesCloud = true;
        render();
    });

    m_steps->setCurrentIndex(static_cast<int>(m_onboarding.step()));
    follow(&m_model, &AppModel::changed);
    follow(&m_onboarding, &OnboardingState::stepChanged);
    render();
}

void OnboardingWindow::addStep(QWidget* content)
{
    auto* scroll = new QScrollArea(m_steps);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    m_steps->addWidget(scroll);
}

QWidget* OnboardingWindow::privacyStep()
{
    auto* step = new QWidget;
    m_privacyIntro = introLabel(step);
    m_privacyReading = SettingsForms::note(step);
    m_privacySending = SettingsForms::note(step);
    m_privacyWayland = SettingsForms::note(step);
    m_privacyWayland->setVisible(m_waylandSession);
    m_accessibility = new AccessibilityRow(m_model, step);
    auto* column = new QVBoxLayout(step);
    column->addWidget(m_privacyIntro);
    column->addWidget(m_privacyReading);
    column->addWidget(m_privacySending);
    column->addWidget(m_privacyWayland);
    column->addSpacing(12);
    column->addWidget(m_accessibility);
    column->addStretch(1);
    return step;
}

QWidget* OnboardingWindow::serviceStep()
{
    auto* step = new QWidget;
    m_serviceIntro = introLabel(step);
    m_demo = new QRadioButton(step);
    m_cloud = new QRadioButton(step);
    m_cloudControls = new QWidget(step);
    m_provider = new ProviderForm(m_model, m_cloudControls);
    m_key = new ApiKeyEditor(m_model, m_cloudControls);
    m_consent = new CloudConsentRow(m_model, m_cloudControls);
    m_connection = new ConnectionRow(m_model, m_cloudControls);
    auto* cloud = new QVBoxLayout(m_cloudControls);
    cloud->setContentsMargins(24, 0, 0, 0);
    cloud->addWidget(m_provider);
    cloud->addWidget(m_key);
    cloud->addWidget(m_consent);
    cloud->addWidget(m_connection);
    auto* column = new QVBoxLayout(step);
    column->addWidget(m_serviceIntro);
    column->addWidget(m_demo);
    column->addWidget(m_cloud);
    column->addWidget(m_cloudControls);
    column->addStretch(1);
    return step;
}

QWidget* OnboardingWindow::applicationsStep()
{
    auto* step = new QWidget;
    m_applicationsIntro = introLabel(step);
    m_applications = new ApplicationsPage(m_model, m_installed, step);
    auto* column = new QVBoxLayout(step);
    column->addWidget(m_applicationsIntro);
    column->addWidget(m_applications, 1);
    return step;
}

QWidget* OnboardingWindow::finishStep()
{
    auto* step = new QWidget;
    m_finishIntro = introLabel(step);
    m_finishStatus = SettingsForms::value(step);
    m_startup = new LoginStartupGroup(m_model, m_loginStartup, step);
    auto* column = new QVBoxLayout(step);
    column->addWidget(m_finishIntro);
    column->addWidget(m_finishStatus);
    column->addSpacing(12);
    column->addWidget(m_startup);
    column->addStretch(1);
    return step;
}

void OnboardingWindow::showEvent(QShowEvent* event)
{
    // Shown once more: a postponed guide is no longer postponed.
    m_onboarding.resume();
    SettingsView::showEvent(event);
}

OnboardingState::Step OnboardingWindow::shownStep() const
{
    return static_cast<OnboardingState::Step>(m_steps->currentIndex());
}

void OnboardingWindow::showStep(OnboardingState::Step step)
{
    // Written first: the window shows the step the state holds.
    m_onboarding.setStep(step);
    m_steps->setCurrentIndex(static_cast<int>(m_onboarding.step()));
    render();
}

void OnboardingWindow::go(int offset)
{
    const int index = std::clamp(m_steps->currentIndex() + offset, 0, kStepCount - 1);
    showStep(static_cast<OnboardingState::Step>(index));
}

// Every key stays one literal, however long.
// clang-format off
void OnboardingWindow::present()
{
    setWindowTitle(L10n::text(L10N_KEY("设置引导")));
    const OnboardingState::Step step = shownStep();
    const int index = static_cast<int>(step);
    switch (step) {
    case OnboardingState::Step::privacy:
        m_title->setText(L10n::text(L10N_KEY("读取什么、发送什么")));
        break;
    case OnboardingState::Step::service:
        m_title->setText(L10n::text(L10N_KEY("选择翻译服务")));
        break;
    case OnboardingState::Step::applications:
        m_title->setText(L10n::text(L10N_KEY("允许第一个应用")));
        break;
    case OnboardingState::Step::finish:
        m_title->setText(L10n::text(L10N_KEY("设置完成")));
        break;
    }
    m_progress->setText(
        L10n::format(L10N_KEY("第 %@ 步，共 %@ 步"), {L10n::number(index + 1), L10n::number(kStepCount)}));

    SettingsForms::setText(m_postpone, L10n::text(L10N_KEY("稍后设置")));
    SettingsForms::setText(m_back, L10n::text(L10N_KEY("上一步")));
    SettingsForms::setText(m_next, L10n::text(L10N_KEY("下一步")));
    SettingsForms::setText(m_finish, L10n::text(L10N_KEY("完成")));
    m_back->setEnabled(index > 0);
    m_next->setVisible(index < kStepCount - 1);
    m_finish->setVisible(index == kStepCount - 1);
    m_postpone->setVisible(index < kStepCount - 1);

    m_privacyIntro->setText(L10n::text(L10N_KEY(
        "织语在你单独允许的应用里翻译你正在输入或选中的文字。译文只在你确认后才会替换，绝不会替你发送。")));
    m_privacyReading->setText(
        L10n::text(L10N_KEY("只读取获准应用中的当前编辑文本，不记录全局按键，不自动发送。敏感输入框会被排除。剪贴板模式可能短暂修改系统剪贴板，且仅在可验证完整选区时执行。")));
    m_privacySending->setText(L10n::text(L10N_KEY(
        "开启云翻译后，当前输入文本将发送给你选择的 API 服务商；请避免在包含敏感信息的输入框启用。")));
    m_privacyWayland->setText(L10n::text(L10N_KEY(
        "在 Wayland 上可用：通过辅助功能（AT-SPI）读取和写入获准应用的输入框。暂不可用：全局快捷键和识别前台应用（只在 XWayland 应用位于前台时有效），请用托盘菜单和浮窗操作。")));

    m_serviceIntro->setText(L10n::text(
        L10N_KEY("可以先用演示模式试用（只翻译示例句，不发送任何内容），也可以现在配置云翻译服务商。")));
    SettingsForms::setText(m_demo, L10n::text(L10N_KEY("先使用演示模式")));
    SettingsForms::setText(m_cloud, L10n::text(L10N_KEY("使用云翻译服务商")));
    m_demo->setChecked(!m_usesCloud);
    m_cloud->setChecked(m_usesCloud);
    m_cloudControls->setVisible(m_usesCloud);

    m_applicationsIntro->setText(L10n::text(
        L10N_KEY("切换到想要翻译的应用（例如聊天或文本编辑器）后回到这里允许它，或从已安装的应用中选择。")));

    m_finishIntro->setText(L10n::text(L10N_KEY("设置已保存，之后可随时在设置中更改。")));
    m_finishStatus->setText(L10n::text(L10N_KEY("当前状态")) + QStringLiteral("：") + m_model.runtimeStatus());
}
// clang-format on

} // namespace qw
