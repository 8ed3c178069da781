#include "model/AppSettings.h"
#include "model/StoredTranslationSettings.h"
#include "platform/JsonFileSettingsStore.h"
#include "tests/model/ModelTestFixture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace qw::test {
namespace {

using Table = AppSettings::Table;

const QDateTime kNow(QDate(2026, 3, 14), QTime(9, 30));

// One setting as the file holds it (key and stored object) and as the program uses it.
struct StoredRow {
    QString key;
    QVariant stored;
    std::function<SettingsWriteResult(AppSettings&)> write;
    std::function<bool(const AppSettings&)> loaded;
};

template <class T>
StoredRow field(const char* key, QVariant stored, const AppSettings::Field<T>& field, T value)
{
    return {QString::fromUtf8(key), std::move(stored),
            [&field, value](AppSettings& settings) { return settings.set(field, value); },
            [&field, value](const AppSettings& settings) {
                return settings.values().*field.member == value;
            }};
}

template <class T> StoredRow row(const char* key, QVariant stored, const Setting<T>& setting, T value)
{
    return {QString::fromUtf8(key), std::move(stored),
            [setting, value](AppSettings& settings) { return settings.apply({setting.change(value)}); },
            [setting, value](const AppSettings& settings) {
                return setting.stored(settings.store()) == value;
            }};
}

// Written through the table and read back through a fresh object on the same store: a key
// spelled differently from what existing files hold, or a value stored as another type, fails.
TEST(AppSettingsTest, EverySettingIsReadBackUnderItsKeyWithItsType)
{
    const QDateTime pauseEnd(QDate(2026, 3, 15), QTime(0, 0), QTimeZone::utc());
    ProviderConfigurations configurations = ProviderConfigurationStore::defaults();
    configurations[TranslationProvider::kimi].model = QStringLiteral("moonshot-v1-8k");
    const QString firefox = QStringLiteral("org.mozilla.firefox");
    const std::vector<StoredRow> fields = {
        field("interfaceLanguage", QStringLiteral("en"), Table::interfaceLanguage,
              InterfaceLanguage::english),
        field("appActionHotkeysEnabled", false, Table::appActionHotkeysEnabled, false),
        field("ignoredAppsUntil", QVariantMap{{firefox, double(pauseEnd.toSecsSinceEpoch())}},
              Table::ignoredAppsUntil, QMap<QString, QDateTime>{{firefox, pauseEnd}}),
        field("selectedTranslationProvider", QStringLiteral("kimi"), Table::selectedProvider,
              TranslationProvider::kimi),
        field("inputTranslationEnabled", false, Table::inputTranslationEnabled, false),
        field("pageTranslationEnabled", true, Table::pageTranslationEnabled, true),
        field("inputSourceLanguage", QStringLiteral("日本語"), Table::inputSourceLanguage,
              TranslationLanguage::japanese),
        field("inputTargetLanguage", QStringLiteral("Deutsch"), Table::inputTargetLanguage,
              TranslationLanguage::german),
        field("pageSourceLanguage", QStringLiteral("Français"), Table::pageSourceLanguage,
              TranslationLanguage::french),
        field("pageTargetLanguage", QStringLiteral("한국어"), Table::pageTargetLanguage,
              TranslationLanguage::korean),
        field("inputTranslationMode", QStringLiteral("selection"), Table::inputTranslationMode,
              TranslationMode::selection),
        field("providerConfigurations.v04", ProviderConfigurationStore::encode(configurations),
              Table::providerConfigs, configurations),
        field("debounceMilliseconds", qint64(1200), Table::debounceMilliseconds, 1200),
        field("pasteFallback", true, Table::pasteFallback, true),
        field("hotkeysEnabled", false, Table::hotkeysEnabled, false),
        field("hotkeyPreset", qint64(1), Table::hotkeyPreset, 1),
        field("allowedBundleIDs", QStringList{QStringLiteral("a"), QStringLiteral("b")},
              Table::allowedBundleIDs, QSet<QString>{QStringLiteral("b"), QStringLiteral("a")}),
    };
    ASSERT_EQ(fields.size(), std::tuple_size_v<decltype(AppSettings::fields())>)
        << "a setting without a row here";
    std::vector<StoredRow> rows = fields;
    for (StoredRow other : {
             row("browserScopeConfirmed.org.mozilla.firefox", true, Table::browserScopeConfirmed(firefox),
                 true),
             row("onboardingStep", qint64(2), Table::onboardingStep, qint64(2)),
             row("onboardingCompleted", true, Table::onboardingCompleted, true),
             row("onboardingDeferred", true, Table::onboardingDeferred, true),
             row("onboardingPresented", true, Table::onboardingPresented, true),
             row("onboardingExplicitAllowlist", true, Table::onboardingExplicitAllowlist, true),
         })
        rows.push_back(std::move(other));

    InMemorySettingsStore store;
    AppSettings written(store, {}, kNow);
    for (const StoredRow& row : rows)
        ASSERT_TRUE(row.write(written)) << row.key.toStdString();
    // The consent of the provider selected above, with the endpoint it was given for.
    ASSERT_TRUE(written.apply(written.cloudConsentChanges(TranslationProvider::kimi, true)));
    rows.push_back({QStringLiteral("cloudConsent.kimi"), true, {}, [](const AppSettings& settings) {
                        return settings.values().cloudConsent;
                    }});
    rows.push_back({QStringLiteral("cloudConsentEndpoint.kimi"),
                    *configurations[TranslationProvider::kimi].consentEndpoint(),
                    {},
                    [](const AppSettings& settings) {
                        return settings.consentEndpointStillHolds(TranslationProvider::kimi);
                    }});

    const AppSettings loaded(store, {}, kNow);
    for (const StoredRow& row : rows) {
        EXPECT_EQ(store.object(row.key), row.stored) << row.key.toStdString();
        EXPECT_TRUE(row.loaded(loaded)) << row.key.toStdString();
    }
    EXPECT_EQ(store.keys().size(), rows.size()) << "nothing is stored under any other key";
}

// A loaded field in its stored form, found by its key.
QVariant loadedAsStored(const AppSettings& settings, const QString& key)
{
    QVariant result;
    std::apply(
        [&](const auto&... f) {
            ((f.row.key == key ? void(result = f.row.encode(settings.values().*f.member)) : void()), ...);
        },
        AppSettings::fields());
    return result;
}

// What a store holds that is missing, of another type, unknown or left by an older version;
// each expectation is a loaded setting in its stored form.
TEST(AppSettingsTest, StoredValuesFallBackByTheirRules)
{
    const QString editor = AppModel::defaultAllowedApplication;
    const struct {
        QVariantMap stored;
        QVariantMap expected;
        QStringList defaultAllowed = {};
    } rows[] = {
        // Every default comes from the table the round trip above covers: one spot check.
        {{}, {{"debounceMilliseconds", qint64(800)}, {"pageTranslationEnabled", false}}},
        {{}, {{"allowedBundleIDs", QStringList{editor}}}, {editor}},
        {{{"allowedBundleIDs", QStringList()}}, {{"allowedBundleIDs", QStringList()}}, {editor}},
        {{{"debounceMilliseconds", qint64(700)}}, {{"debounceMilliseconds", qint64(800)}}},
        {{{"debounceMilliseconds", qint64(600)}}, {{"debounceMilliseconds", qint64(600)}}},
        {{{"helperEnabled", false}, {"selectionTranslationEnabled", true}},
         {{"inputTranslationEnabled", false}, {"pageTranslationEnabled", true}}},
        // The new switches win; a non-Boolean falls back to the old one.
        {{{"helperEnabled", false},
          {"inputTranslationEnabled", true},
          {"selectionTranslationEnabled", true},
          {"pageTranslationEnabled", QStringLiteral("no")}},
         {{"inputTranslationEnabled", true}, {"pageTranslationEnabled", true}}},
        // An automatic target cannot be sent to; reading may start from it.
        {{{"targetLanguage", QStringLiteral("auto-detect")}, {"sourceLanguage", QStringLiteral("日本語")}},
         {{"inputSourceLanguage", QStringLiteral("日本語")},
          {"inputTargetLanguage", QStringLiteral("English")},
          {"pageSourceLanguage", QStringLiteral("auto-detect")},
          {"pageTargetLanguage", QStringLiteral("日本語")}}},
        {{{"inputSourceLanguage", QStringLiteral("Klingon")}, {"sourceLanguage", QStringLiteral("Deutsch")}},
         {{"inputSourceLanguage", QStringLiteral("Deutsch")}}},
        {{{"inputTranslationMode", QStringLiteral("Selection")}},
         {{"inputTranslationMode", QStringLiteral("automatic")}}},
        {{{"hotkeyPreset", qint64(2)}}, {{"hotkeyPreset", qint64(0)}}},
        {{{"interfaceLanguage", QStringLiteral("EN")}}, {{"interfaceLanguage", QStringLiteral("system")}}},
        {{{"interfaceLanguage", QStringLiteral("zh-Hans")}},
         {{"interfaceLanguage", QStringLiteral("zh-Hans")}}},
        {{{"selectedTranslationProvider", QStringLiteral("bing")}},
         {{"selectedTranslationProvider", QStringLiteral("openai")}}},
        {{{"providerConfigurations.v04", QByteArray(R"([{"provider":"kimi"}])")}},
         {{"providerConfigurations.v04",
           ProviderConfigurationStore::encode(ProviderConfigurationStore::defaults())}}},
    };
    for (const auto& row : rows) {
        InMemorySettingsStore store;
        for (auto it = row.stored.cbegin(); it != row.stored.cend(); ++it)
            ASSERT_TRUE(store.setObject(it.key(), it.value()));
        const AppSettings loaded(store, row.defaultAllowed, kNow);
        for (auto it = row.expected.cbegin(); it != row.expected.cend(); ++it)
            EXPECT_EQ(loadedAsStored(loaded, it.key()), it.value()) << it.key().toStdString();
        EXPECT_EQ(store.keys().size(), row.stored.size()) << "nothing is written while reading";
    }
}

TEST(AppSettingsTest, ConsentFollowsTheProviderAndTheEndpointItWasGivenFor)
{
    InMemorySettingsStore store;
    EXPECT_FALSE(AppSettings(store, {}, kNow).values().cloudConsent);
    ASSERT_TRUE(store.setBool(QStringLiteral("cloudConsent"), true));
    EXPECT_TRUE(AppSettings(store, {}, kNow).values().cloudConsent) << "the single old consent meant OpenAI";
    ASSERT_TRUE(store.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("deepseek")));
    EXPECT_FALSE(AppSettings(store, {}, kNow).values().cloudConsent) << "and no other provider";
    ASSERT_TRUE(store.setString(QStringLiteral("selectedTranslationProvider"), QStringLiteral("custom")));
    ASSERT_TRUE(store.setBool(QStringLiteral("cloudConsent.custom"), true));
    ProviderConfigurations configs = ProviderConfigurationStore::defaults();
    configs[TranslationProvider::custom] = {
        TranslationProvider::custom, QStringLiteral("https://llm.example.org/v1"), QStringLiteral("m")};
    ASSERT_TRUE(store.setData(QStringLiteral("providerConfigurations.v04"),
                              ProviderConfigurationStore::encode(configs)));
    EXPECT_FALSE(AppSettings(store, {}, kNow).values().cloudConsent) << "a custom consent needs its endpoint";
    ASSERT_TRUE(store.setString(QStringLiteral("cloudConsentEndpoint.custom"),
                                *configs[TranslationProvider::custom].consentEndpoint()));
    EXPECT_TRUE(AppSettings(store, {}, kNow).values().cloudConsent);
}

