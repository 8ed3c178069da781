#include "settings/ConnectionRow.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qw {

ConnectionRow::ConnectionRow(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_label(new QLabel(this)), m_status(SettingsForms::value(this)),
      m_note(SettingsForms::note(this)), m_test(new QPushButton(this))
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_label, 0, 0, Qt::AlignTop);
    grid->addWidget(m_status, 0, 1);
    grid->addWidget(m_test, 0, 2, Qt::AlignTop);
    grid->addWidget(m_note, 1, 1, 1, 2);
    grid->setColumnStretch(1, 1);
    connect(m_test, &QPushButton::clicked, this, [this] { m_model.testProviderConnection(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void ConnectionRow::present()
{
    const QString label = L10n::text(L10N_KEY("连接状态"));
    m_label->setText(label);
    m_status->setText(m_model.connectionStatus());
    m_status->setAccessibleName(label);
    m_note->setText(L10n::text(L10N_KEY("此处显示上次测试结果，测试仅发送固定示例文字。")));
    SettingsForms::setText(m_test, m_model.connectionSucceeded() || m_model.serviceFailure()
                                       ? L10n::text(L10N_KEY("重新测试连接"))
                                       : L10n::text(L10N_KEY("测试连接")));
    m_test->setEnabled(!m_model.isTestingConnection());
}

} // namespace qw
