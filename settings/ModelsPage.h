#pragma once

#include "settings/SettingsSection.h"
#include "settings/SettingsView.h"

class QGroupBox;
class QPushButton;

namespace qw {

class AppModel;
class ApiKeyEditor;
class ConnectionRow;
class ProviderForm;

// The translation service: provider, address and model, the provider's key and the
// connection test.
class ModelsPage final : public SettingsView {
    Q_OBJECT

public:
    explicit ModelsPage(AppModel& model, QWidget* parent = nullptr);

    ProviderForm* providerForm() const { return m_provider; }
    ApiKeyEditor* keyEditor() const { return m_key; }
    ConnectionRow* connection() const { return m_connection; }
    QPushButton* privacyButton() const { return m_privacy; }

Q_SIGNALS:
    void sectionRequested(qw::SettingsSection section);

protected:
    void present() override;

private:
    QGroupBox* m_providerGroup;
    ProviderForm* m_provider;
    QGroupBox* m_keyGroup;
    ApiKeyEditor* m_key;
    QGroupBox* m_connectionGroup;
    ConnectionRow* m_connection;
    QPushButton* m_privacy;
};

} // namespace qw
