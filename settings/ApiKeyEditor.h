#pragma once

#include "settings/SettingsView.h"

#include <QCoroTask>

class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace qw {

class AppModel;

// The selected provider's API key. A stored key is never shown, read back or copied into a
// field: only the mask and "configured, hidden". The editor is a password field the text cannot be
// copied or dragged out of; its draft goes to the model's `storeKey` and nowhere else (no log,
// no settings file), and is cleared when it is saved, cancelled or the view is hidden, so
// closing the window without saving stores nothing.
class ApiKeyEditor final : public SettingsView {
    Q_OBJECT

public:
    explicit ApiKeyEditor(AppModel& model, QWidget* parent = nullptr);

    QLineEdit* field() const { return m_field; }
    QPushButton* saveButton() const { return m_save; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* replaceButton() const { return m_replace; }
    QToolButton* moreButton() const { return m_more; }
    QAction* deleteAction() const { return m_delete; }
    QLabel* maskLabel() const { return m_mask; }
    QLabel* message() const { return m_message; }
    bool isSaving() const { return m_saving; }
    bool isDeleting() const { return m_deleting; }

protected:
    void present() override;
    void hideEvent(QHideEvent* event) override;

private:
    void save();
    void cancel();
    void askDelete();
    // Empties the field and its undo history.
    void discardDraft();
    QCoro::Task<void> saveJob(QString draft);
    QCoro::Task<void> deleteJob();

    AppModel& m_model;
    bool m_replacing = false;
    bool m_saving = false;
    bool m_deleting = false;
    // The model refused the last draft (an empty key): its status says why.
    bool m_showRefusal = false;

    QWidget* m_stored;
    QLabel* m_mask;
    QLabel* m_configured;
    QLabel* m_storedNote;
    QPushButton* m_replace;
    QToolButton* m_more;
    QAction* m_delete;
    QWidget* m_editor;
    QLabel* m_fieldLabel;
    QLineEdit* m_field;
    QPushButton* m_save;
    QPushButton* m_cancel;
    QLabel* m_message;
};

} // namespace qw
