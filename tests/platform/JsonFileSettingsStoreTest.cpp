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

using namespace Qt::StringLiterals;

using qw::JsonFileSettingsStore;
using qw::SettingsWriteResult;
using Failure = qw::SettingsWriteResult::Failure;

class JsonFileSettingsStoreTest : public ::testing::Test {
protected:
    QString folder() const { return dir.filePath(u"quillweave"_s); }
    QString path() const { return folder() + u"/settings.json"_s; }

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
        QVariant value(u"leaf"_s);
        for (int level = 0; level < depth; ++level)
            value = QVariantMap{{u"k"_s, value}};
        return value;
    }

    QTemporaryDir dir;
    qw::test::VirtualTime time;
};

TEST_F(JsonFileSettingsStoreTest, EveryKindSurvivesARestartWithItsType)
{
    const QString bom(QChar(0xFEFF));
    const QVariantMap dictionary{{u"com.example.App"_s, u"2026-03-15"_s},
                                 {u"nested"_s, QVariantMap{{u"n"_s, qint64(1) << 60}}},
                                 {bom + u"key"_s, bom + u"value"_s}};
    {
        JsonFileSettingsStore store(path(), time);
        EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::noFile);
        ASSERT_TRUE(store.setBool(u"b"_s, false));
        ASSERT_TRUE(store.setInteger(u"i"_s, (qint64(1) << 60) + 1));
        ASSERT_TRUE(store.setDouble(u"d"_s, 2.0));
        ASSERT_TRUE(store.setDouble(u"tiny"_s, std::numeric_limits<double>::denorm_min()));
        ASSERT_TRUE(store.setString(u"s"_s, u"한국어 Русский 😀"_s));
        ASSERT_TRUE(store.setData(u"data"_s, QByteArray("\x00\xff[]", 4)));
        ASSERT_TRUE(store.setStringArray(u"list"_s, {u"x"_s, QString(), bom}));
        ASSERT_TRUE(store.setDictionary(u"dict"_s, dictionary));
        ASSERT_TRUE(store.setObject(u"deep"_s, nested(qw::SettingsStore::maximumDictionaryDepth)));
        // A U+FEFF that starts a key or a string is text, not a byte-order mark.
        ASSERT_TRUE(store.setString(bom + u"s"_s, bom + u"x"_s));
        // Rewritten once more, so that what was read back is written again.
        ASSERT_TRUE(store.remove(u"missing"_s));
    }
    {
        JsonFileSettingsStore store(path(), time);
        ASSERT_TRUE(store.setBool(u"again"_s, true)) << "a rewrite after a reload";
    }
    JsonFileSettingsStore store(path(), time);
    EXPECT_EQ(store.loadOutcome(), JsonFileSettingsStore::LoadOutcome::loaded);
    EXPECT_EQ(store.boolValue(u"b"_s), false);
    EXPECT_EQ(store.integer(u"i"_s), (qint64(1) << 60) + 1);
    // A double that happens to be whole stays a double, not an integer.
    EXPECT_EQ(store.doubleValue(u"d"_s), 2.0);
    EXPECT_FALSE(store.integer(u"d"_s).has_value());
    EXPECT_EQ(store.doubleValue(u"tiny"_s), std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(store.string(u"s"_s), u"한국어 Русский 😀"_s);
    EXPECT_EQ(store.data(u"data"_s), QByteArray("\x00\xff[]", 4));
    EXPECT_FALSE(store.string(u"data"_s).has_value());
    EXPECT_EQ(store.stringArray(u"list"_s), (QStringList{u"x"_s, QString(), bom}));
    EXPECT_EQ(store.dictionary(u"dict"_s), dictionary);
    EXPECT_EQ(store.object(u"deep"_s), nested(qw::SettingsStore::maximumDictionaryDepth));
    EXPECT_EQ(store.string(bom + u"s"_s), bom + u"x"_s);
}

TEST_F(JsonFileSettingsStoreTest, WhatCouldNotBeReadBackIsRefusedAndChangesNothing)
{
    JsonFileSettingsStore store(path(), time);
    ASSERT_TRUE(store.setDouble(u"kept"_s, 1.5));
    const QByteArray before = readFile(path());
    const struct {
        const char* situation;
        QVariant value;
    } rows[] = {
        {"not a number", QVariant(std::nan(""))},
        {"infinity", QVariant(std::numeric_limits<double>::infinity())},
        {"infinity inside a dictionary", QVariantMap{{u"t"_s, std::numeric_limits<double>::infinity()}}},
        {"a dictionary one level too deep", nested(qw::SettingsStore::maximumDictionaryDepth + 1)},
        {"a type the store does not keep", QVariant(QDate(2026, 3, 14))},
    };
    for (const auto& row : rows) {
        const SettingsWriteResult result = store.apply({{u"good"_s, QVariant(true)}, {u"kept"_s, row.value}});
        EXPECT_EQ(result.failure(), Failure::notStorable) << row.situation;
        EXPECT_FALSE(store.contains(u"good"_s)) << row.situation << ": all or nothing";
        EXPECT_EQ(store.doubleValue(u"kept"_s), 1.5) << row.situation;
    }
    EXPECT_EQ(readFile(path()), before);
    JsonFileSettingsStore reopened(path(), time);
    EXPECT_EQ(reopened.loadOutcome(), JsonFileSettingsStore::LoadOutcome::loaded);
    EXPECT_EQ(reopened.doubleValue(u"kept"_s), 1.5);
}

TEST_F(JsonFileSettingsStoreTest, AWriteTheFileDidNotTakeIsNotKeptInMemoryAndAnUnreadableFileIsNeverReplaced)
{
    {
        JsonFileSettingsStore seed(path(), time);
        ASSERT_TRUE(seed.setString(u"provider"_s, u"openai"_s));
        ASSERT_TRUE(seed.setBool(u"consent"_s, true));
    }
    JsonFileSettingsStore store(path(), time);
    blockFolder();

    SettingsWriteResult result = store.setString(u"provider"_s, u"deepseek"_s);
    EXPECT_EQ(result.failure(), Failure::writeFailed);
    EXPECT_EQ(result.location(), path());
    EXPECT_FALSE(result.reason().isEmpty());
    EXPECT_EQ(store.string(u"provider"_s), u"openai"_s);

    EXPECT_EQ(store.remove(u"consent"_s).failure(), Failure::writeFailed);
    EXPECT_EQ(store.boolValue(u"consent"_s), true);
    EXPECT_FALSE(store.setBool(u"new"_s, true));
    EXPECT_FALSE(store.contains(u"new"_s));
    EXPECT_TRUE(store.remove(u"never stored"_s)) << "removing nothing writes nothing";

    // A file that exists but cannot be opened (a folder where it should be) is never replaced.
    ASSERT_TRUE(QFile::remove(folder()));
    ASSERT_TRUE(QDir().mkpath(path()));
    JsonFileSettingsStore unreadable(path(), time);
    EXPECT_EQ(unreadable.loadOutcome(), JsonFileSettingsStore::LoadOutcome::unreadable);
    EXPECT_EQ(unreadable.setBool(u"b"_s, true).failure(), Failure::unreadableFile);
    EXPECT_FALSE(unreadable.contains(u"b"_s));
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
    ASSERT_TRUE(store.setBool(u"fresh"_s, true));
    EXPECT_EQ(JsonFileSettingsStore(path(), time).boolValue(u"fresh"_s), true);
}

} // namespace
