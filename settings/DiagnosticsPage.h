#pragma once

#include "settings/SettingsView.h"

#include <QList>

class QGridLayout;
class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// What the model last saw, for finding out why an application does not translate: never a
// field's text, a translation or a key.
class DiagnosticsPage final : public SettingsView {
    Q_OBJECT

public:
    explicit DiagnosticsPage(AppModel& model, QWidget* parent = nullptr);

    QPushButton* refreshButton() const { return m_refresh; }

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_note;
    QGridLayout* m_grid;
    QList<std::pair<QLabel*, QLabel*>> m_rows;
    QLabel* m_hint;
    QPushButton* m_refresh;
};

} // namespace qw
