#pragma once

#include "engine/ProviderConfiguration.h"
#include "settings/SettingsView.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qw {

class AppModel;

// The provider, its address and its model. The address and model are drafts until "save",
// which hands them to the model's `updateProviderSettings`: the model refuses what does not
// validate (its message is the connection status) and saves nothing then. The drafts follow
// the model whenever its configuration changes (another provider, a save).
class ProviderForm final : public SettingsView {
    Q_OBJECT

public:
    // The tag of the picker's "custom model" entry.
    static const QString customModelTag;

    explicit ProviderForm(AppModel& model, QWidget* parent = nullptr);

    QComboBox* providerPicker() const { return m_provider; }
    QLineEdit* addressField() const { return m_address; }
    QComboBox* modelPicker() const { return m_modelPicker; }
    QLineEdit* modelField() const { return m_modelField; }
    QPushButton* saveButton() const { return m_save; }

protected:
    void present() override;

private:
    // Puts the model's configuration into the drafts.
    void loadDrafts(const ProviderConfiguration& config);
    bool usesCustomModel() const;
    void save();

    AppModel& m_model;
    std::optional<ProviderConfiguration> m_loaded;

    QFormLayout* m_form;
    QLabel* m_providerLabel;
    QComboBox* m_provider;
    QLabel* m_addressLabel;
    QLineEdit* m_address;
    QLabel* m_official;
    QLabel* m_modelLabel;
    QComboBox* m_modelPicker;
    QLabel* m_modelFieldLabel;
    QLineEdit* m_modelField;
    QLabel* m_modelNote;
    QPushButton* m_save;
};

} // namespace qw
