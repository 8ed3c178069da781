#include "settings/GeneralPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/LoginStartupGroup.h"
#include "settings/SettingsForms.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qw {

GeneralPage::GeneralPage(AppModel& model, LoginStartup& startup, std::function<void()> openOnboarding,
                         QWidget* parent)
    : SettingsView(parent), m_model(model), m_openOnboarding(std::move(openOnboarding)),
      m_column(new QVBoxLayout(this)), m_languageLabel(new QLabel(this)), m_language(new QComboBox(this)),
      m_startup(new LoginStartupGroup(model, startup, this)), m_onboarding(new QPushButton(this)),
      m_product(SettingsForms::value(this)), m_version(SettingsForms::value(this))
{
    QFormLayout* interface = SettingsForms::group(m_interface, this);
    interface->addRow(m_languageLabel, m_language);
    m_languageLabel->setBuddy(m_language);
    QFormLayout* about = SettingsForms::group(m_about, this);
    about->addRow(m_product);
    about->addRow(m_version);

    auto* onboardingRow = new QHBoxLayout;
    onboardingRow->addWidget(m_onboarding);
    onboardingRow->addStretch(1);
    m_column->addWidget(m_interface);
    m_column->addWidget(m_startup);
    m_column->addLayout(onboardingRow);
    m_column->addWidget(m_about);
    m_column->addStretch(1);

    connect(m_language, &QComboBox::activated, this, [this] {
        m_model.setInterfaceLanguage(static_cast<InterfaceLanguage>(m_language->currentData().toInt()));
        render();
    });
    connect(m_onboarding, &QPushButton::clicked, this, [this] {
        if (m_openOnboarding)
            m_openOnboarding();
    });
    m_onboarding->setVisible(static_cast<bool>(m_openOnboarding));
    follow(&m_model, &AppModel::changed);
    render();
}

void GeneralPage::setUpdatesGroup(QWidget* group)
{
    m_column->insertWidget(m_column->indexOf(m_about), group);
}

void GeneralPage::present()
{
    SettingsForms::setText(m_interface, L10n::text(L10N_KEY("界面")));
    const QString languageName = L10n::text(L10N_KEY("界面语言"));
    m_languageLabel->setText(languageName);
    SettingsForms::name(m_language, languageName);
    SettingsForms::fill(m_language,
                        {{L10n::text(L10N_KEY("跟随系统")), static_cast<int>(InterfaceLanguage::system)},
                         {L10n::text(L10N_KEY("简体中文")), static_cast<int>(InterfaceLanguage::chinese)},
                         {L10n::text(L10N_KEY("English")), static_cast<int>(InterfaceLanguage::english)}},
                        static_cast<int>(m_model.interfaceLanguage()));
    SettingsForms::setText(m_onboarding, L10n::text(L10N_KEY("打开设置引导…")));
    SettingsForms::setText(m_about, L10n::text(L10N_KEY("关于")));
    m_product->setText(QStringLiteral("织语 / Quillweave"));
    const QString version = QCoreApplication::applicationVersion();
    m_version->setText(version.isEmpty() ? QStringLiteral("—") : version);
}

} // namespace qw
