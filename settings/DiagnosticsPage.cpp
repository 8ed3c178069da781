#include "settings/DiagnosticsPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

DiagnosticsPage::DiagnosticsPage(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_note(SettingsForms::note(this)), m_grid(new QGridLayout),
      m_hint(SettingsForms::note(this)), m_refresh(new QPushButton(this))
{
    m_grid->setColumnStretch(1, 1);
    m_grid->setHorizontalSpacing(16);
    auto* refreshRow = new QHBoxLayout;
    refreshRow->addWidget(m_refresh);
    refreshRow->addStretch(1);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_note);
    column->addLayout(m_grid);
    column->addWidget(m_hint);
    column->addLayout(refreshRow);
    column->addStretch(1);
    connect(m_refresh, &QPushButton::clicked, this, [this] { m_model.refreshPermissionStatus(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void DiagnosticsPage::present()
{
    m_note->setText(L10n::text(L10N_KEY("调试信息不包含原文和 API Key")));
    const QList<AppModel::DiagnosticRow> rows = m_model.diagnostics();
    while (m_rows.size() < rows.size()) {
        auto* label = new QLabel(this);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        QLabel* value = SettingsForms::value(this);
        m_grid->addWidget(label, static_cast<int>(m_rows.size()), 0);
        m_grid->addWidget(value, static_cast<int>(m_rows.size()), 1);
        m_rows.append(std::pair<QLabel*, QLabel*>(label, value));
    }
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        const bool shown = i < rows.size();
        m_rows[i].first->setVisible(shown);
        m_rows[i].second->setVisible(shown);
        if (!shown)
            continue;
        m_rows[i].first->setText(rows[i].label);
        m_rows[i].second->setText(rows[i].value);
        m_rows[i].second->setAccessibleName(rows[i].label);
    }
    m_hint->setText(L10n::text(L10N_KEY("若某个应用中不自动出现浮层：先在其中输入演示句“你好”，确认该应用已获"
                                        "允许，再用翻译快捷键对比。只在已允许的应用中检查。")));
    SettingsForms::setText(m_refresh, L10n::text(L10N_KEY("刷新权限状态")));
}

} // namespace qw
