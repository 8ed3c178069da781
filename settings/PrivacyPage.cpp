#include "settings/PrivacyPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/AccessibilityRow.h"
#include "settings/CloudConsentRow.h"
#include "settings/KeyAccessRow.h"
#include "settings/SettingsForms.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qw {

PrivacyPage::PrivacyPage(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_permissions(new QGroupBox(this)),
      m_accessibility(new AccessibilityRow(model, m_permissions)),
      m_keyAccess(new KeyAccessRow(model, m_permissions)), m_cloud(new QGroupBox(this)),
      m_consent(new CloudConsentRow(model, m_cloud)), m_readingNote(SettingsForms::note(this)),
      m_cloudNote(SettingsForms::note(m_cloud))
{
    auto* permissions = new QVBoxLayout(m_permissions);
    permissions->addWidget(m_accessibility);
    permissions->addWidget(m_keyAccess);
    auto* cloud = new QVBoxLayout(m_cloud);
    cloud->addWidget(m_consent);
    cloud->addWidget(m_cloudNote);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_permissions);
    column->addWidget(m_cloud);
    column->addWidget(m_readingNote);
    column->addStretch(1);
    follow(&model, &AppModel::changed);
    render();
}

void PrivacyPage::present()
{
    SettingsForms::setText(m_permissions, L10n::text(L10N_KEY("权限")));
    SettingsForms::setText(m_cloud, L10n::text(L10N_KEY("云翻译许可")));
    m_readingNote->setText(
        L10n::text(L10N_KEY("只读取获准应用中的当前编辑文本，不记录全局按键，不自动发送。敏感输入框会被排除。"
                            "剪贴板模式可能短暂修改系统剪贴板，且仅在可验证完整选区时执行。")));
    m_cloudNote->setText(L10n::text(L10N_KEY(
        "开启云翻译后，当前输入文本将发送给你选择的 API 服务商；请避免在包含敏感信息的输入框启用。")));
}

} // namespace qw