// Every stored end is checked before it becomes a time: a number no time can be made of loads
// as no pause, like a pause that has already ended.
TEST(AppSettingsTest, OnlyPausesThatEndLaterAreLoaded)
{
    const double inAMinute = double(kNow.addSecs(60).toSecsSinceEpoch());
    const struct {
        const char* situation;
        QVariant stored;
        std::optional<QDateTime> expected;
    } rows[] = {
        {"a minute from now", inAMinute, kNow.addSecs(60)},
        {"with milliseconds", inAMinute + 0.25, kNow.addMSecs(60250)},
        {"as whole seconds", qint64(inAMinute), kNow.addSecs(60)},
        {"ended now", double(kNow.toSecsSinceEpoch()), std::nullopt},
        {"a word", QStringLiteral("tomorrow"), std::nullopt},
        {"1e300 seconds", 1e300, std::nullopt},
        {"a million years ahead", 3.2e13, std::nullopt},
        {"2^62 seconds", qint64(1) << 62, std::nullopt},
    };
    QVariantMap stored;
    for (const auto& row : rows)
        stored.insert(QString::fromLatin1(row.situation), row.stored);
    InMemorySettingsStore store;
    ASSERT_TRUE(store.setDictionary(QStringLiteral("ignoredAppsUntil"), stored));
    const QMap<QString, QDateTime> loaded = AppSettings(store, {}, kNow).values().ignoredAppsUntil;
    for (const auto& row : rows) {
        const auto found = loaded.constFind(QString::fromLatin1(row.situation));
        EXPECT_EQ(found != loaded.cend() ? std::optional<QDateTime>(*found) : std::nullopt, row.expected)
            << row.situation;
    }
}

