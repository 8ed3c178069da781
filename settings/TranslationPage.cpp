#include "settings/TranslationPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <tuple>

namespace qw {

namespace {

QList<std::pair<QString, int>> languageItems(const QList<TranslationLanguage>& languages)
{
    QList<std::pair<QString, int>> items;
    for (TranslationLanguage language : languages)
        items.append({label(language), static_cast<int>(language)});
    return items;
}

TranslationLanguage chosenLanguage(const QComboBox* picker)
{
    return static_cast<TranslationLanguage>(picker->currentData().toInt());
}

QLabel* warningLabel(QWidget* parent)
{
    QLabel* label = SettingsForms::value(parent);
    QPalette warning = label->palette();
    warning.setColor(QPalette::WindowText, QColor(0xc0, 0x1c, 0x28));
    label->setPalette(warning);
    return label;
}

} // namespace

TranslationPage::TranslationPage(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_status(SettingsForms::value(this)),
      m_review(new QPushButton(this)), m_input(new QCheckBox(this)), m_inputNote(SettingsForms::note(this)),
      m_modeLabel(new QLabel(this)), m_mode(new QComboBox(this)), m_debounceLabel(new QLabel(this)),
      m_debounce(new QComboBox(this)), m_modeNote(SettingsForms::note(this)),
      m_inputSourceLabel(new QLabel(this)), m_inputSource(new QComboBox(this)),
      m_inputTargetLabel(new QLabel(this)), m_inputTarget(new QComboBox(this)),
      m_inputPairWarning(warningLabel(this)), m_pasteFallback(new QCheckBox(this)),
      m_pasteFallbackNote(SettingsForms::note(this)), m_page(new QCheckBox(this)),
      m_pageNote(SettingsForms::note(this)), m_pageSourceLabel(new QLabel(this)),
      m_pageSource(new QComboBox(this)), m_pageTargetLabel(new QLabel(this)),
      m_pageTarget(new QComboBox(this)), m_pagePairWarning(warningLabel(this)),
      m_reverse(new QPushButton(this)), m_reverseNote(SettingsForms::note(this)),
      m_pageFootnote(SettingsForms::note(this))
{
    auto* statusRow = new QHBoxLayout;
    statusRow->addWidget(m_status, 1);
    statusRow->addWidget(m_review);

    QFormLayout* input = SettingsForms::group(m_inputGroup, this);
    input->addRow(m_input);
    input->addRow(m_inputNote);
    input->addRow(m_modeLabel, m_mode);
    input->addRow(m_debounceLabel, m_debounce);
    input->addRow(m_modeNote);
    input->addRow(m_inputSourceLabel, m_inputSource);
    input->addRow(m_inputTargetLabel, m_inputTarget);
    input->addRow(m_inputPairWarning);
    input->addRow(m_pasteFallback);
    input->addRow(m_pasteFallbackNote);
    m_modeLabel->setBuddy(m_mode);
    m_debounceLabel->setBuddy(m_debounce);
    m_inputSourceLabel->setBuddy(m_inputSource);
    m_inputTargetLabel->setBuddy(m_inputTarget);

    QFormLayout* page = SettingsForms::group(m_pageGroup, this);
    page->addRow(m_page);
    page->addRow(m_pageNote);
    page->addRow(m_pageSourceLabel, m_pageSource);
    page->addRow(m_pageTargetLabel, m_pageTarget);
    page->addRow(m_pagePairWarning);
    auto* reverseRow = new QHBoxLayout;
    reverseRow->addWidget(m_reverse);
    reverseRow->addWidget(m_reverseNote, 1);
    page->addRow(reverseRow);
    page->addRow(m_pageFootnote);
    m_pageSourceLabel->setBuddy(m_pageSource);
    m_pageTargetLabel->setBuddy(m_pageTarget);

    auto* column = new QVBoxLayout(this);
    column->addLayout(statusRow);
    column->addWidget(m_inputGroup);
    column->addWidget(m_pageGroup);
    column->addStretch(1);

    // Only the user's choices call the model; showing it never does.
    connect(m_review, &QPushButton::clicked, this,
            [this] { Q_EMIT sectionRequested(sectionForBlockingIssue()); });
    connect(m_input, &QCheckBox::clicked, this, [this](bool on) { m_model.setInputTranslationEnabled(on); });
    connect(m_page, &QCheckBox::clicked, this, [this](bool on) { m_model.setPageTranslationEnabled(on); });
    connect(m_pasteFallback, &QCheckBox::clicked, this, [this](bool on) { m_model.setPasteFallback(on); });
    connect(m_mode, &QComboBox::activated, this, [this] {
        m_model.setInputTranslationMode(static_cast<TranslationMode>(m_mode->currentData().toInt()));
    });
    connect(m_debounce, &QComboBox::activated, this,
            [this] { m_model.setDebounceMilliseconds(m_debounce->currentData().toInt()); });
    connect(m_inputSource, &QComboBox::activated, this,
            [this] { m_model.setInputSourceLanguage(chosenLanguage(m_inputSource)); });
    connect(m_inputTarget, &QComboBox::activated, this,
            [this] { m_model.setInputTargetLanguage(chosenLanguage(m_inputTarget)); });
    connect(m_pageSource, &QComboBox::activated, this,
            [this] { m_model.setPageSourceLanguage(chosenLanguage(m_pageSource)); });
    connect(m_pageTarget, &QComboBox::activated, this,
            [this] { m_model.setPageTargetLanguage(chosenLanguage(m_pageTarget)); });
    connect(m_reverse, &QPushButton::clicked, this, [this] { m_model.setPageLanguagesFromInput(); });
    follow(&m_model, &AppModel::changed);
    render();
}

SettingsSection TranslationPage::sectionForBlockingIssue() const
{
    const QString bundle = m_model.currentBundle();
    if (!m_model.permissionGranted())
        return SettingsSection::privacy;
    if (!bundle.isEmpty() &&
        (!m_model.allowedBundleIDs().contains(bundle) || m_model.isAppIgnoredToday(bundle)))
        return SettingsSection::applications;
    if ((m_model.inputTranslationEnabled() && !m_model.hasValidInputLanguagePair()) ||
        (m_model.pageTranslationEnabled() && !m_model.hasValidPageLanguagePair()))
        return SettingsSection::translation;
    if (m_model.hasAPIKey() && !m_model.cloudConsent())
        return SettingsSection::privacy;
    return SettingsSection::models;
}

void TranslationPage::present()
{
    m_status->setText(m_model.runtimeStatus());
    SettingsForms::setText(m_review, L10n::text(L10N_KEY("查看设置")));
    m_review->setVisible(m_model.hasBlockingIssue());

    SettingsForms::setText(m_inputGroup, L10n::text(L10N_KEY("输入翻译")));
    SettingsForms::setText(m_input, L10n::text(L10N_KEY("启用输入翻译")));
    m_input->setChecked(m_model.inputTranslationEnabled());
    m_inputNote->setText(L10n::text(L10N_KEY("用于编写消息，译文需确认后才替换，不会自动发送。")));
    const QString modeName = L10n::text(L10N_KEY("翻译方式"));
    m_modeLabel->setText(modeName);
    SettingsForms::name(m_mode, modeName);
    QList<std::pair<QString, int>> modes;
    for (TranslationMode mode : allTranslationModes())
        modes.append({label(mode), static_cast<int>(mode)});
    SettingsForms::fill(m_mode, modes, static_cast<int>(m_model.inputTranslationMode()));

    const bool automatic = m_model.inputTranslationMode() == TranslationMode::automatic;
    const QString debounceName = L10n::text(L10N_KEY("停止输入后等待"));
    m_debounceLabel->setText(debounceName);
    SettingsForms::name(m_debounce, debounceName);
    QList<std::pair<QString, int>> pauses;
    for (int milliseconds : AppModel::allowedDebounceValues())
        pauses.append({L10n::format(L10N_KEY("%@ 毫秒"), {L10n::number(milliseconds)}), milliseconds});
    SettingsForms::fill(m_debounce, pauses, m_model.debounceMilliseconds());
    m_debounceLabel->setVisible(automatic);
    m_debounce->setVisible(automatic);
    m_modeNote->setText(
        automatic
            ? L10n::text(L10N_KEY("停止输入后，当前输入内容会发送给所选服务商；替换和发送消息仍需你确认。"))
            : L10n::text(L10N_KEY("选中输入框中的部分文字后翻译，可确认后替换选区。")));

    const QString sourceName = L10n::text(L10N_KEY("源语言"));
    const QString targetName = L10n::text(L10N_KEY("目标语言"));
    const QString pairWarning = L10n::text(L10N_KEY("请选择不同的源语言和目标语言"));
    for (auto [sourceLabel, source, targetLabel, target, warning, from, to, valid] :
         {std::tuple{m_inputSourceLabel, m_inputSource, m_inputTargetLabel, m_inputTarget, m_inputPairWarning,
                     m_model.inputSourceLanguage(), m_model.inputTargetLanguage(),
                     m_model.hasValidInputLanguagePair()},
          std::tuple{m_pageSourceLabel, m_pageSource, m_pageTargetLabel, m_pageTarget, m_pagePairWarning,
                     m_model.pageSourceLanguage(), m_model.pageTargetLanguage(),
                     m_model.hasValidPageLanguagePair()}}) {
        sourceLabel->setText(sourceName);
        SettingsForms::name(source, sourceName);
        targetLabel->setText(targetName);
        SettingsForms::name(target, targetName);
        SettingsForms::fill(source, languageItems(allTranslationLanguages()), static_cast<int>(from));
        SettingsForms::fill(target, languageItems(translationTargets()), static_cast<int>(to));
        warning->setText(pairWarning);
        warning->setVisible(!valid);
    }

    SettingsForms::setText(m_pasteFallback, L10n::text(L10N_KEY("使用剪贴板兼容模式")));
    m_pasteFallback->setChecked(m_model.pasteFallback());
    m_pasteFallbackNote->setText(L10n::text(L10N_KEY(
        "应用不接受直接写入时，通过剪贴板和模拟粘贴替换；会短暂修改剪贴板，且仅在可验证完整选区时执行。")));

    SettingsForms::setText(m_pageGroup, L10n::text(L10N_KEY("页面选区翻译")));
    SettingsForms::setText(m_page, L10n::text(L10N_KEY("启用页面选区翻译")));
    m_page->setChecked(m_model.pageTranslationEnabled());
    m_pageNote->setText(L10n::text(L10N_KEY("用于阅读网页、文档或收到的消息，仅翻译选中的内容。")));
    const bool automaticSource = m_model.inputSourceLanguage() == TranslationLanguage::automatic;
    SettingsForms::setText(m_reverse, L10n::text(L10N_KEY("设为输入翻译的反向")));
    m_reverse->setVisible(!automaticSource);
    m_reverse->setEnabled(m_model.hasValidInputLanguagePair());
    m_reverseNote->setText(L10n::text(L10N_KEY("输入源语言为自动检测时，请手动设置页面目标语言")));
    m_reverseNote->setVisible(automaticSource);
    m_pageFootnote->setText(L10n::text(L10N_KEY("选中后自动翻译，可复制译文。")));
}

} // namespace qw
