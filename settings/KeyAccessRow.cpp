#include "settings/KeyAccessRow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qw {

KeyAccessRow::KeyAccessRow(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_label(new QLabel(this)), m_state(SettingsForms::value(this)),
      m_detail(SettingsForms::note(this)), m_authorize(new QPushButton(this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_label, 0, 0);
    grid->addWidget(m_state, 0, 1);
    grid->addWidget(m_authorize, 0, 2);
    grid->addWidget(m_detail, 1, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    connect(m_authorize, &QPushButton::clicked, this, [this] { m_model.authorizeCredential(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void KeyAccessRow::present()
{
    const QString label = L10n::text(L10N_KEY("API Key 访问"));
    m_label->setText(label);
    m_state->setText(m_model.apiKeyAuthorizationLabel());
    m_state->setAccessibleName(label);
    m_detail->setText(m_model.hasAPIKey() ? qw::label(m_model.credentialState()) : QString());
    m_detail->setVisible(m_model.hasAPIKey());
    SettingsForms::setText(m_authorize, L10n::text(L10N_KEY("授权读取密钥")));
    m_authorize->setVisible(m_model.hasAPIKey() && m_model.credentialState() != CredentialState::accessible);
    m_authorize->setEnabled(!m_model.isAuthorizingKey());
}

} // namespace qw
