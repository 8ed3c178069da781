#include "settings/CurrentApplicationRow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace qw {

CurrentApplicationRow::CurrentApplicationRow(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_label(new QLabel(this)),
      m_application(SettingsForms::value(this)), m_allow(new QPushButton(this))
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_label);
    row->addWidget(m_application, 1);
    row->addWidget(m_allow);
    connect(m_allow, &QPushButton::clicked, this, [this] { m_model.addCurrentApp(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void CurrentApplicationRow::present()
{
    const QString label = L10n::text(L10N_KEY("当前应用"));
    m_label->setText(label);
    const QString bundle = m_model.currentBundle();
    QString shown = m_model.currentApp();
    if (!bundle.isEmpty()) {
        const QString state = !m_model.allowedBundleIDs().contains(bundle) ? L10n::text(L10N_KEY("未授权"))
                              : m_model.isAppIgnoredToday(bundle) ? L10n::text(L10N_KEY("今日已忽略"))
                                                                  : L10n::text(L10N_KEY("已授权"));
        shown = QStringLiteral("%1（%2） · %3").arg(shown, bundle, state);
    }
    m_application->setText(shown);
    m_application->setAccessibleName(label);
    SettingsForms::setText(m_allow, L10n::text(L10N_KEY("允许读取此应用")));
    m_allow->setVisible(!bundle.isEmpty() && !m_model.allowedBundleIDs().contains(bundle));
}

} // namespace qw
