// Whole update runs against a local HTTPS server, with a key pair made here, into a temporary
// per-user prefix through the real installer.
#include "platform/UserPrefixInstaller.h"
#include "tests/engine/LocalHttpsServer.h"
#include "tests/support/AsyncTestHelpers.h"
#include "tests/support/InterfaceLanguageScope.h"
#include "tests/support/VirtualTime.h"
#include "tests/updates/UpdateTestKit.h"
#include "updates/AppUpdates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

using namespace qw;
using namespace std::chrono_literals;
using qw::test::ArchiveEntry;
using qw::test::LocalHttpsServer;

namespace {

using K = ArchiveEntry::Kind;

// The real installer, except that a relaunch is only counted: the test process stays.
class CountingRelaunch final : public UpdateInstaller {
public:
    explicit CountingRelaunch(const QString& prefix) : m_real(prefix) {}
    void removeLeftovers() override { m_real.removeLeftovers(); }
    QCoro::Task<bool> install(QVersionNumber version, QByteArray archive) override
    {
        return m_real.install(std::move(version), std::move(archive));
    }
    bool relaunch() override
    {
        ++relaunches;
        return true;
    }
    int relaunches = 0;

private:
    UserPrefixInstaller m_real;
};

// What the server publishes, and how it goes wrong.
struct Publication {
    QString version = QStringLiteral("0.5.0");
    QList<ArchiveEntry> entries = test::versionTree(QStringLiteral("0.5.0"));
    QByteArray archivePath = "/https-redirect";
    qint64 lengthDelta = 0;
    bool signed_ = true;
    bool signatureOfOtherBytes = false;
    std::optional<QByteArray> rawFeed;
    bool fileSizeLimited = false;
};

// What a link says, as written (relative).
std::string linkTarget(const QString& path)
{
    char target[4096];
    const ssize_t size = ::readlink(QFile::encodeName(path).constData(), target, sizeof target);
    return size < 0 ? std::string() : std::string(target, std::size_t(size));
}

class UpdateRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = prefix.path() + QStringLiteral("/lib/quillweave");
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/versions/0.4.0/bin")));
        QFile program(root + QStringLiteral("/versions/0.4.0/bin/quillweave"));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\necho 0.4.0\n");
        program.close();
        ASSERT_TRUE(QFile::link("versions/0.4.0", root + QStringLiteral("/current")));
        ASSERT_TRUE(QDir().mkpath(prefix.path() + QStringLiteral("/bin")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../lib/quillweave/current/bin/quillweave"),
                                prefix.path() + QStringLiteral("/bin/quillweave")));
        // What a killed update left: cleaned when updating starts.
        ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/versions/0.5.0.partial-Kd81xQ/bin")));

