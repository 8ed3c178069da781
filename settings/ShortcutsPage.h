#pragma once

#include "settings/SettingsView.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;

namespace qw {

class AppModel;

// The global hotkeys: on or off, the translate combination, the application actions, and
// what the desktop said when they were registered.
class ShortcutsPage final : public SettingsView {
    Q_OBJECT

public:
    explicit ShortcutsPage(AppModel& model, QWidget* parent = nullptr);

    QCheckBox* hotkeysSwitch() const { return m_hotkeys; }
    QComboBox* presetPicker() const { return m_preset; }
    QCheckBox* appActionsSwitch() const { return m_appActions; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QGroupBox* m_translateGroup;
    QCheckBox* m_hotkeys;
    QLabel* m_presetLabel;
    QComboBox* m_preset;
    QLabel* m_translateNote;
    QLabel* m_undoNote;
    QGroupBox* m_actionsGroup;
    QCheckBox* m_appActions;
    QLabel* m_actionsNote;
    QLabel* m_actionsScope;
    QLabel* m_status;
};

} // namespace qw
