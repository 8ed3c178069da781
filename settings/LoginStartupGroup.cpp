#include "settings/LoginStartupGroup.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/LoginStartup.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

LoginStartupGroup::LoginStartupGroup(AppModel& model, LoginStartup& startup, QWidget* parent)
    : SettingsView(parent), m_model(model), m_startup(startup), m_box(new QGroupBox(this)),
      m_enabled(new QCheckBox(m_box)), m_state(SettingsForms::value(m_box)),
      m_error(SettingsForms::value(m_box)), m_systemSettings(new QPushButton(m_box)),
      m_withdraw(new QPushButton(m_box)), m_note(SettingsForms::note(m_box)), m_suggestion(new QFrame(m_box)),
      m_suggestionText(new QLabel(m_suggestion)), m_suggestEnable(new QPushButton(m_suggestion)),
      m_suggestDismiss(new QPushButton(m_suggestion))
{
    m_suggestion->setFrameShape(QFrame::StyledPanel);
    m_suggestion->setAutoFillBackground(true);
    m_suggestion->setBackgroundRole(QPalette::AlternateBase);
    m_suggestionText->setWordWrap(true);
    auto* suggestionRow = new QHBoxLayout(m_suggestion);
    suggestionRow->addWidget(m_suggestionText, 1);
    suggestionRow->addWidget(m_suggestEnable);
    suggestionRow->addWidget(m_suggestDismiss);

    auto* switchRow = new QHBoxLayout;
    switchRow->addWidget(m_enabled);
    switchRow->addWidget(m_state, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_systemSettings);
    buttons->addWidget(m_withdraw);
    buttons->addStretch(1);
    auto* column = new QVBoxLayout(m_box);
    column->addWidget(m_suggestion);
    column->addLayout(switchRow);
    column->addWidget(m_error);
    column->addLayout(buttons);
    column->addWidget(m_note);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_box);

    QPalette warning = m_error->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    m_error->setPalette(warning);

    connect(m_enabled, &QCheckBox::clicked, this, [this](bool checked) {
        m_startup.setEnabled(checked);
        render();
    });
    connect(m_systemSettings, &QPushButton::clicked, this, [this] { m_startup.openSystemSettings(); });
    connect(m_withdraw, &QPushButton::clicked, this, [this] { m_startup.setEnabled(false); });
    connect(m_suggestEnable, &QPushButton::clicked, this, [this] { m_startup.setEnabled(true); });
    connect(m_suggestDismiss, &QPushButton::clicked, this, [this] { m_startup.setDismissed(true); });
    follow(&m_model, &AppModel::changed);
    follow(&m_startup, &LoginStartup::changed);
    render();
}

void LoginStartupGroup::showEvent(QShowEvent* event)
{
    // The user may have changed the entry in the desktop's own settings meanwhile.
    m_startup.refresh();
    SettingsView::showEvent(event);
}

void LoginStartupGroup::present()
{
    SettingsForms::setText(m_box, L10n::text(L10N_KEY("启动")));
    SettingsForms::setText(m_enabled, L10n::text(L10N_KEY("登录时启动")));
    const LoginItemStatus status = m_startup.status();
    m_enabled->setChecked(status == LoginItemStatus::enabled);
    m_enabled->setEnabled(!m_startup.busy());
    m_state->setText(m_startup.label());
    m_state->setAccessibleName(m_enabled->text());
    m_error->setText(m_startup.errorMessage());
    m_error->setVisible(!m_startup.errorMessage().isEmpty());
    SettingsForms::setText(m_systemSettings, L10n::text(L10N_KEY("打开系统登录项设置")));
    m_systemSettings->setVisible(m_startup.canOpenSystemSettings());
    // An entry the user switched off in the desktop's settings is theirs to switch on again;
    // this program only offers to remove its request.
    SettingsForms::setText(m_withdraw, L10n::text(L10N_KEY("取消登录启动请求")));
    m_withdraw->setVisible(status == LoginItemStatus::requiresApproval);
    m_withdraw->setEnabled(!m_startup.busy());
    m_note->setText(
        L10n::text(L10N_KEY("未运行时无法翻译。可通过 Applications、Dock 或 Spotlight "
                            "启动，也可配置系统快捷指令打开应用。退出后停止翻译，登录启动设置仍保留。")));

    m_suggestion->setVisible(m_model.readyForLoginGuidance() && !m_startup.dismissed() &&
                             status != LoginItemStatus::enabled);
    m_suggestionText->setText(L10n::text(L10N_KEY("建议开启登录时启动，使用聊天和浏览器时即可随时翻译。")));
    SettingsForms::setText(m_suggestEnable, L10n::text(L10N_KEY("开启")));
    SettingsForms::setText(m_suggestDismiss, L10n::text(L10N_KEY("暂不提醒")));
    m_suggestEnable->setEnabled(!m_startup.busy());
}

} // namespace qw