        server.setHandler([this](const LocalHttpsServer::Request& request) { return answer(request); });
        // The same archive in the clear: following a redirect here would install it.
        ASSERT_TRUE(plain.listen(QHostAddress::LocalHost));
        QObject::connect(&plain, &QTcpServer::newConnection, [this] {
            QTcpSocket* socket = plain.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " +
                              QByteArray::number(archive.size()) + "\r\n\r\n" + archive);
                socket->disconnectFromHost();
            });
        });
    }

    LocalHttpsServer::Response answer(const LocalHttpsServer::Request& request) const
    {
        const QByteArray base = "127.0.0.1:" + QByteArray::number(server.port());
        if (request.target == "/feed.xml")
            return {200, feed, {}};
        if (request.target == "/archive.tar.gz")
            return {200, archive, {}};
        if (request.target == "/https-redirect")
            return {302, {}, {{"Location", "https://" + base + "/archive.tar.gz"}}};
        if (request.target == "/http-redirect")
            return {
                302, {}, {{"Location", "http://127.0.0.1:" + QByteArray::number(plain.serverPort()) + "/"}}};
        return {404, {}, {}};
    }

    void publish(const Publication& publication)
    {
        archive = test::tarGz(publication.entries);
        const QByteArray signature = key.sign(publication.signatureOfOtherBytes ? archive + "x" : archive);
        const QByteArray url =
            "https://127.0.0.1:" + QByteArray::number(server.port()) + publication.archivePath;
        feed = publication.rawFeed.value_or(
            R"(<?xml version="1.0" encoding="utf-8"?><rss version="2.0" xmlns:qw="urn:quillweave:update:1">)"
            "<channel><title>Quillweave</title><item><title>" +
            publication.version.toUtf8() + "</title><qw:version>" + publication.version.toUtf8() +
            "</qw:version>" +
            (publication.signed_ ? "<qw:signature>" + signature.toBase64() + "</qw:signature>"
                                 : QByteArray()) +
            "<enclosure url=\"" + url + "\" length=\"" +
            QByteArray::number(archive.size() + publication.lengthDelta) +
            "\" type=\"application/gzip\"/></item></channel></rss>");
    }

    AppUpdates& startUpdates(bool automaticDownloads)
    {
        auto counting = std::make_shared<CountingRelaunch>(prefix.path());
        installer = counting.get();
        updates = std::make_unique<AppUpdates>(
            time, AppUpdates::Switches{true, automaticDownloads},
            [this](AppUpdates::Switches s) { saved = s; }, [this] { ++quits; });
        updates->setIsBusy([this] { return busy; });
        updates->start(setupFor(counting));
        return *updates;
    }

    UpdateSetup setupFor(std::shared_ptr<UpdateInstaller> withInstaller) const
    {
        return {{{QStringLiteral("CFBundleShortVersionString"), QStringLiteral("0.4.0")},
                 {QStringLiteral("QuillweaveInstallation"), QStringLiteral("user")},
                 {QStringLiteral("QuillweaveUpdatesEnabled"), true},
                 {QStringLiteral("SUFeedURL"),
                  QStringLiteral("https://127.0.0.1:%1/feed.xml").arg(server.port())},
                 {QStringLiteral("SUPublicEDKey"), key.publicKeyBase64()}},
                std::move(withInstaller),
                {{LocalHttpsServer::certificate()}}};
    }

    // Network replies arrive as events; the run ends when the status stops saying "in progress".
    void finishRun()
    {
        ASSERT_TRUE(
            test::pumpUntil([this] { return !updates->status().startsWith(QStringLiteral("正在")); }));
    }

    void expectOldVersionInPlace()
    {
        EXPECT_EQ(linkTarget(root + QStringLiteral("/current")), "versions/0.4.0");
        EXPECT_EQ(QDir(root + QStringLiteral("/versions")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                  QStringList{QStringLiteral("0.4.0")});
        EXPECT_EQ(installer->relaunches, 0);
    }

    QByteArray runningProgram() const
    {
        QFile program(prefix.path() + QStringLiteral("/bin/quillweave"));
        return program.open(QIODevice::ReadOnly) ? program.readAll() : QByteArray();
    }

    test::InterfaceLanguageScope chinese{InterfaceLanguage::chinese};
    test::VirtualTime time;
    test::TestSigningKey key;
    LocalHttpsServer server;
    QTcpServer plain;
    QTemporaryDir prefix;
    QString root;
    QByteArray feed;
    QByteArray archive;
    bool busy = false;
    int quits = 0;
    std::optional<AppUpdates::Switches> saved;
    CountingRelaunch* installer = nullptr;
    std::unique_ptr<AppUpdates> updates;
};

TEST_F(UpdateRunTest, AConfirmedUpdateInstallsBesideTheOldVersionSwitchesTheLinkAndRelaunches)
{
    publish({});
    AppUpdates& shown = startUpdates(false);
    ASSERT_TRUE(shown.available());
    EXPECT_FALSE(QFileInfo::exists(root + QStringLiteral("/versions/0.5.0.partial-Kd81xQ")));
    // A second start, even with other metadata, changes nothing.
    shown.start({});
    EXPECT_TRUE(shown.available());
    EXPECT_EQ(shown.status(), QStringLiteral("更新由签名验证，安装前需要确认"));

    shown.check();
    finishRun();
    EXPECT_EQ(shown.status(), QStringLiteral("发现新版本 0.5.0，确认后下载并安装"));
    EXPECT_EQ(shown.offeredVersion(), QVersionNumber(0, 5, 0));
    EXPECT_EQ(linkTarget(root + QStringLiteral("/current")), "versions/0.4.0")
        << "nothing is downloaded before the user says yes";

    shown.acceptOffer();
    ASSERT_TRUE(test::pumpUntil([this] { return quits > 0 || updates->canCheck(); }));
    EXPECT_EQ(linkTarget(root + QStringLiteral("/current")), "versions/0.5.0");
    EXPECT_EQ(runningProgram(), "#!/bin/sh\necho 0.5.0\n");
    EXPECT_TRUE(QFileInfo(root + QStringLiteral("/versions/0.4.0/bin/quillweave")).exists())
        << "the running version stays until it has ended";
    EXPECT_EQ(installer->relaunches, 1);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(QDir(root).entryList({QStringLiteral("*partial*")}, QDir::AllEntries | QDir::System),
              QStringList());
}

