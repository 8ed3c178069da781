#include "platform/JsonFileSettingsStore.h"

#include "tests/support/VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {

using qw::JsonFileSettingsStore;
using qw::SettingsWriteResult;
using Failure = qw::SettingsWriteResult::Failure;

class JsonFileSettingsStoreTest : public ::testing::Test {
protected:
    QString folder() const { return dir.filePath(QStringLiteral("quillweave")); }
    QString path() const { return folder() + QStringLiteral("/settings.json"); }

    void writeFile(const QByteArray& bytes)
    {
        QDir().mkpath(folder());
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray readFile(const QString& name) const
    {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The settings folder becomes a plain file: nothing can be written beneath it any more.
    void blockFolder()
    {
        ASSERT_TRUE(QDir(folder()).removeRecursively());
        QFile blocker(folder());
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }

    static QVariant nested(int depth)
    {
        QVariant value(QStringLiteral("leaf"));
        for (int level = 0; level < depth; ++level)
            value = QVariantMap{{QStringLiteral("k"), value}};
        return value;
    }

    QTemporaryDir dir;
    qw::test::VirtualTime time;
};

TEST_F(JsonFileSettingsStoreTest, EveryKindSurvivesARestartWithItsType)
{
    const QString bom(QChar(0xFEFF));
    const QVariantMap dictionary{
        {QStringLiteral("com.example.App"), QStringLiteral("2026-03-15")},
        {QStringLiteral("nested"), QVariantMap{{QStringLiteral("n"), qint64(1) << 60}}},
        {bom + QStringLiteral("key"), bom + QStringLiteral("value")}};
    {
        JsonFileSettingsStore store(path(), time);
        EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::noFile);
        ASSERT_TRUE(store.setBool(QStringLiteral("b"), false));
        ASSERT_TRUE(store.setInteger(QStringLiteral("i"), (qint64(1) << 60) + 1));
        ASSERT_TRUE(store.setDouble(QStringLiteral("d"), 2.0));
        ASSERT_TRUE(store.setDouble(QStringLiteral("tiny"), std::numeric_limits<double>::denorm_min()));
        ASSERT_TRUE(store.setString(QStringLiteral("s"), QStringLiteral("한국어 Русский 😀")));
        ASSERT_TRUE(store.setData(QStringLiteral("data"), QByteArray("\x00\xff[]", 4)));
        ASSERT_TRUE(store.setStringArray(QStringLiteral("list"), {QStringLiteral("x"), QString(), bom}));
        ASSERT_TRUE(store.setDictionary(QStringLiteral("dict"), dictionary));
        ASSERT_TRUE(
            store.setObject(QStringLiteral("deep"), nested(qw::SettingsStore::maximumDictionaryDepth)));
        // A U+FEFF that starts a key or a string is text, not a byte-order mark.
        ASSERT_TRUE(store.setString(bom + QStringLiteral("s"), bom + QStringLiteral("x")));
        // Rewritten once more, so that what was read back is written again.
        ASSERT_TRUE(store.remove(QStringLiteral("missing")));
    }
    {
        JsonFileSettingsStore store(path(), time);
        ASSERT_TRUE(store.setBool(QStringLiteral("again"), true)) << "a rewrite after a reload";
    }
    JsonFileSettingsStore store(path(), time);
    EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::loaded);
    EXPECT_EQ(store.boolValue(QStringLiteral("b")), false);
    EXPECT_EQ(store.integer(QStringLiteral("i")), (qint64(1) << 60) + 1);
    // A double that happens to be whole stays a double, not an integer.
    EXPECT_EQ(store.doubleValue(QStringLiteral("d")), 2.0);
    EXPECT_FALSE(store.integer(QStringLiteral("d")).has_value());
    EXPECT_EQ(store.doubleValue(QStringLiteral("tiny")), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(store.string(QStringLiteral("s")), QStringLiteral("한국어 Русский 😀"));
    EXPECT_EQ(store.data(QStringLiteral("data")), QByteArray("\x00\xff[]", 4));
    EXPECT_FALSE(store.string(QStringLiteral("data")).has_value());
    EXPECT_EQ(store.stringArray(QStringLiteral("list")), (QStringList{QStringLiteral("x"), QString(), bom}));
    EXPECT_EQ(store.dictionary(QStringLiteral("dict")), dictionary);
    EXPECT_EQ(store.object(QStringLiteral("deep")), nested(qw::SettingsStore::maximumDictionaryDepth));
    EXPECT_EQ(store.string(bom + QStringLiteral("s")), bom + QStringLiteral("x"));
}

TEST_F(JsonFileSettingsStoreTest, WhatCouldNotBeReadBackIsRefusedAndChangesNothing)
{
    JsonFileSettingsStore store(path(), time);
    ASSERT_TRUE(store.setDouble(QStringLiteral("kept"), 1.5));
    const QByteArray before = readFile(path());
    const struct {
        const char* situation;
        QVariant value;
    } rows[] = {
        {"not a number", QVariant(std::nan(""))},
        {"infinity", QVariant(std::numeric_limits<double>::infinity())},
        {"minus infinity", QVariant(-std::numeric_limits<double>::infinity())},
        {"infinity inside a dictionary",
         QVariantMap{{QStringLiteral("t"), std::numeric_limits<double>::infinity()}}},
        {"a dictionary one level too deep", nested(qw::SettingsStore::maximumDictionaryDepth + 1)},
        {"a type the store does not keep", QVariant(QDate(2026, 3, 14))},
    };
    for (const auto& row : rows) {
        const SettingsWriteResult result =
            store.apply({{QStringLiteral("good"), QVariant(true)}, {QStringLiteral("kept"), row.value}});
        EXPECT_EQ(result.failure(), Failure::notStorable) << row.situation;
        EXPECT_FALSE(store.contains(QStringLiteral("good"))) << row.situation << ": all or nothing";
        EXPECT_EQ(store.doubleValue(QStringLiteral("kept")), 1.5) << row.situation;
    }
    EXPECT_EQ(readFile(path()), before);
    JsonFileSettingsStore reopened(path(), time);
    EXPECT_EQ(reopened.loadOutcome(), JsonFileSettingsStore::LoadOutcome::loaded);
    EXPECT_EQ(reopened.doubleValue(QStringLiteral("kept")), 1.5);
}

TEST_F(JsonFileSettingsStoreTest, AWriteTheFileDidNotTakeIsNotKeptInMemory)
{
    {
        JsonFileSettingsStore seed(path(), time);
        ASSERT_TRUE(seed.setString(QStringLiteral("provider"), QStringLiteral("openai")));
        ASSERT_TRUE(seed.setBool(QStringLiteral("consent"), true));
    }
    JsonFileSettingsStore store(path(), time);
    blockFolder();

    SettingsWriteResult result = store.setString(QStringLiteral("provider"), QStringLiteral("deepseek"));
    EXPECT_EQ(result.failure(), Failure::writeFailed);
    EXPECT_EQ(result.location(), path());
    EXPECT_FALSE(result.reason().isEmpty());
    EXPECT_EQ(store.string(QStringLiteral("provider")), QStringLiteral("openai"));

    EXPECT_EQ(store.remove(QStringLiteral("consent")).failure(), Failure::writeFailed);
    EXPECT_EQ(store.boolValue(QStringLiteral("consent")), true);
    EXPECT_FALSE(store.setBool(QStringLiteral("new"), true));
    EXPECT_FALSE(store.contains(QStringLiteral("new")));
    EXPECT_TRUE(store.remove(QStringLiteral("never stored"))) << "removing nothing writes nothing";
}

TEST_F(JsonFileSettingsStoreTest, AFileThatCannotBeOpenedIsNeverReplaced)
{
    // A folder where the file should be: it exists, but cannot be read as a file.
    ASSERT_TRUE(QDir().mkpath(path()));
    JsonFileSettingsStore store(path(), time);
    EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::unreadable);
    const SettingsWriteResult result = store.setBool(QStringLiteral("b"), true);
    EXPECT_EQ(result.failure(), Failure::unreadableFile);
    EXPECT_FALSE(store.contains(QStringLiteral("b")));
    EXPECT_TRUE(QFileInfo(path()).isDir());
}

