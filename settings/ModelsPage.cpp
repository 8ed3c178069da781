#include "settings/ModelsPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/ApiKeyEditor.h"
#include "settings/ConnectionRow.h"
#include "settings/ProviderForm.h"
#include "settings/SettingsForms.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

ModelsPage::ModelsPage(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_providerGroup(new QGroupBox(this)),
      m_provider(new ProviderForm(model, m_providerGroup)), m_keyGroup(new QGroupBox(this)),
      m_key(new ApiKeyEditor(model, m_keyGroup)), m_connectionGroup(new QGroupBox(this)),
      m_connection(new ConnectionRow(model, m_connectionGroup)), m_privacy(new QPushButton(m_connectionGroup))
{
    (new QVBoxLayout(m_providerGroup))->addWidget(m_provider);
    (new QVBoxLayout(m_keyGroup))->addWidget(m_key);
    auto* connection = new QVBoxLayout(m_connectionGroup);
    connection->addWidget(m_connection);
    auto* privacyRow = new QHBoxLayout;
    privacyRow->addWidget(m_privacy);
    privacyRow->addStretch(1);
    connection->addLayout(privacyRow);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_providerGroup);
    column->addWidget(m_keyGroup);
    column->addWidget(m_connectionGroup);
    column->addStretch(1);
    connect(m_privacy, &QPushButton::clicked, this,
            [this] { Q_EMIT sectionRequested(SettingsSection::privacy); });
    follow(&model, &AppModel::changed);
    render();
}

void ModelsPage::present()
{
    SettingsForms::setText(m_providerGroup, L10n::text(L10N_KEY("服务配置")));
    SettingsForms::setText(m_keyGroup, L10n::text(L10N_KEY("API Key")));
    SettingsForms::setText(m_connectionGroup, L10n::text(L10N_KEY("连接")));
    SettingsForms::setText(m_privacy, L10n::text(L10N_KEY("管理密钥访问与云翻译许可…")));
}

} // namespace qw
