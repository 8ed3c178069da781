// The settings file as the program finds it at start, written by anyone: loading never crashes,
// a file it cannot read is set aside intact, the model makes usable settings of whatever it
// holds, and a file it loads keeps every value through the next write and the next start.
#include "FuzzInput.h"
#include "core/Clock.h"
#include "model/AppSettings.h"
#include "platform/JsonFileSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace qw;

namespace {

class FixedClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)); }
};

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    fuzz::require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the fuzzer can write its file");
    fuzz::require(file.write(content) == content.size(), "the fuzzer wrote its whole file");
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("settings.json"));
    const QByteArray content = fuzz::bytes(data, size);
    writeFile(path, content);
    const FixedClock clock;

    JsonFileSettingsStore store(path, clock);
    switch (store.loadOutcome()) {
    case JsonFileSettingsStore::LoadOutcome::corruptFileSetAside:
        fuzz::require(!QFile::exists(path), "a corrupt file is moved away");
        fuzz::require(readFile(store.setAsidePath()) == content, "a corrupt file is kept as it was");
        fuzz::require(store.keys().isEmpty(), "a corrupt file gives the defaults");
        QFile::remove(store.setAsidePath());
        return 0;
    case JsonFileSettingsStore::LoadOutcome::loaded:
        break;
    case JsonFileSettingsStore::LoadOutcome::noFile:
    case JsonFileSettingsStore::LoadOutcome::unreadable:
        fuzz::require(false, "a file that is there and readable is loaded or set aside");
    }

    // Every typed read answers without failing, whatever the stored type.
    QHash<QString, QVariant> loaded;
    for (const QString& key : store.keys()) {
        const auto value = store.object(key);
        fuzz::require(value.has_value(), "every listed key has a value");
        loaded.insert(key, *value);
        (void)store.boolValue(key);
        (void)store.integer(key);
        (void)store.doubleValue(key);
        (void)store.string(key);
        (void)store.data(key);
        (void)store.stringArray(key);
        (void)store.dictionary(key);
    }

    // The model reads every setting from it, falling back to the default for anything unusable.
    const AppSettings settings(store, {}, clock.now());
    fuzz::require(AppSettings::allowedDebounceValues.contains(settings.values().debounceMilliseconds),
                  "the typing pause is one the control offers");
    for (const auto provider : allTranslationProviders())
        (void)settings.configuration(provider).validatedEndpoint();
    for (auto it = settings.values().ignoredAppsUntil.cbegin();
         it != settings.values().ignoredAppsUntil.cend(); ++it)
        fuzz::require(it.value().isValid() && it.value() > clock.now(),
                      "a loaded pause is a time still to come");

    // The next write keeps what was loaded, and the next start reads it back unchanged.
    const auto touched = store.setString(QStringLiteral("fuzz.touched"), QStringLiteral("yes"));
    fuzz::require(bool(touched), "a loaded file takes the next change");
    const JsonFileSettingsStore reopened(path, clock);
    fuzz::require(reopened.loadOutcome() == JsonFileSettingsStore::LoadOutcome::loaded,
                  "a file the store wrote loads again");
    fuzz::require(reopened.keys().size() ==
                      loaded.size() + (loaded.contains(QStringLiteral("fuzz.touched")) ? 0 : 1),
                  "no key is lost or added on the way");
    for (auto it = loaded.cbegin(); it != loaded.cend(); ++it) {
        if (it.key() == u"fuzz.touched")
            continue;
        fuzz::require(reopened.object(it.key()) == std::optional<QVariant>(it.value()),
                      "every value comes back as it was loaded");
    }
    QFile::remove(path);
    return 0;
}
