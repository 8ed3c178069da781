#pragma once

#include "settings/SettingsSection.h"

#include <QIcon>
#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;

namespace qw {

class AppModel;
class LoginStartup;

// The tray icon's menu: the status of the moment, the one missing step of the setup, the
// switches and language pairs of both translations, the permission of the application that was
// in front when the menu opened, the login-start suggestion and quit. It is rebuilt from
// scratch every time it is about to open and holds nothing between two openings but the
// actions of its current items; every action is an operation of the model, of the login start
// or of the shell's settings opener.
class QuickMenu : public QObject {
    Q_OBJECT

public:
    using OpenSettings = std::function<void(std::optional<SettingsSection>)>;

    QuickMenu(AppModel& model, LoginStartup& startup, OpenSettings openSettings, std::function<void()> quit,
              QObject* parent = nullptr);
    ~QuickMenu() override;

    QMenu* menu() const { return m_menu.get(); }

    // The menu is about to be shown: takes the frontmost application (unless it is this
    // program), the accessibility permission and the login-start status of now, then rebuilds.
    void menuNeedsUpdate();
    void rebuild();

    // A 12×12 green (allowed) or yellow (not allowed) dot marking the rows about a permission.
    static QIcon statusImage(bool authorized);

private:
    enum class Mark { none, authorized, unauthorized, checked, unchecked };

    QAction* addItem(QMenu* menu, const QString& title, bool enabled, Mark mark = Mark::none,
                     std::function<void()> run = {});
    QMenu* submenu(const QString& title, QMenu* parent = nullptr);
    void languages(bool page);
    void addStatusRows();
    void addTranslationRows();
    void addApplicationRows();
    void addLoginStartupRows();

    AppModel& m_model;
    LoginStartup& m_startup;
    OpenSettings m_openSettings;
    std::function<void()> m_quit;
    std::unique_ptr<QMenu> m_menu;
    // The submenus of the current build, ended at every rebuild.
    std::vector<std::unique_ptr<QMenu>> m_submenus;
};

} // namespace qw
