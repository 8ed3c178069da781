#pragma once

#include "settings/SettingsView.h"

class QGroupBox;
class QLabel;

namespace qw {

class AccessibilityRow;
class AppModel;
class CloudConsentRow;
class KeyAccessRow;

// What this program may do: read other applications (the desktop's accessibility switch), read
// the provider's key from the keyring, and send text to the provider.
class PrivacyPage final : public SettingsView {
    Q_OBJECT

public:
    explicit PrivacyPage(AppModel& model, QWidget* parent = nullptr);

    AccessibilityRow* accessibility() const { return m_accessibility; }
    KeyAccessRow* keyAccess() const { return m_keyAccess; }
    CloudConsentRow* consent() const { return m_consent; }

protected:
    void present() override;

private:
    QGroupBox* m_permissions;
    AccessibilityRow* m_accessibility;
    KeyAccessRow* m_keyAccess;
    QGroupBox* m_cloud;
    CloudConsentRow* m_consent;
    QLabel* m_readingNote;
    QLabel* m_cloudNote;
};

} // namespace qw
