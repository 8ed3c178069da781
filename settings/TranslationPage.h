#pragma once

#include "settings/SettingsSection.h"
#include "settings/SettingsView.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

namespace qw {

class AppModel;

// What is translated and how: the model's one-line state, input translation (mode, typing
// pause, language pair, the clipboard compatibility mode) and page-selection translation.
class TranslationPage final : public SettingsView {
    Q_OBJECT

public:
    explicit TranslationPage(AppModel& model, QWidget* parent = nullptr);

    QLabel* runtimeStatus() const { return m_status; }
    QPushButton* reviewButton() const { return m_review; }
    QCheckBox* inputSwitch() const { return m_input; }
    QComboBox* modePicker() const { return m_mode; }
    QComboBox* debouncePicker() const { return m_debounce; }
    QComboBox* inputSourcePicker() const { return m_inputSource; }
    QComboBox* inputTargetPicker() const { return m_inputTarget; }
    QCheckBox* pasteFallbackSwitch() const { return m_pasteFallback; }
    QCheckBox* pageSwitch() const { return m_page; }
    QComboBox* pageSourcePicker() const { return m_pageSource; }
    QComboBox* pageTargetPicker() const { return m_pageTarget; }
    QPushButton* reverseButton() const { return m_reverse; }

    // The page that fixes what blocks translation now.
    SettingsSection sectionForBlockingIssue() const;

Q_SIGNALS:
    void sectionRequested(qw::SettingsSection section);

protected:
    void present() override;

private:
    AppModel& m_model;
    QLabel* m_status;
    QPushButton* m_review;
    QGroupBox* m_inputGroup;
    QCheckBox* m_input;
    QLabel* m_inputNote;
    QLabel* m_modeLabel;
    QComboBox* m_mode;
    QLabel* m_debounceLabel;
    QComboBox* m_debounce;
    QLabel* m_modeNote;
    QLabel* m_inputSourceLabel;
    QComboBox* m_inputSource;
    QLabel* m_inputTargetLabel;
    QComboBox* m_inputTarget;
    QLabel* m_inputPairWarning;
    QCheckBox* m_pasteFallback;
    QLabel* m_pasteFallbackNote;
    QGroupBox* m_pageGroup;
    QCheckBox* m_page;
    QLabel* m_pageNote;
    QLabel* m_pageSourceLabel;
    QComboBox* m_pageSource;
    QLabel* m_pageTargetLabel;
    QComboBox* m_pageTarget;
    QLabel* m_pagePairWarning;
    QPushButton* m_reverse;
    QLabel* m_reverseNote;
    QLabel* m_pageFootnote;
};

} // namespace qw
