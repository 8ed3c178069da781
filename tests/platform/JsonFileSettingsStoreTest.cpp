#include "platform/JsonFileSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
QString settingsPath(const QTemporaryDir& dir)
{
    return dir.filePath(QStringLiteral("quillweave/settings.json"));
}
} // namespace

TEST(JsonFileSettingsStore, EveryKindSurvivesARestartWithItsType)
{
    QTemporaryDir dir;
    const QVariantMap dictionary{{QStringLiteral("com.example.App"), QStringLiteral("2026-03-15")},
                                 {QStringLiteral("nested"), QVariantMap{{QStringLiteral("n"), qint64(1) << 60}}}};
    {
        qw::JsonFileSettingsStore store(settingsPath(dir));
        EXPECT_EQ(store.loadOutcome(), qw::JsonFileSettingsStore::LoadOutcome::noFile);
        store.setBool(QStringLiteral("b"), false);
        store.setInteger(QStringLiteral("i"), (qint64(1) << 60) + 1);
        store.setDouble(QStringLiteral("d"), 2.0);
        store.setString(QStringLiteral("s"), QStringLiteral("한국어 Русский 😀"));
        store.setData(QStringLiteral("data"), QByteArray("\x00\xff[]", 4));
        store.setStringArray(QStringLiteral("list"), {QStringLiteral("x"), QString()});
        store.setDictionary(QStringLiteral("dict"), dictionary);
        EXPECT_TRUE(store.lastWriteSucceeded());
    }
    qw::JsonFileSettingsStore store(settingsPath(dir));
    EXPECT_EQ(store.loadOutcome(), qw::JsonFileSettingsStore::LoadOutcome::loaded);
    EXPECT_EQ(store.boolValue(QStringLiteral("b")), false);
    EXPECT_EQ(store.integer(QStringLiteral("i")), (qint64(1) << 60) + 1);
    // A double that happens to be whole stays a double, not an integer.
    EXPECT_EQ(store.doubleValue(QStringLiteral("d")), 2.0);
    EXPECT_FALSE(store.integer(QStringLiteral("d")).has_value());
    EXPECT_EQ(store.string(QStringLiteral("s")), QStringLiteral("한국어 Русский 😀"));
    EXPECT_EQ(store.data(QStringLiteral("data")), QByteArray("\x00\xff[]", 4));
    EXPECT_FALSE(store.string(QStringLiteral("data")).has_value());
    EXPECT_EQ(store.stringArray(QStringLiteral("list")), (QStringList{QStringLiteral("x"), QString()}));
    EXPECT_EQ(store.dictionary(QStringLiteral("dict")), dictionary);
}

TEST(JsonFileSettingsStore, ACorruptFileIsKeptAsideAndDefaultsApply)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("quillweave")));
    QFile file(settingsPath(dir));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":\"quillweave-settings\",\"values\":{\"x\":{\"type\":\"integer\",\"value\":\"12a\"}}}");
    file.close();

    qw::JsonFileSettingsStore store(settingsPath(dir));
    EXPECT_EQ(store.loadOutcome(), qw::JsonFileSettingsStore::LoadOutcome::corruptFileSetAside);
    EXPECT_TRUE(store.keys().isEmpty());
    ASSERT_FALSE(store.setAsidePath().isEmpty());
    EXPECT_TRUE(QFile::exists(store.setAsidePath()));

    store.setBool(QStringLiteral("fresh"), true);
    qw::JsonFileSettingsStore reopened(settingsPath(dir));
    EXPECT_EQ(reopened.boolValue(QStringLiteral("fresh")), true);
}

TEST(JsonFileSettingsStore, TruncatedJsonIsCorruptNotACrash)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath(QStringLiteral("quillweave")));
    QFile file(settingsPath(dir));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"format\":\"quillweave-settings\",\"values\":{\"x\":");
    file.close();
    qw::JsonFileSettingsStore store(settingsPath(dir));
    EXPECT_EQ(store.loadOutcome(), qw::JsonFileSettingsStore::LoadOutcome::corruptFileSetAside);
}
