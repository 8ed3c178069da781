#pragma once

#include "engine/NetworkChatTransport.h"
#include "settings/InstalledApplications.h"
#include "settings/LoginItemService.h"
#include "settings/LoginStartup.h"
#include "settings/OnboardingState.h"
#include "settings/OnboardingWindow.h"
#include "settings/SettingsWindow.h"
#include "tests/engine/ConnectProxy.h"
#include "tests/engine/LocalHttpsServer.h"
#include "tests/model/KeyringModelFixture.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

namespace qw::test {

// Login items that live in memory: the window's tests need only their state.
class MemoryLoginItems final : public LoginItemService {
public:
    LoginItemStatus status() const override
    {
        return registered ? LoginItemStatus::enabled : LoginItemStatus::notRegistered;
    }
    bool isInstalledCopy() const override { return true; }
    bool registerItem() override { return registered = true; }
    bool unregisterItem() override { return !(registered = false); }
    bool canOpenSystemSettings() const override { return true; }
    void openSystemSettings() override {}
    bool registered = false;
};

class ListedApplications final : public InstalledApplications {
public:
    QList<InstalledApplication> list() const override { return applications; }
    QList<InstalledApplication> applications;
};

// The settings window and the guide over a real model: the keyring is the in-memory one, the
// provider is reached over real HTTPS at a local server, the applications are the substitute
// desktop's.
class SettingsWindowTest : public KeyringModelTest {
protected:
    void TearDown() override
    {
        closeDialogs();
        guide.reset();
        window.reset();
        KeyringModelTest::TearDown();
    }

    AppModel& makeWindowModel(QStringList defaultAllowed = {AppModel::defaultAllowedApplication})
    {
        AppModel::Collaborators c = collaborators(httpsService);
        c.keyPresence = KeyringOperations::presence(*store, *keyWorker);
        c.saveKey = KeyringOperations::save(*store, *keyWorker);
        c.removeKey = KeyringOperations::remove(*store, *keyWorker);
        c.installedApplicationName = [this](const QString& id) -> std::optional<QString> {
            for (const InstalledApplication& app : installed.applications) {
                if (app.id == id)
                    return app.name;
            }
            return std::nullopt;
        };
        c.ownBundleID = QStringLiteral("quillweave");
        return build(std::move(c), std::move(defaultAllowed));
    }

    SettingsWindow& openWindow()
    {
        if (!model)
            makeWindowModel();
        window = std::make_unique<SettingsWindow>(SettingsWindow::Shared{*model, startup, installed, [this] {
                                                                             ++onboardingRequests;
                                                                         }});
        window->show();
        return *window;
    }

    OnboardingWindow& openGuide(OnboardingState& state, bool waylandSession = false)
    {
        if (!model)
            makeWindowModel();
        guide = std::make_unique<OnboardingWindow>(
            OnboardingWindow::Shared{*model, startup, installed, state, waylandSession});
        guide->show();
        return *guide;
    }

    // Lets the views show the model's last burst of changes.
    static void settleViews()
    {
        for (int round = 0; round < 3; ++round)
            QCoreApplication::processEvents();
    }

    static void click(QAbstractButton* button)
    {
        settleViews();
        ASSERT_TRUE(button->isVisible() && button->isEnabled()) << button->text().toStdString();
        // Near the left edge: a check box or radio button takes clicks only on its mark and text.
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
    }

    // The confirmation the window opened, with its buttons in order (cancel, confirm).
    QMessageBox* openConfirmation() const
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                return box;
        }
        return nullptr;
    }
    void answerConfirmation(bool confirm)
    {
        settleViews();
        QMessageBox* box = openConfirmation();
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->buttons().size(), 2);
        // Cancel first, the confirming button second, whatever the desktop's layout.
        const QList<QAbstractButton*> buttons = box->buttons();
        QAbstractButton* cancel = box->defaultButton();
        QAbstractButton* confirming = buttons.at(0) == cancel ? buttons.at(1) : buttons.at(0);
        (confirm ? confirming : cancel)->click();
        settleViews();
    }
    static void closeDialogs()
    {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QDialog*>(widget))
                widget->close();
        }
        settleViews();
    }

    // Every text the widgets under `root` hold, shown or not: labels, buttons, fields and their
    // placeholders, pickers, groups, lists, menus, and what a screen reader is told.
    static QStringList texts(QWidget* root)
    {
        QStringList found{root->windowTitle()};
        QList<QWidget*> widgets = root->findChildren<QWidget*>();
        widgets.prepend(root);
        for (QWidget* widget : widgets) {
            found << widget->accessibleName() << widget->accessibleDescription() << widget->toolTip();
            if (auto* label = qobject_cast<QLabel*>(widget))
                found << label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                found << button->text();
            if (auto* field = qobject_cast<QLineEdit*>(widget))
                found << field->text() << field->placeholderText() << field->displayText();
            if (auto* box = qobject_cast<QGroupBox*>(widget))
                found << box->title();
            if (auto* picker = qobject_cast<QComboBox*>(widget)) {
                for (int i = 0; i < picker->count(); ++i)
                    found << picker->itemText(i);
            }
            if (auto* list = qobject_cast<QListWidget*>(widget)) {
                for (int i = 0; i < list->count(); ++i)
                    found << list->item(i)->text();
            }
            for (QAction* action : widget->actions())
                found << action->text();
        }
        found.removeAll(QString());
        return found;
    }

    NetworkChatTransport::Options trustingTheServer() const
    {
        NetworkChatTransport::Options options;
        options.extraCaCertificates = {LocalHttpsServer::certificate()};
        // Endpoints take no port: the provider's host is reached through a local proxy.
        options.proxy = QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.port());
        return options;
    }

    LocalHttpsServer server;
    ConnectProxy proxy{server.port()};
    TranslationService httpsService{KeychainCredentialLoader::make(store, keyWorker), time, time,
                                    std::make_unique<NetworkChatTransport>(trustingTheServer())};
    MemoryLoginItems loginItems;
    LoginStartup startup{loginItems, settings};
    ListedApplications installed;
    int onboardingRequests = 0;
    std::unique_ptr<SettingsWindow> window;
    std::unique_ptr<OnboardingWindow> guide;
};

} // namespace qw::test
