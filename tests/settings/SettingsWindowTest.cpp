// The settings window over a real model: what each control does to the model, the keyring, the
// settings and the provider, and what the user reads afterwards.
#include "settings/AccessibilityRow.h"
#include "settings/ApiKeyEditor.h"
#include "settings/ApplicationChooser.h"
#include "settings/ApplicationsPage.h"
#include "settings/ConfirmationDialogs.h"
#include "settings/ConnectionRow.h"
#include "settings/CurrentApplicationRow.h"
#include "settings/GeneralPage.h"
#include "settings/LoginStartupGroup.h"
#include "settings/ModelsPage.h"
#include "settings/ProviderForm.h"
#include "settings/ShortcutsPage.h"
#include "settings/TranslationPage.h"
#include "tests/settings/SettingsWindowFixture.h"

#include <QCheckBox>
#include <QClipboard>
#include <QRegularExpression>

namespace qw::test {
namespace {

const QString kKey = QStringLiteral("sk-live-9f8e7d6c5b4a");

class SettingsWindowFlowTest : public SettingsWindowTest {
protected:
    ApiKeyEditor& keyEditor() { return *window->modelsPage()->keyEditor(); }
    ProviderForm& providerForm() { return *window->modelsPage()->providerForm(); }

    void typeKey(const QString& key)
    {
        settleViews();
        QTest::keyClicks(keyEditor().field(), key);
    }
    void saveKey()
    {
        click(keyEditor().saveButton());
        ASSERT_TRUE(settleUntil([&] { return !keyEditor().isSaving(); }));
        settleViews();
    }
    // The custom provider, picked and saved through the page.
    void chooseCustomProvider(const QString& address, const QString& modelId)
    {
        ProviderForm& form = providerForm();
        form.providerPicker()->setCurrentIndex(
            form.providerPicker()->findData(static_cast<int>(TranslationProvider::custom)));
        Q_EMIT form.providerPicker()->activated(form.providerPicker()->currentIndex());
        settleViews();
        form.addressField()->setText(address);
        form.modelField()->setText(modelId);
        click(form.saveButton());
        settleViews();
    }
};

TEST_F(SettingsWindowFlowTest, AStoredKeyIsOnlyEverShownAsTheMaskAndCanBeReplacedOrDeleted)
{
    openWindow().showSection(SettingsSection::models);
    settleCredential();

    // Surrounding white space goes, as the model trims it; the field forgets the draft.
    // Neither copy nor cut puts a draft on the clipboard.
    typeKey(QStringLiteral("sk-draft"));
    QApplication::clipboard()->setText(QStringLiteral("before"));
    for (const QKeySequence::StandardKey key :
         {QKeySequence::SelectAll, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::SelectAll})
        QTest::keySequence(keyEditor().field(), key);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("before"));
    QTest::keyClick(keyEditor().field(), Qt::Key_Delete);
    typeKey(QStringLiteral("  ") + kKey + QStringLiteral("  "));
    saveKey();
    EXPECT_EQ(keyring.item(account(TranslationProvider::openAI)), kKey.toUtf8());
    ASSERT_TRUE(keyEditor().maskLabel()->isVisible());
    EXPECT_EQ(keyEditor().maskLabel()->text(), QStringLiteral("****************"));
    EXPECT_FALSE(keyEditor().field()->isVisible());
    EXPECT_FALSE(keyEditor().field()->isUndoAvailable()) << "undo would bring the key back";
    const QStringList shown = texts(window.get()) + texts(keyEditor().field());
    EXPECT_TRUE(shown.contains(QStringLiteral("密钥已配置，内容隐藏")));
    for (const QString& text : shown)
        EXPECT_FALSE(text.contains(QStringLiteral("9f8e7d"))) << text.toStdString();

