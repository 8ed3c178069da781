#include "settings/ProviderForm.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace qw {

const QString ProviderForm::customModelTag = QStringLiteral("__custom__");

ProviderForm::ProviderForm(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_form(new QFormLayout(this)), m_providerLabel(new QLabel(this)),
      m_provider(new QComboBox(this)), m_addressLabel(new QLabel(this)), m_address(new QLineEdit(this)),
      m_official(SettingsForms::note(this)), m_modelLabel(new QLabel(this)),
      m_modelPicker(new QComboBox(this)), m_modelFieldLabel(new QLabel(this)),
      m_modelField(new QLineEdit(this)), m_modelNote(SettingsForms::note(this)), m_save(new QPushButton(this))
{
    m_form->setContentsMargins(0, 0, 0, 0);
    m_form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    m_form->addRow(m_providerLabel, m_provider);
    m_form->addRow(m_addressLabel, m_address);
    m_form->addRow(QString(), m_official);
    m_form->addRow(m_modelLabel, m_modelPicker);
    m_form->addRow(m_modelFieldLabel, m_modelField);
    m_form->addRow(QString(), m_modelNote);
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(m_save);
    saveRow->addStretch(1);
    m_form->addRow(saveRow);
    m_providerLabel->setBuddy(m_provider);
    m_addressLabel->setBuddy(m_address);
    m_modelLabel->setBuddy(m_modelPicker);
    m_modelFieldLabel->setBuddy(m_modelField);
    m_address->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoAutoUppercase);

    connect(m_provider, &QComboBox::activated, this, [this] {
        const auto provider = static_cast<TranslationProvider>(m_provider->currentData().toInt());
        if (provider != m_model.selectedProvider())
            m_model.setSelectedProvider(provider);
        render();
    });
    connect(m_modelPicker, &QComboBox::activated, this, [this] {
        if (!usesCustomModel())
            m_modelField->setText(m_modelPicker->currentData().toString());
        render();
    });
    connect(m_save, &QPushButton::clicked, this, [this] { save(); });
    follow(&m_model, &AppModel::changed);
    render();
}

bool ProviderForm::usesCustomModel() const
{
    return m_modelPicker->currentData().toString() == customModelTag;
}

void ProviderForm::loadDrafts(const ProviderConfiguration& config)
{
    m_loaded = config;
    // A built-in provider is always asked at its public address, whatever is stored.
    m_address->setText(config.provider == TranslationProvider::custom ? config.baseURL
                                                                      : defaultBaseURL(config.provider));
    m_modelField->setText(config.model);
    const QSignalBlocker quiet(m_modelPicker);
    m_modelPicker->clear();
    for (const QString& suggested : suggestedModels(config.provider))
        m_modelPicker->addItem(suggested, suggested);
    m_modelPicker->addItem(QString(), customModelTag);
    const int suggested = m_modelPicker->findData(config.model);
    m_modelPicker->setCurrentIndex(suggested >= 0 && !config.model.isEmpty() ? suggested
                                                                             : m_modelPicker->count() - 1);
}

void ProviderForm::present()
{
    const ProviderConfiguration config = m_model.currentProviderConfiguration();
    if (m_loaded != config)
        loadDrafts(config);
    const bool custom = config.provider == TranslationProvider::custom;

    const QString providerName = L10n::text(L10N_KEY("服务商"));
    m_providerLabel->setText(providerName);
    SettingsForms::name(m_provider, providerName);
    QList<std::pair<QString, int>> providers;
    for (TranslationProvider provider : allTranslationProviders())
        providers.append({displayName(provider), static_cast<int>(provider)});
    SettingsForms::fill(m_provider, providers, static_cast<int>(config.provider));

    const QString addressName = L10n::text(L10N_KEY("API 地址"));
    m_addressLabel->setText(addressName);
    SettingsForms::name(m_address, addressName);
    m_address->setPlaceholderText(L10n::text(L10N_KEY("https://…")));
    m_address->setReadOnly(!custom);
    m_official->setVisible(!custom);
    m_official->setText(L10n::text(L10N_KEY("官方接口")));

    const QString modelName = L10n::text(L10N_KEY("模型"));
    m_modelLabel->setText(modelName);
    SettingsForms::name(m_modelPicker, modelName);
    m_modelPicker->setItemText(m_modelPicker->count() - 1, L10n::text(L10N_KEY("自定义模型…")));
    const bool typed = usesCustomModel();
    m_modelFieldLabel->setVisible(typed);
    m_modelField->setVisible(typed);
    const QString modelIdName = L10n::text(L10N_KEY("模型 ID"));
    m_modelFieldLabel->setText(modelIdName);
    SettingsForms::name(m_modelField, modelIdName);
    m_modelField->setPlaceholderText(L10n::text(L10N_KEY("填写服务商提供的模型 ID")));
    m_modelNote->setText(L10n::text(L10N_KEY("模型需在你的服务商账号中可用。")));
    SettingsForms::setText(m_save, L10n::text(L10N_KEY("保存服务配置")));
}

void ProviderForm::save()
{
    const QString model = usesCustomModel() ? m_modelField->text() : m_modelPicker->currentData().toString();
    m_model.updateProviderSettings(m_address->text(), model);
    // A saved configuration comes back through the model; a refused one keeps the drafts.
    render();
}

} // namespace qw