// The publishing script and the program agree: its key, signature and feed install.
TEST_F(UpdateRunTest, AnUpdatePublishedByTheScriptInstalls)
{
    QTemporaryDir work;
    const auto run = [&](const QStringList& arguments) {
        QProcess script;
        script.setWorkingDirectory(work.path());
        script.start(QStringLiteral(QW_SOURCE_DIR "/scripts/publish-update.sh"), arguments);
        EXPECT_TRUE(script.waitForFinished(60000));
        EXPECT_EQ(script.exitCode(), 0) << script.readAllStandardError().toStdString();
        return QString::fromUtf8(script.readAllStandardOutput()).trimmed();
    };
    const QString name = QStringLiteral("quillweave-0.5.0-linux-x86_64.tar.gz");
    QFile packed(work.filePath(name));
    ASSERT_TRUE(packed.open(QIODevice::WriteOnly));
    packed.write(test::tarGz(test::versionTree(QStringLiteral("0.5.0"))));
    packed.close();
    const QString publicKey = run({QStringLiteral("keygen"), QStringLiteral("key.pem")});
    run({QStringLiteral("feed"), QStringLiteral("key.pem"), name,
         QStringLiteral("https://127.0.0.1:%1/archive.tar.gz").arg(server.port()),
         QStringLiteral("feed.xml")});
    QFile published(work.filePath(QStringLiteral("feed.xml")));
    ASSERT_TRUE(published.open(QIODevice::ReadOnly) && packed.open(QIODevice::ReadOnly));
    feed = published.readAll();
    archive = packed.readAll();

    auto counting = std::make_shared<CountingRelaunch>(prefix.path());
    installer = counting.get();
    updates = std::make_unique<AppUpdates>(time, AppUpdates::Switches{true, true}, nullptr, nullptr);
    UpdateSetup setup = setupFor(counting);
    setup.info.insert(QStringLiteral("SUPublicEDKey"), publicKey);
    updates->start(setup);
    ASSERT_TRUE(updates->available());
    updates->check();
    ASSERT_TRUE(test::pumpUntil([this] { return installer->relaunches > 0 || updates->canCheck(); }));
    EXPECT_EQ(runningProgram(), "#!/bin/sh\necho 0.5.0\n");
}

struct BadCase {
    const char* situation;
    std::function<void(Publication&)> change;
    const char* status = "更新检查未完成，可稍后重试";
};

class UpdateFaultTest : public UpdateRunTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(UpdateFaultTest, LeavesTheRunningVersionInPlace)
{
    Publication publication;
    GetParam().change(publication);
    publish(publication);
    AppUpdates& shown = startUpdates(true);
    rlimit previous{};
    if (publication.fileSizeLimited) {
        // A disk that fills up in the middle of the program's file.
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous);
        rlimit limited = previous;
        limited.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    shown.check();
    finishRun();
    if (publication.fileSizeLimited)
        setrlimit(RLIMIT_FSIZE, &previous);

    EXPECT_EQ(shown.status(), QString::fromUtf8(GetParam().status));
    EXPECT_TRUE(shown.canCheck()) << "the user can try again";
    expectOldVersionInPlace();
    EXPECT_EQ(runningProgram(), "#!/bin/sh\necho 0.4.0\n");
    EXPECT_FALSE(QFileInfo::exists(QDir::tempPath() + QStringLiteral("/quillweave-absolute-escape")));
}

