#include "settings/AccessibilityRow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qw {

AccessibilityRow::AccessibilityRow(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_label(new QLabel(this)), m_state(SettingsForms::value(this)),
      m_grant(new QPushButton(this)), m_note(SettingsForms::note(this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_label, 0, 0);
    grid->addWidget(m_state, 0, 1);
    grid->addWidget(m_grant, 0, 2);
    grid->addWidget(m_note, 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(m_grant, &QPushButton::clicked, this, [this] { m_model.requestPermission(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void AccessibilityRow::present()
{
    const QString label = L10n::text(L10N_KEY("辅助功能"));
    m_label->setText(label);
    const bool granted = m_model.permissionGranted();
    m_state->setText(granted ? L10n::text(L10N_KEY("已授权")) : L10n::text(L10N_KEY("未授权")));
    m_state->setAccessibleName(label);
    SettingsForms::setText(m_grant, L10n::text(L10N_KEY("授予辅助功能权限")));
    m_grant->setVisible(!granted);
    m_note->setText(
        granted ? L10n::text(L10N_KEY("刚开启时已在运行的 Qt 和 Chromium 应用需要重新启动才能被读取；GTK "
                                      "应用和 Firefox 无需重启。"))
                : L10n::text(L10N_KEY("开启桌面的辅助功能后才能读取获准应用的输入框。开启后，已在运行的 Qt "
                                      "和 Chromium 应用需要重新启动；GTK 应用和 Firefox 无需重启。")));
}

} // namespace qw