TEST_F(JsonFileSettingsStoreTest, EachCorruptFileIsKeptAsideNextToTheEarlierOnes)
{
    const QByteArray damaged[] = {
        R"({"format":"quillweave-settings","values":{"x":{"type":"integer","value":"12a"}}})",
        R"({"format":"quillweave-settings","values":{"x":)",
        R"({"format":"quillweave-settings","values":{"x":{"type":"double","value":null}}})",
    };
    QStringList asides;
    // The same instant each time: the name alone cannot tell the copies apart.
    for (const QByteArray& bytes : damaged) {
        writeFile(bytes);
        JsonFileSettingsStore store(path(), time);
        EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::corruptFileSetAside);
        EXPECT_TRUE(store.keys().isEmpty());
        asides.append(store.setAsidePath());
    }
    for (int i = 0; i < asides.size(); ++i)
        EXPECT_EQ(readFile(asides.at(i)), damaged[i]) << asides.at(i).toStdString();
    EXPECT_EQ(QSet<QString>(asides.cbegin(), asides.cend()).size(), asides.size());

    JsonFileSettingsStore store(path(), time);
    ASSERT_TRUE(store.setBool(QStringLiteral("fresh"), true));
    EXPECT_EQ(JsonFileSettingsStore(path(), time).boolValue(QStringLiteral("fresh")), true);
}

} // namespace