void add(Publication& p, ArchiveEntry entry)
{
    p.entries.append(std::move(entry));
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, UpdateFaultTest,
    ::testing::Values(
        BadCase{"FeedNotXml",
                [](Publication& p) {
                    p.rawFeed = "<rss version=\"2.0\"><channel><item>";
                }},
        BadCase{"ItemWithoutSignature",
                [](Publication& p) {
                    p.signed_ = false;
                }},
        BadCase{"SignatureOfOtherBytes",
                [](Publication& p) {
                    p.signatureOfOtherBytes = true;
                }},
        BadCase{"DownloadShorterThanItsLength",
                [](Publication& p) {
                    p.lengthDelta = 1;
                }},
        BadCase{"DownloadLongerThanItsLength",
                [](Publication& p) {
                    p.lengthDelta = -1;
                }},
        BadCase{"RedirectToHttp",
                [](Publication& p) {
                    p.archivePath = "/http-redirect";
                }},
        BadCase{"NoNewerVersion", [](Publication& p) { p.version = QStringLiteral("0.4.0"); },
                "已是最新版本"},
        // An older signed archive offered under a newer number.
        BadCase{"ArchiveOfAnotherVersion",
                [](Publication& p) {
                    p.entries = test::versionTree(QStringLiteral("0.3.0"));
                }},
        BadCase{"PathWithDotDot",
                [](Publication& p) {
                    add(p, {QStringLiteral("bin/../../evil"), K::file, "x"});
                }},
        BadCase{"AbsolutePath",
                [](Publication& p) {
                    add(p, {QDir::tempPath() + QStringLiteral("/quillweave-absolute-escape"), K::file, "x"});
                }},
        BadCase{"SymlinkPointingOutside",
                [](Publication& p) {
                    add(p, {QStringLiteral("share/etc"), K::symlink, "../../../../../etc"});
                }},
        // Each link looks harmless on its own; together they leave the folder.
        BadCase{"SymlinkChainPointingOutside",
                [](Publication& p) {
                    add(p, {QStringLiteral("bin/up"), K::symlink, ".."});
                    add(p, {QStringLiteral("bin/out"), K::symlink, "up/../.."});
                }},
        BadCase{"HardlinkOutside",
                [](Publication& p) {
                    add(p, {QStringLiteral("bin/passwd"), K::hardlink, "../../etc/passwd"});
                }},
        BadCase{"DiskFullMidWrite",
                [](Publication& p) {
                    p.entries.append({QStringLiteral("bin/data"), K::file, QByteArray(256 * 1024, 'd')});
                    p.fileSizeLimited = true;
                }}),
    [](const auto& info) { return std::string(info.param.situation); });

TEST_F(UpdateRunTest, ABusyModelHoldsTheRelaunchUntilTheFirstTickAfterItIsIdle)
{
    publish({});
    AppUpdates& shown = startUpdates(true);
    busy = true;
    shown.check();
    EXPECT_EQ(shown.status(), QStringLiteral("请等待当前翻译或替换完成后检查更新"));
    busy = false;
    shown.check();
    busy = true; // a translation starts while the update downloads
    ASSERT_TRUE(test::pumpUntil([&] { return shown.installationPending(); }));
    EXPECT_EQ(shown.status(), QStringLiteral("更新已就绪，等待当前操作完成"));
    EXPECT_EQ(linkTarget(root + QStringLiteral("/current")), "versions/0.5.0");

    time.advance(300ms);
    EXPECT_EQ(installer->relaunches, 0);
    time.advance(150ms);
    busy = false;
    time.advance(149ms);
    EXPECT_EQ(installer->relaunches, 0) << "only a tick relaunches";
    time.advance(1ms);
    EXPECT_EQ(installer->relaunches, 1);
    EXPECT_EQ(quits, 1);
    EXPECT_FALSE(shown.installationPending());
    time.advance(1s);
    EXPECT_EQ(installer->relaunches, 1);
}

TEST_F(UpdateRunTest, TheDailyCheckInstallsForTheNextStartWithoutRelaunching)
{
    publish({});
    AppUpdates& shown = startUpdates(true);
    time.advance(AppUpdates::firstAutomaticCheck - 1ms);
    EXPECT_TRUE(server.requests().isEmpty());
    time.advance(1ms);
    finishRun();
    EXPECT_EQ(shown.status(), QStringLiteral("新版本 0.5.0 已安装，下次启动时生效"));
    EXPECT_EQ(linkTarget(root + QStringLiteral("/current")), "versions/0.5.0");
    EXPECT_EQ(installer->relaunches, 0);
    EXPECT_FALSE(shown.canCheck());

    // Switched off, nothing more is fetched.
    shown.setAutomaticChecks(false);
    ASSERT_TRUE(saved);
    EXPECT_FALSE(saved->automaticChecks);
    const qsizetype fetched = server.requests().size();
    time.advance(AppUpdates::automaticCheckInterval * 2);
    EXPECT_EQ(server.requests().size(), fetched);
}

TEST_F(UpdateRunTest, StartsOnlyWhereItCanUpdate)
{
    AppUpdates unconfigured(time, {}, {}, {});
    unconfigured.start({});
    EXPECT_EQ(unconfigured.status(), QStringLiteral("本地测试版本：自动更新尚未配置"));

    AppUpdates noLayout(time, {}, {}, {});
    noLayout.start(setupFor(nullptr));
    EXPECT_FALSE(noLayout.available());
    EXPECT_EQ(noLayout.status(), QStringLiteral("无法启动更新检查，请检查发布配置"));

    EXPECT_EQ(
        UserPrefixInstaller::prefixOf(QStringLiteral("/home/a/.local/lib/quillweave/versions/0.4.0/bin")),
        QStringLiteral("/home/a/.local"));
    EXPECT_FALSE(UserPrefixInstaller::prefixOf(QStringLiteral("/work/build/app")));
}

} // namespace
