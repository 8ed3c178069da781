#pragma once

#include "settings/SettingsSection.h"
#include "settings/SettingsView.h"

#include <QSize>
#include <functional>
#include <map>

class QLabel;
class QListWidget;
class QScrollArea;
class QStackedWidget;

namespace qw {

class AppModel;
class AppUpdates;
class ApplicationsPage;
class DiagnosticsPage;
class GeneralPage;
class InstalledApplications;
class LoginStartup;
class ModelsPage;
class PrivacyPage;
class ShortcutsPage;
class TranslationPage;

// The settings window: a sidebar of the seven pages and the selected page. A view over the
// shared objects: every control calls an operation of the model or of login start, and every
// page follows them (and the interface language) while it is open.
class SettingsWindow final : public SettingsView {
    Q_OBJECT

public:
    struct Shared {
        AppModel& model;
        LoginStartup& startup;
        InstalledApplications& installedApplications;
        // Opens the first-run guide ("open the setup guide"); none hides the button.
        std::function<void()> openOnboarding;
        // The updater; none leaves the general page without an updates group.
        AppUpdates* updates = nullptr;
    };

    static constexpr QSize minimumWindowSize{820, 640};

    explicit SettingsWindow(Shared shared, QWidget* parent = nullptr);

    void showSection(SettingsSection section);
    SettingsSection currentSection() const;

    QListWidget* sidebar() const { return m_sidebar; }
    GeneralPage* generalPage() const { return m_general; }
    TranslationPage* translationPage() const { return m_translation; }
    ModelsPage* modelsPage() const { return m_models; }
    ApplicationsPage* applicationsPage() const { return m_applications; }
    PrivacyPage* privacyPage() const { return m_privacy; }
    ShortcutsPage* shortcutsPage() const { return m_shortcuts; }
    DiagnosticsPage* diagnosticsPage() const { return m_diagnostics; }
    QWidget* page(SettingsSection section) const;

protected:
    void present() override;

private:
    void addPage(SettingsSection section, QWidget* page);

    AppModel& m_model;
    QListWidget* m_sidebar;
    QStackedWidget* m_stack;
    GeneralPage* m_general;
    TranslationPage* m_translation;
    ModelsPage* m_models;
    ApplicationsPage* m_applications;
    PrivacyPage* m_privacy;
    ShortcutsPage* m_shortcuts;
    DiagnosticsPage* m_diagnostics;
    std::map<SettingsSection, QWidget*> m_pages;
    std::map<SettingsSection, QLabel*> m_headings;
};

} // namespace qw
