#include "settings/ApplicationsPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/ApplicationChooser.h"
#include "settings/ConfirmationDialogs.h"
#include "settings/CurrentApplicationRow.h"
#include "settings/SettingsForms.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace qw {

ApplicationsPage::ApplicationsPage(AppModel& model, InstalledApplications& installed, QWidget* parent)
    : SettingsView(parent), m_model(model), m_installed(installed), m_heading(new QLabel(this)),
      m_perApplicationNote(SettingsForms::note(this)), m_pauseNote(SettingsForms::note(this)),
      m_current(new CurrentApplicationRow(model, this)), m_add(new QPushButton(this)),
      m_empty(SettingsForms::note(this)), m_list(new QVBoxLayout)
{
    QFont headingFont = m_heading->font();
    headingFont.setBold(true);
    m_heading->setFont(headingFont);
    auto* addRow = new QHBoxLayout;
    addRow->addWidget(m_add);
    addRow->addStretch(1);
    m_list->setSpacing(4);

    auto* column = new QVBoxLayout(this);
    column->addWidget(m_heading);
    column->addWidget(m_perApplicationNote);
    column->addWidget(m_pauseNote);
    column->addWidget(m_current);
    column->addLayout(addRow);
    column->addWidget(m_empty);
    column->addLayout(m_list);
    column->addStretch(1);

    connect(m_add, &QPushButton::clicked, this, [this] { openChooser(); });
    follow(&m_model, &AppModel::changed);
    render();
}

void ApplicationsPage::openChooser()
{
    if (m_chooser) {
        m_chooser->raise();
        return;
    }
    m_chooser = new ApplicationChooser(m_installed, this);
    m_chooser->setAttribute(Qt::WA_DeleteOnClose);
    m_chooser->setWindowModality(Qt::WindowModal);
    connect(m_chooser, &ApplicationChooser::chosen, this, [this](const TranslationApplication& app) {
        // A browser asks for its own confirmation before anything is allowed.
        m_model.requestAllowApplication(app);
    });
    connect(m_chooser, &QObject::destroyed, this, [this] { m_chooser = nullptr; });
    m_chooser->open();
}

void ApplicationsPage::rebuildRows(const QList<TranslationApplication>& apps)
{
    for (const Row& row : std::as_const(m_rows))
        delete row.widget;
    m_rows.clear();
    for (const TranslationApplication& app : apps) {
        Row row;
        row.app = app;
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::StyledPanel);
        row.widget = frame;
        row.name = new QLabel(frame);
        QFont nameFont = row.name->font();
        nameFont.setBold(true);
        row.name->setFont(nameFont);
        row.details = SettingsForms::value(frame);
        row.pause = new QPushButton(frame);
        row.revoke = new QPushButton(frame);
        auto* texts = new QVBoxLayout;
        texts->addWidget(row.name);
        texts->addWidget(row.details);
        auto* line = new QHBoxLayout(frame);
        line->addLayout(texts, 1);
        line->addWidget(row.pause);
        line->addWidget(row.revoke);
        connect(row.pause, &QPushButton::clicked, this, [this, app] {
            if (m_model.isAppIgnoredToday(app.bundleID))
                m_model.resumeApp(app.bundleID);
            else
                m_model.ignoreAppToday(app);
        });
        connect(row.revoke, &QPushButton::clicked, this, [this, app] {
            AppModel* model = &m_model;
            const QString id = app.bundleID;
            ConfirmationDialogs::askRevoke(window(), app, [model, id] { model->removeAllowedApp(id); });
        });
        m_list->addWidget(frame);
        m_rows.append(row);
    }
}

void ApplicationsPage::present()
{
    m_heading->setText(L10n::text(L10N_KEY("已允许的应用")));
    m_perApplicationNote->setText(
        L10n::text(L10N_KEY("必须单独允许每个应用。打开菜单栏不会授权任何其他应用。")));
    m_pauseNote->setText(L10n::text(
        L10N_KEY("今日忽略只暂停当前应用的输入与页面选区翻译，本地午夜恢复；取消授权后需重新允许。")));
    SettingsForms::setText(m_add, L10n::text(L10N_KEY("添加应用…")));

    QList<TranslationApplication> apps;
    for (const QString& id : m_model.allowedBundleIDs())
        apps.append(m_model.applicationIdentity(id));
    std::sort(apps.begin(), apps.end(), [](const TranslationApplication& a, const TranslationApplication& b) {
        const int byName = QString::localeAwareCompare(a.name, b.name);
        return byName != 0 ? byName < 0 : a.bundleID < b.bundleID;
    });
    bool same = apps.size() == m_rows.size();
    for (qsizetype i = 0; same && i < apps.size(); ++i)
        same = apps[i] == m_rows[i].app;
    if (!same)
        rebuildRows(apps);

    m_empty->setText(L10n::text(L10N_KEY("尚未允许任何应用")));
    m_empty->setVisible(apps.isEmpty());
    for (const Row& row : std::as_const(m_rows)) {
        const bool paused = m_model.isAppIgnoredToday(row.app.bundleID);
        row.name->setText(row.app.name);
        row.details->setText(L10n::text(L10N_KEY("应用标识")) + QStringLiteral("：") + row.app.bundleID +
                             QStringLiteral(" · ") +
                             (paused ? L10n::text(L10N_KEY("今日已忽略")) : L10n::text(L10N_KEY("已授权"))));
        SettingsForms::setText(row.pause, paused ? L10n::text(L10N_KEY("恢复"))
                                                 : L10n::text(L10N_KEY("今日忽略此应用")));
        SettingsForms::setText(row.revoke, L10n::text(L10N_KEY("取消授权…")));
        row.widget->setAccessibleName(row.app.name);
    }
}

} // namespace qw
