#include "settings/ShortcutsPage.h"

#include "l10n/L10n.h"
#include "model/AppModel.h"
#include "settings/SettingsForms.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qw {

ShortcutsPage::ShortcutsPage(AppModel& model, QWidget* parent)
    : SettingsView(parent), m_model(model), m_hotkeys(new QCheckBox(this)), m_presetLabel(new QLabel(this)),
      m_preset(new QComboBox(this)), m_translateNote(SettingsForms::note(this)),
      m_undoNote(SettingsForms::note(this)), m_appActions(new QCheckBox(this)),
      m_actionsNote(SettingsForms::note(this)), m_actionsScope(SettingsForms::note(this)),
      m_status(SettingsForms::value(this))
{
    QFormLayout* translate = SettingsForms::group(m_translateGroup, this);
    translate->addRow(m_hotkeys);
    translate->addRow(m_presetLabel, m_preset);
    translate->addRow(m_translateNote);
    translate->addRow(m_undoNote);
    m_presetLabel->setBuddy(m_preset);
    QFormLayout* actions = SettingsForms::group(m_actionsGroup, this);
    actions->addRow(m_appActions);
    actions->addRow(m_actionsNote);
    actions->addRow(m_actionsScope);
    auto* column = new QVBoxLayout(this);
    column->addWidget(m_translateGroup);
    column->addWidget(m_actionsGroup);
    column->addWidget(m_status);
    column->addStretch(1);

    connect(m_hotkeys, &QCheckBox::clicked, this, [this](bool on) { m_model.setHotkeysEnabled(on); });
    connect(m_appActions, &QCheckBox::clicked, this,
            [this](bool on) { m_model.setAppActionHotkeysEnabled(on); });
    connect(m_preset, &QComboBox::activated, this,
            [this] { m_model.setHotkeyPreset(m_preset->currentData().toInt()); });
    follow(&m_model, &AppModel::changed);
    render();
}

void ShortcutsPage::present()
{
    SettingsForms::setText(m_translateGroup, L10n::text(L10N_KEY("翻译快捷键")));
    SettingsForms::setText(m_hotkeys, L10n::text(L10N_KEY("启用全局快捷键")));
    m_hotkeys->setChecked(m_model.hotkeysEnabled());
    const QString presetName = L10n::text(L10N_KEY("翻译快捷键"));
    m_presetLabel->setText(presetName);
    SettingsForms::name(m_preset, presetName);
    SettingsForms::fill(m_preset, {{L10n::text(L10N_KEY("⌃⌥T")), 0}, {L10n::text(L10N_KEY("⌃⌥⇧T")), 1}},
                        m_model.hotkeyPreset());
    m_preset->setEnabled(m_model.hotkeysEnabled());
    m_translateNote->setText(L10n::text(
        L10N_KEY("翻译快捷键仅生成译文，不会执行替换或发送。请点击浮层中的「替换到输入框」确认。")));
    m_undoNote->setText(L10n::text(L10N_KEY("⌃⌥Z 在原文没有被编辑且焦点不变时恢复原文。")));

    SettingsForms::setText(m_actionsGroup, L10n::text(L10N_KEY("应用操作快捷键")));
    SettingsForms::setText(m_appActions, L10n::text(L10N_KEY("启用应用操作快捷键")));
    m_appActions->setChecked(m_model.appActionHotkeysEnabled());
    m_appActions->setEnabled(m_model.hotkeysEnabled());
    m_actionsNote->setText(L10n::text(L10N_KEY("⌃⌥I：今日忽略当前应用")) + u'\n' +
                           L10n::text(L10N_KEY("⌃⌥⇧I：取消当前应用授权（需确认）")));
    m_actionsScope->setText(L10n::text(
        L10N_KEY("有浮窗时操作对应应用；否则操作前台已授权应用。今日忽略可在应用权限中提前恢复。")));
    m_status->setText(m_model.hotkeyStatus());
}

} // namespace qw
