#include "platform/JsonFileSettingsStore.h"
#include "tests/support/VirtualTime.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace Qt::StringLiterals;
using qw::JsonFileSettingsStore;
using Failure = qw::SettingsWriteResult::Failure;

class SettingsFileFaults : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(u"settings.json"_s); }

    QByteArray fileBytes() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // What another program leaves behind: written in place, as editors without atomic saves do.
    void writeInPlace(const QByteArray& bytes)
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // The settings file as a second copy of this program (or an editor keeping the format) saves it.
    void saveFromElsewhere(const QString& key, const QString& value)
    {
        JsonFileSettingsStore other(path(), time);
        ASSERT_TRUE(other.setString(key, value));
    }

    // Takes the right to write `target` away, as another program (or the user) may; returns
    // what gives it back. Root writes through permissions, so for root the file system's
    // immutable flag does it.
    static std::function<void()> makeReadOnly(const QString& target)
    {
        const QByteArray name = target.toLocal8Bit();
        if (::geteuid() != 0) {
            struct stat original = {};
            if (::stat(name.constData(), &original) != 0 || ::chmod(name.constData(), 0444) != 0)
                return {};
            return [name, original] {
                ::chmod(name.constData(), original.st_mode & 07777);
            };
        }
        auto setImmutable = [name](bool on) {
            const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK);
            int flags = 0;
            bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            if (fd >= 0)
                ::close(fd);
            return done;
        };
        if (!setImmutable(true))
            return {};
        return [setImmutable] {
            setImmutable(false);
        };
    }

    QTemporaryDir dir;
    qw::test::VirtualTime time;
};

// Another program replaced the file while this one ran. What the user expects: their edit
// stays, and this program's own later change lands beside it. A replacement that is not
// settings (half saved, or broken by hand) is never overwritten; the change fails visibly and
// goes through once the file is fixed.
TEST_F(SettingsFileFaults, AFileReplacedWhileRunningIsNeverClobbered)
{
    JsonFileSettingsStore store(path(), time);
    ASSERT_TRUE(store.setString(u"provider"_s, u"openai"_s));
    ASSERT_TRUE(store.setString(u"interfaceLanguage"_s, u"zh-Hans"_s));

    saveFromElsewhere(u"interfaceLanguage"_s, u"en"_s);
    ASSERT_TRUE(store.setString(u"provider"_s, u"deepseek"_s));
    JsonFileSettingsStore reread(path(), time);
    EXPECT_EQ(reread.string(u"interfaceLanguage"_s), u"en"_s) << "the other program's edit was clobbered";
    EXPECT_EQ(reread.string(u"provider"_s), u"deepseek"_s);
    EXPECT_EQ(store.string(u"interfaceLanguage"_s), u"en"_s);

    const QByteArray broken = fileBytes().left(40);
    writeInPlace(broken);
    const auto refused = store.setString(u"provider"_s, u"kimi"_s);
    EXPECT_EQ(refused.failure(), Failure::unreadableFile);
    EXPECT_EQ(refused.location(), path());
    EXPECT_EQ(fileBytes(), broken);
    EXPECT_EQ(store.string(u"provider"_s), u"deepseek"_s);

    QFile::remove(path());
    saveFromElsewhere(u"onboardingStep"_s, u"fixed"_s);
    ASSERT_TRUE(store.setString(u"provider"_s, u"kimi"_s));
    EXPECT_EQ(JsonFileSettingsStore(path(), time).string(u"onboardingStep"_s), u"fixed"_s);
}

// Made read-only by another program (a folder taken away is the store's own test): the change
// is refused with the file's name and a reason (the model turns that into the message the user
// sees), and what the file held is untouched.
TEST_F(SettingsFileFaults, AFileMadeReadOnlyRefusesTheChangeAndKeepsItsContent)
{
    JsonFileSettingsStore store(path(), time);
    ASSERT_TRUE(store.setString(u"provider"_s, u"openai"_s));
    const QByteArray before = fileBytes();

    const std::function<void()> restore = makeReadOnly(path());
    ASSERT_TRUE(restore) << "could not take the right to write away";
    const auto result = store.setString(u"provider"_s, u"deepseek"_s);
    restore();
    EXPECT_EQ(result.failure(), Failure::writeFailed);
    EXPECT_EQ(result.location(), path());
    EXPECT_FALSE(result.reason().isEmpty());
    EXPECT_EQ(fileBytes(), before);
    EXPECT_EQ(store.string(u"provider"_s), u"openai"_s);
    EXPECT_TRUE(store.setString(u"provider"_s, u"deepseek"_s)) << "writable again, the change goes through";
}

// A writer killed at a random point of its writes, a thousand times: the file always holds
// the last write it finished or the one it was in the middle of, never a part of one, and no
// leftovers pile up beside it.
TEST_F(SettingsFileFaults, AWriterKilledMidWriteLeavesTheOldOrTheNewFile)
{
    constexpr int rounds = 1000;
    qint64 committed = 0;
    for (int round = 0; round < rounds; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(QW_SETTINGS_WRITER_CHILD), {path()});
        ASSERT_TRUE(writer.waitForStarted(5000));
        // Kill after a random number of finished writes (zero: during the first one).
        const int writesBeforeKill = int(QRandomGenerator::global()->bounded(3));
        int seen = 0;
        while (seen < writesBeforeKill) {
            ASSERT_TRUE(writer.waitForReadyRead(5000)) << "round " << round;
            while (writer.canReadLine()) {
                committed = writer.readLine().trimmed().toLongLong();
                ++seen;
            }
        }
        ::kill(pid_t(writer.processId()), SIGKILL);
        ASSERT_TRUE(writer.waitForFinished(5000));
        while (writer.canReadLine())
            committed = writer.readLine().trimmed().toLongLong();

        JsonFileSettingsStore reader(path(), time);
        const auto loaded = reader.loadOutcome();
        ASSERT_TRUE(loaded == JsonFileSettingsStore::LoadOutcome::loaded ||
                    (committed == 0 && loaded == JsonFileSettingsStore::LoadOutcome::noFile))
            << "round " << round << ": the file was cut (" << int(loaded) << ")";
        const qint64 stored = reader.integer(u"counter"_s).value_or(0);
        ASSERT_TRUE(stored == committed || stored == committed + 1)
            << "round " << round << ": holds " << stored << " after " << committed << " was written";
        committed = stored;
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"settings.json"_s});
}

} // namespace
