#include "settings/CloudConsentRow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qw {

CloudConsentRow::CloudConsentRow(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_consent(new QCheckBox(this)), m_note(SettingsForms::note(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(m_consent);
    column->addWidget(m_note);
    // Only the user's click: showing the model must not call back into it.
    connect(m_consent, &QCheckBox::clicked, this, [this](bool checked) {
        m_model.setCloudConsent(checked);
        render();
    });
    follow(&m_model, &AppModel::changed);
    render();
}

void CloudConsentRow::present()
{
    SettingsForms::setText(m_consent, L10n::format(L10N_KEY("允许将待翻译文本发送给 %@"),
                                                   {displayName(m_model.selectedProvider())}));
    m_consent->setChecked(m_model.cloudConsent());
    m_note->setText(L10n::text(L10N_KEY("更改接口地址后需重新确认。")));
}

} // namespace qw