// A typing pause stored outside the offered ones loads as the default without being rewritten;
// one assigned in this run is kept for the run only.
TEST_F(ModelTest, AStartWritesAndSchedulesNothingAndAnAssignedPauseLastsOneRun)
{
    ASSERT_TRUE(settings.setInteger(QStringLiteral("debounceMilliseconds"), 700));
    const QStringList keysBefore = settings.keys();
    AppModel& m = makeModel();
    EXPECT_EQ(settings.keys(), keysBefore) << "nothing is written while reading";
    EXPECT_EQ(m.debounceMilliseconds(), 800);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(time.pendingTimers(), 0u) << "no work starts before the first inspection";

    m.setDebounceMilliseconds(700);
    EXPECT_EQ(m.debounceMilliseconds(), 700);
    EXPECT_EQ(settings.integer(QStringLiteral("debounceMilliseconds")), 700);
    EXPECT_EQ(makeModel().debounceMilliseconds(), 800);
}

TEST_F(ModelTest, SettersNotifyInOrderAndShownTextsFollowTheLanguage)
{
    AppModel& m = makeModel();
    QStringList calls;
    auto record = [&calls](const char* name) {
        return [&calls, name] {
            calls << QString::fromLatin1(name);
        };
    };
    m.callbacks().onInterfaceLanguageChanged = record("language");
    m.callbacks().onHotkeySettingsChanged = record("hotkeys");
    m.callbacks().onPreviewUpdate = record("preview");
    m.callbacks().onMonitoringSettingsChanged = record("monitoring");

    m.setInterfaceLanguage(InterfaceLanguage::english);
    EXPECT_EQ(calls, (QStringList{QStringLiteral("language"), QStringLiteral("hotkeys"),
                                  QStringLiteral("preview")}));
    EXPECT_EQ(m.status(), QStringLiteral("Click the tray icon to start"))
        << "shown texts follow the language";

    calls.clear();
    m.setInputTranslationEnabled(false);
    EXPECT_EQ(calls.last(), QStringLiteral("monitoring"));

    // The page pair reads the other way round: from what the user writes into what they read.
    m.setInputSourceLanguage(TranslationLanguage::english);
    m.setInputTargetLanguage(TranslationLanguage::german);
    m.setPageLanguagesFromInput();
    EXPECT_EQ(settings.string(QStringLiteral("pageSourceLanguage")), QStringLiteral("Deutsch"));
    EXPECT_EQ(settings.string(QStringLiteral("pageTargetLanguage")), QStringLiteral("English"));
}