    // Replacing opens an empty editor; cancelling closes it again, nothing stored.
    click(keyEditor().replaceButton());
    EXPECT_TRUE(keyEditor().field()->isVisible());
    EXPECT_TRUE(keyEditor().field()->text().isEmpty());
    EXPECT_EQ(keyEditor().saveButton()->text(), QStringLiteral("保存新密钥"));
    typeKey(QStringLiteral("sk-other"));
    click(keyEditor().cancelButton());
    EXPECT_TRUE(keyEditor().maskLabel()->isVisible());
    EXPECT_EQ(keyring.item(account(TranslationProvider::openAI)), kKey.toUtf8());

    // Deleting asks first (what the dialog's buttons do is its own test's).
    keyEditor().deleteAction()->trigger();
    answerConfirmation(true);
    ASSERT_TRUE(settleUntil([&] { return !keyEditor().isDeleting(); }));
    settleViews();
    EXPECT_EQ(keyring.itemCount(), 0);
    EXPECT_TRUE(keyEditor().field()->isVisible());
    EXPECT_EQ(window->modelsPage()->connection()->status()->text(), QStringLiteral("已删除此服务商的密钥"));
}

TEST_F(SettingsWindowFlowTest, ClosingTheWindowWithATypedKeyStoresNothing)
{
    openWindow().showSection(SettingsSection::models);
    settleCredential();
    typeKey(kKey);
    window->close();
    settleViews();
    window->show();
    settleViews();
    EXPECT_TRUE(keyEditor().field()->text().isEmpty());
    EXPECT_TRUE(keyEditor().field()->isVisible());
    EXPECT_EQ(keyring.itemCount(), 0);
    for (const FakeSecretBackend::Call& call : keyring.calls())
        EXPECT_NE(call.operation, FakeSecretBackend::Operation::add);
}

TEST_F(SettingsWindowFlowTest, ProviderSettingsThatDoNotValidateAreRefusedAndNothingIsSaved)
{
    openWindow().showSection(SettingsSection::models);
    struct Case {
        const char* name;
        QString address;
        QString model;
        bool saved;
    };
    const QList<Case> cases = {
        {"plain http", QStringLiteral("http://translate.example.test/v1"), QStringLiteral("m1"), false},
        {"valid", QStringLiteral(" https://translate.example.test/v1 "), QStringLiteral("m1"), true},
    };
    for (const Case& c : cases) {
        const std::optional<QVariant> before = settings.object(QStringLiteral("providerConfigurations.v04"));
        chooseCustomProvider(c.address, c.model);
        const QString status = window->modelsPage()->connection()->status()->text();
        if (c.saved) {
            EXPECT_EQ(status, QStringLiteral("配置已保存，可测试连接")) << c.name;
            EXPECT_EQ(model->currentProviderConfiguration().baseURL,
                      QStringLiteral("https://translate.example.test/v1"));
        } else {
            // The engine's own refusal, and the store as it was.
            const ProviderConfiguration candidate{TranslationProvider::custom, c.address.trimmed(),
                                                  c.model.trimmed()};
            EXPECT_EQ(status, candidate.validatedEndpoint().error().message()) << c.name;
            EXPECT_EQ(settings.object(QStringLiteral("providerConfigurations.v04")), before) << c.name;
            EXPECT_EQ(providerForm().addressField()->text(), c.address) << "the draft stays for correcting";
        }
    }
}

TEST_F(SettingsWindowFlowTest, TheConnectionTestReachesTheProviderWithTheStoredKey)
{
    server.respondWith(
        200,
        R"({"id":"c1","object":"chat.completion","choices":[{"index":0,"message":{"role":"assistant","content":"Hello"}}]})");
    openWindow().showSection(SettingsSection::models);
    settleCredential();
    chooseCustomProvider(QStringLiteral("https://translate.example.test/api"), QStringLiteral("local-model"));
    typeKey(kKey);
    saveKey();

    ConnectionRow& connection = *window->modelsPage()->connection();
    EXPECT_EQ(connection.testButton()->text(), QStringLiteral("测试连接"));
    click(connection.testButton());
    ASSERT_TRUE(settleUntil([&] { return !model->isTestingConnection(); }));
    settleViews();
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(proxy.connectTargets(), QByteArrayList{"translate.example.test:443"});
    EXPECT_EQ(server.requests().first().target, "/api/chat/completions");
    EXPECT_EQ(server.requests().first().headers.value("authorization"), "Bearer " + kKey.toUtf8());
    EXPECT_TRUE(server.requests().first().body.contains("\"local-model\""));
    EXPECT_EQ(connection.status()->text(), QStringLiteral("连接正常 · Hello"));
    EXPECT_EQ(connection.testButton()->text(), QStringLiteral("重新测试连接"));
}

TEST_F(SettingsWindowFlowTest, ApplicationsAreAllowedPausedAndRevokedWithTheirConfirmations)
{
    DesktopApp chat = desktop.addApplication(QStringLiteral("org.example.Chat"), QStringLiteral("Chat"));
    DesktopApp firefox =
        desktop.addApplication(QStringLiteral("org.mozilla.firefox"), QStringLiteral("Firefox"));
    firefox.handlesHttps();
    installed.applications = {{QStringLiteral("org.mozilla.firefox"), QStringLiteral("Firefox"), QString()},
                              {QStringLiteral("org.example.Chat"), QStringLiteral("Chat"), QString()}};
    makeWindowModel({});
    model->callbacks().onBrowserConfirmationRequested = [this](const TranslationApplication& app) {
        ConfirmationDialogs::askAllowBrowser(window.get(), app,
                                             [this, app] { model->allowApplication(app); });
    };
    chat.window().textArea(QString()).focus();
    chat.activate();
    inspect();
    openWindow().showSection(SettingsSection::applications);
    ApplicationsPage& page = *window->applicationsPage();
    settleViews();
    EXPECT_TRUE(page.emptyNote()->isVisible());

    // The application in front.
    EXPECT_TRUE(page.currentApplication()->application()->text().startsWith(
        QStringLiteral("Chat（org.example.Chat）")));
    click(page.currentApplication()->allowButton());
    EXPECT_TRUE(model->allowedBundleIDs().contains(QStringLiteral("org.example.Chat")));
    settleViews();
    EXPECT_FALSE(page.currentApplication()->allowButton()->isVisible());

    // A browser from the installed applications, chosen by typing, with its second confirmation.
    click(page.addButton());
    settleViews();
    ASSERT_NE(page.chooser(), nullptr);
    QLineEdit* search = page.chooser()->findChild<QLineEdit*>();
    QTest::keyClicks(search, QStringLiteral("fire"));
    QTest::keyClick(search, Qt::Key_Return);
    answerConfirmation(true);
    EXPECT_TRUE(model->allowedBundleIDs().contains(QStringLiteral("org.mozilla.firefox")));
    settleViews();
    ASSERT_EQ(page.rows().size(), 2);
    EXPECT_FALSE(page.emptyNote()->isVisible());
    const ApplicationsPage::Row& chatRow = page.rows().at(0);
    EXPECT_EQ(chatRow.name->text(), QStringLiteral("Chat"));
    EXPECT_EQ(chatRow.details->text(), QStringLiteral("应用标识：org.example.Chat · 已授权"));

    click(chatRow.pause);
    settleViews();
    EXPECT_TRUE(model->isAppIgnoredToday(QStringLiteral("org.example.Chat")));

    // Revoking asks first.
    click(page.rows().at(0).revoke);
    answerConfirmation(true);
    EXPECT_FALSE(model->allowedBundleIDs().contains(QStringLiteral("org.example.Chat")));
    settleViews();
    ASSERT_EQ(page.rows().size(), 1);
    EXPECT_EQ(page.rows().at(0).name->text(), QStringLiteral("Firefox"));
}

// The user's choice in a picker, as a click in its list makes it.
void choose(QComboBox* picker, const QVariant& data)
{
    picker->setCurrentIndex(picker->findData(data));
    Q_EMIT picker->activated(picker->currentIndex());
}

TEST_F(SettingsWindowFlowTest, EachSwitchAndPickerSavesItsSetting)
{
    openWindow();
    TranslationPage& translation = *window->translationPage();
    ShortcutsPage& shortcuts = *window->shortcutsPage();
    struct Row {
        const char* key;
        std::function<void()> change;
        QVariant saved;
    };
    const QList<Row> rows = {
        {"inputTranslationEnabled", [&] { click(translation.inputSwitch()); }, false},
        {"pageTranslationEnabled", [&] { click(translation.pageSwitch()); }, true},
        {"pasteFallback", [&] { click(translation.pasteFallbackSwitch()); }, true},
        {"debounceMilliseconds", [&] { choose(translation.debouncePicker(), 1600); }, 1600},
        {"inputTranslationMode",
         [&] { choose(translation.modePicker(), static_cast<int>(TranslationMode::selection)); },
         "selection"},
        {"inputTargetLanguage",
         [&] { choose(translation.inputTargetPicker(), static_cast<int>(TranslationLanguage::japanese)); },
         rawValue(TranslationLanguage::japanese)},
        {"hotkeyPreset", [&] { choose(shortcuts.presetPicker(), 1); }, 1},
        {"appActionHotkeysEnabled", [&] { click(shortcuts.appActionsSwitch()); }, false},
        {"hotkeysEnabled", [&] { click(shortcuts.hotkeysSwitch()); }, false},
    };
    for (const Row& row : rows) {
        window->showSection(QString::fromLatin1(row.key).contains(u"otkey") ? SettingsSection::shortcuts
                                                                            : SettingsSection::translation);
        row.change();
        EXPECT_EQ(settings.object(QString::fromLatin1(row.key)), row.saved) << row.key;
    }
    settleViews();
    // What depends on another setting follows it.
    EXPECT_FALSE(translation.debouncePicker()->isVisible()) << "the pause is for the automatic mode";
    EXPECT_FALSE(shortcuts.presetPicker()->isEnabled()) << "shortcuts are off";

    window->showSection(SettingsSection::general);
    click(window->generalPage()->startup()->enabledSwitch());
    ASSERT_TRUE(settleUntil([&] { return !startup.busy(); }));
    EXPECT_TRUE(loginItems.registered);
    settleViews();
    EXPECT_EQ(window->generalPage()->startup()->state()->text(), QStringLiteral("已开启"));
    EXPECT_EQ(onboardingRequests, 0);
    click(window->generalPage()->onboardingButton());
    EXPECT_EQ(onboardingRequests, 1);
}

TEST_F(SettingsWindowFlowTest, EveryOpenPageFollowsTheInterfaceLanguageAtOnce)
{
    installed.applications = {
        {AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"), QString()}};
    makeWindowModel();
    openWindow();
    SettingsWindow second(SettingsWindow::Shared{*model, startup, installed, {}});
    settleViews();
    QComboBox* language = window->generalPage()->languagePicker();
    language->setCurrentIndex(language->findData(static_cast<int>(InterfaceLanguage::english)));
    Q_EMIT language->activated(language->currentIndex());
    settleViews();
    ASSERT_EQ(model->interfaceLanguage(), InterfaceLanguage::english);

    // No Chinese left anywhere but in the product's name, the language's own name and the demo
    // sentence the hint quotes.
    static const QRegularExpression chinese(QStringLiteral("[\\x{3400}-\\x{9fff}]"));
    for (QWidget* root : {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&second)}) {
        for (QString text : texts(root)) {
            text.remove(QStringLiteral("织语"))
                .remove(QStringLiteral("简体中文"))
                .remove(QStringLiteral("你好"));
            EXPECT_FALSE(text.contains(chinese)) << text.toStdString();
        }
    }
    EXPECT_EQ(window->sidebar()->item(2)->text(), QStringLiteral("Translation Service"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quillweave Settings"));
}

} // namespace
} // namespace qw::test
