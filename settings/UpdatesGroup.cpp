#include "settings/UpdatesGroup.h"

#include "l10n/L10n.h"
#include "settings/SettingsForms.h"
#include "updates/AppUpdates.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

UpdatesGroup::UpdatesGroup(AppUpdates& updates, QWidget* parent)
    : SettingsView(parent), m_updates(updates), m_box(new QGroupBox(this)),
      m_automaticChecks(new QCheckBox(m_box)), m_automaticDownloads(new QCheckBox(m_box)),
      m_check(new QPushButton(m_box)), m_offer(new QWidget(m_box)), m_install(new QPushButton(m_offer)),
      m_later(new QPushButton(m_offer)), m_status(SettingsForms::value(m_box))
{
    m_status->setWordWrap(true);
    auto* offerRow = new QHBoxLayout(m_offer);
    offerRow->setContentsMargins(0, 0, 0, 0);
    offerRow->addWidget(m_install);
    offerRow->addWidget(m_later);
    offerRow->addStretch(1);
    auto* checkRow = new QHBoxLayout;
    checkRow->addWidget(m_check);
    checkRow->addWidget(m_status, 1);
    auto* column = new QVBoxLayout(m_box);
    column->addWidget(m_automaticChecks);
    column->addWidget(m_automaticDownloads);
    column->addLayout(checkRow);
    column->addWidget(m_offer);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(m_box);

    connect(m_automaticChecks, &QCheckBox::clicked, this,
            [this](bool on) { m_updates.setAutomaticChecks(on); });
    connect(m_automaticDownloads, &QCheckBox::clicked, this,
            [this](bool on) { m_updates.setAutomaticDownloads(on); });
    connect(m_check, &QPushButton::clicked, this, [this] { m_updates.check(); });
    connect(m_install, &QPushButton::clicked, this, [this] { m_updates.acceptOffer(); });
    connect(m_later, &QPushButton::clicked, this, [this] { m_updates.declineOffer(); });
    follow(&m_updates, &AppUpdates::changed);
    render();
}

void UpdatesGroup::present()
{
    SettingsForms::setText(m_box, L10n::text(L10N_KEY("应用更新")));
    SettingsForms::setText(m_automaticChecks, L10n::text(L10N_KEY("自动检查更新")));
    SettingsForms::setText(m_automaticDownloads, L10n::text(L10N_KEY("自动下载更新，退出时安装")));
    SettingsForms::setText(m_check, L10n::text(L10N_KEY("检查更新…")));
    SettingsForms::setText(m_install, L10n::text(L10N_KEY("下载并安装")));
    SettingsForms::setText(m_later, L10n::text(L10N_KEY("暂不更新")));
    m_automaticChecks->setChecked(m_updates.automaticChecks());
    m_automaticDownloads->setChecked(m_updates.automaticDownloads());
    const bool offersUpdates = !m_updates.managedBySystem();
    m_automaticChecks->setVisible(offersUpdates);
    m_automaticDownloads->setVisible(offersUpdates);
    m_check->setVisible(offersUpdates);
    m_check->setEnabled(m_updates.available() && m_updates.canCheck());
    m_offer->setVisible(m_updates.offeredVersion().has_value());
    m_status->setText(m_updates.status());
    m_status->setAccessibleName(m_box->title());
}

} // namespace qw