// The model over a settings file whose folder became a plain file after it was read: the
// settings are all there, and no write reaches the disk any more. A change that is not saved
// does not happen and says why; a withdrawn permission holds for this run even unsaved (which
// withdrawals hold is decided by the allow list and the provider settings, tested with them).
TEST_F(ModelTest, AChangeThatIsNotSavedSaysWhyAndOnlyAWithdrawalHolds)
{
    QTemporaryDir home;
    const QString folder = home.filePath(QStringLiteral("quillweave"));
    const QString path = folder + QStringLiteral("/settings.json");
    {
        JsonFileSettingsStore seed(path, time);
        ASSERT_TRUE(seed.setBool(QStringLiteral("cloudConsent.openai"), true));
        ASSERT_TRUE(
            seed.setStringArray(QStringLiteral("allowedBundleIDs"), {AppModel::defaultAllowedApplication}));
    }
    JsonFileSettingsStore file(path, time);
    ASSERT_TRUE(QDir(folder).removeRecursively());
    QFile blocker(folder);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    AppModel::Collaborators unsaved = collaborators(service);
    AppModel m({file, unsaved.clock, unsaved.timers, unsaved.timeZone, unsaved.service, unsaved.ax,
                unsaved.axAccess, unsaved.workspace, unsaved.trustCheck, unsaved.copyText,
                unsaved.keyPresence, unsaved.ownPid},
               {});
    int sideEffects = 0;
    m.callbacks().onHotkeySettingsChanged = [&] {
        ++sideEffects;
    };
    m.callbacks().onInterfaceLanguageChanged = [&] {
        ++sideEffects;
    };
    const struct {
        const char* situation;
        std::function<SettingsWriteResult()> change;
        std::function<bool()> holds;
    } rows[] = {
        {"interface language", [&] { return m.setInterfaceLanguage(InterfaceLanguage::english); },
         [&] {
             return m.interfaceLanguage() == InterfaceLanguage::system &&
                    LocalizationState::shared().language() == InterfaceLanguage::chinese;
         }},
        {"provider", [&] { return m.setSelectedProvider(TranslationProvider::deepSeek); },
         [&] {
             return m.selectedProvider() == TranslationProvider::openAI && m.cloudConsent();
         }},
        {"revoking", [&] { return m.removeAllowedApp(AppModel::defaultAllowedApplication); },
         [&] {
             return !m.allowedBundleIDs().contains(AppModel::defaultAllowedApplication);
         }},
    };
    const QString notSaved = QStringLiteral("设置未保存：无法写入 ") + path;
    for (const auto& row : rows) {
        const SettingsWriteResult result = row.change();
        EXPECT_EQ(result.failure(), SettingsWriteResult::Failure::writeFailed) << row.situation;
        EXPECT_TRUE(m.status().startsWith(notSaved)) << row.situation << ": " << m.status().toStdString();
        EXPECT_TRUE(row.holds()) << row.situation;
    }
    EXPECT_EQ(sideEffects, 0);

    m.updateProviderSettings(ProviderConfiguration::defaults(TranslationProvider::openAI).baseURL,
                             QStringLiteral("another-model"));
    EXPECT_TRUE(m.connectionStatus().startsWith(notSaved));
    EXPECT_EQ(m.currentProviderConfiguration(), ProviderConfiguration::defaults(TranslationProvider::openAI));
    // The store itself still holds only what its file holds.
    EXPECT_EQ(file.boolValue(QStringLiteral("cloudConsent.openai")), true);
    EXPECT_EQ(file.stringArray(QStringLiteral("allowedBundleIDs")),
              QStringList{AppModel::defaultAllowedApplication});
}

} // namespace
} // namespace qw::test
