#include "core/SerialWorker.h"
#include "engine/SecretBackend.h"
#include "platform/SecretServiceBackend.h"
#include "tests/platform/KeyringControl.h"
#include "tests/support/AsyncTestHelpers.h"

#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

using namespace Qt::StringLiterals;
namespace SecretStatus = qw::SecretStatus;

// Whether the keyring's unlock prompt is on the screen.
bool promptShown()
{
    QProcess search;
    search.start(u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--class"_s, u"gcr-prompter"_s});
    return search.waitForFinished(5000) && !search.readAllStandardOutput().trimmed().isEmpty();
}

// The program quits (menu, SIGTERM, the session ending) while the keyring's unlock prompt waits
// for the user: the keyring worker's teardown dismisses the prompt and ends at once, and a
// call made after it does not prompt again.
TEST(KeyringFaults, QuittingWhileAnUnlockPromptIsOpenDismissesItAtOnce)
{
    if (qEnvironmentVariableIsEmpty("QW_TEST_KEYRING_PASSWORD") || qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs the private keyring and display of scripts/headless-session.sh";
    qw::test::KeyringControl keyring;
    const QString collection = keyring.defaultCollection();
    ASSERT_FALSE(collection.isEmpty());
    qw::SecretServiceBackend backend;
    const qw::SecretItemKey key{u"org.quillweave.Faults"_s, u"prompt"_s};
    ASSERT_EQ(backend.add(key, u"fault test"_s, "sk-prompt"), SecretStatus::success);
    ASSERT_TRUE(keyring.lock(collection));

    QFuture<qint32> read;
    QElapsedTimer quitting;
    {
        qw::SerialWorker worker(u"keyring"_s, [&backend] { backend.interrupt(); });
        read =
            worker.submit([&backend, key] { return backend.read(key, qw::SecretAccess::mayPrompt).error(); });
        ASSERT_TRUE(qw::test::pumpUntil(promptShown)) << "the unlock prompt never opened";
        quitting.start();
    }
    EXPECT_LT(quitting.elapsed(), 1000) << "quitting waited for the prompt";
    ASSERT_EQ(read.resultCount(), 1);
    EXPECT_EQ(read.result(), SecretStatus::userCancelled);
    EXPECT_TRUE(qw::test::pumpUntil([] { return !promptShown(); }, std::chrono::seconds(5)))
        << "the prompt stayed on the screen";
    EXPECT_EQ(backend.find(key, qw::SecretAccess::mayPrompt), SecretStatus::userCancelled);
    EXPECT_FALSE(promptShown());

    ASSERT_TRUE(keyring.unlockWithPassword(collection, qgetenv("QW_TEST_KEYRING_PASSWORD")));
    qw::SecretServiceBackend cleanup;
    EXPECT_EQ(cleanup.remove(key), SecretStatus::success);
}

} // namespace
