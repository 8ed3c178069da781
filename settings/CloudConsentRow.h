#pragma once

#include "settings/SettingsView.h"

class QCheckBox;
class QLabel;

namespace qw {

class AppModel;

// The consent to send text to the selected provider's current address (a new address needs it
// again).
class CloudConsentRow final : public SettingsView {
    Q_OBJECT

public:
    explicit CloudConsentRow(AppModel& model, QWidget* parent = nullptr);

    QCheckBox* consent() const { return m_consent; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QCheckBox* m_consent;
    QLabel* m_note;
};

} // namespace qw
