#include "updates/AppUpdates.h"

#include "l10n/L10n.h"
#include "l10n/LocalizationState.h"
#include "updates/Ed25519Signature.h"
#include "updates/ProgramMetadata.h"

namespace qw {

// The running updater: what start() found usable, and the run in progress.
struct AppUpdates::Controller {
    UpdateConfiguration configuration;
    QVersionNumber running;
    std::shared_ptr<UpdateInstaller> installer;
    HttpsFetcher fetcher;
    std::optional<UpdateItem> offer;
    bool inRun = false;
    // A version was switched to; the program runs the old one until it starts again.
    bool installed = false;
};

AppUpdates::AppUpdates(TimerSource& timers, Switches switches, std::function<void(Switches)> saveSwitches,
                       std::function<void()> quit, QObject* parent)
    : QObject(parent), m_timers(timers), m_switches(switches), m_saveSwitches(std::move(saveSwitches)),
      m_quit(std::move(quit)), m_isBusy([] { return false; }),
      m_status(L10n::text(L10N_KEY("本地测试版本：自动更新尚未配置"))),
      m_statusLanguage(LocalizationState::shared().language())
{
}

AppUpdates::~AppUpdates()
{
    // A run still waiting for the network must not come back into a destroyed object.
    m_lifetime.cancel();
    cancelPendingInstallation();
    if (m_checkTimer)
        m_timers.cancel(*m_checkTimer);
}

std::optional<QVersionNumber> AppUpdates::offeredVersion() const
{
    if (!m_controller || !m_controller->offer)
        return std::nullopt;
    return m_controller->offer->version;
}

void AppUpdates::start(const UpdateSetup& setup)
{
    if (available() || m_managedBySystem)
        return;
    const ProgramMetadata metadata{setup.info};
    if (metadata.systemInstallation()) {
        m_managedBySystem = true;
        setStatus(L10n::text(L10N_KEY("此安装由系统的软件包管理器更新")));
        return;
    }
    const std::optional<UpdateConfiguration> configuration = UpdateConfiguration::from(setup.info);
    if (!configuration)
        return;
    const std::optional<QVersionNumber> running = UpdateFeed::version(metadata.shortVersion());
    // Updating is configured but this copy cannot replace itself (no known layout, no version).
    if (!running || !setup.installer) {
        setStatus(L10n::text(L10N_KEY("无法启动更新检查，请检查发布配置")));
        return;
    }
    m_controller.reset(new Controller{
        *configuration, *running, setup.installer, HttpsFetcher(setup.network), {}, false, false});
    m_controller->installer->removeLeftovers();
    m_canCheck = true;
    setStatus(L10n::text(L10N_KEY("更新由签名验证，安装前需要确认")));
    if (m_switches.automaticChecks)
        scheduleAutomaticCheck(firstAutomaticCheck);
}

void AppUpdates::setAutomaticChecks(bool on)
{
    if (m_switches.automaticChecks == on)
        return;
    m_switches.automaticChecks = on;
    if (m_saveSwitches)
        m_saveSwitches(m_switches);
    if (m_checkTimer) {
        m_timers.cancel(*m_checkTimer);
        m_checkTimer.reset();
    }
    if (on && available())
        scheduleAutomaticCheck(firstAutomaticCheck);
    Q_EMIT changed();
}

void AppUpdates::setAutomaticDownloads(bool on)
{
    if (m_switches.automaticDownloads == on)
        return;
    m_switches.automaticDownloads = on;
    if (m_saveSwitches)
        m_saveSwitches(m_switches);
    Q_EMIT changed();
}

void AppUpdates::scheduleAutomaticCheck(std::chrono::milliseconds after)
{
    m_checkTimer = m_timers.start(after, [this] {
        m_checkTimer.reset();
        scheduleAutomaticCheck(automaticCheckInterval);
        // A check by hand, an offer or a version waiting to start is not interrupted.
        if (m_canCheck && !m_controller->offer)
            checkRun(Trigger::schedule, m_lifetime.token());
    });
}

void AppUpdates::check()
{
    if (!available() || !m_canCheck)
        return;
    if (m_isBusy()) {
        setStatus(L10n::text(L10N_KEY("请等待当前翻译或替换完成后检查更新")));
        return;
    }
    checkRun(Trigger::user, m_lifetime.token());
}

void AppUpdates::acceptOffer()
{
    if (!m_controller || !m_controller->offer || m_controller->inRun)
        return;
    const UpdateItem item = *m_controller->offer;
    m_controller->offer.reset();
    installRun(item, Trigger::user, m_lifetime.token());
}

void AppUpdates::declineOffer()
{
    if (!m_controller || !m_controller->offer)
        return;
    m_controller->offer.reset();
    setStatus(L10n::text(L10N_KEY("更新由签名验证，安装前需要确认")));
}

QCoro::Task<void> AppUpdates::checkRun(Trigger trigger, CancellationToken token)
{
    Controller& run = *m_controller;
    run.offer.reset();
    run.inRun = true;
    setCanCheck(false);
    setStatus(L10n::text(L10N_KEY("正在检查更新…")));
    const QUrl feed = run.configuration.feed;
    const std::optional<QByteArray> document = co_await run.fetcher.get(feed, largestFeed, token);
    if (token.isCancelled())
        co_return;
    const std::optional<QList<UpdateItem>> items = document ? UpdateFeed::parse(*document) : std::nullopt;
    if (!items) {
        abort();
        co_return;
    }
    const std::optional<UpdateItem> newest = UpdateFeed::newest(*items, run.running);
    if (!newest) {
        run.inRun = false;
        setCanCheck(true);
        setStatus(L10n::text(L10N_KEY("已是最新版本")));
        co_return;
    }
    if (!m_switches.automaticDownloads) {
        run.inRun = false;
        run.offer = newest;
        setCanCheck(true);
        setStatus(L10n::format(L10N_KEY("发现新版本 %@，确认后下载并安装"), {newest->version.toString()}));
        co_return;
    }
    co_await installRun(*newest, trigger, token);
}

QCoro::Task<void> AppUpdates::installRun(UpdateItem item, Trigger trigger, CancellationToken token)
{
    Controller& run = *m_controller;
    run.inRun = true;
    setCanCheck(false);
    setStatus(L10n::format(L10N_KEY("正在下载并验证新版本 %@…"), {item.version.toString()}));
    const QUrl archiveUrl = item.archive;
    const std::optional<QByteArray> archive =
        co_await run.fetcher.get(archiveUrl, std::min(item.length, largestArchive), token);
    if (token.isCancelled())
        co_return;
    // The length first: it is what the signature was made over, and a short read is the
    // commonest fault.
    if (!archive || archive->size() != item.length ||
        !Ed25519Signature::verifies(run.configuration.publicKeyBytes(), *archive, item.signature)) {
        abort();
        co_return;
    }
    setStatus(L10n::format(L10N_KEY("正在安装新版本 %@…"), {item.version.toString()}));
    const bool installed = co_await run.installer->install(item.version, *archive);
    if (token.isCancelled())
        co_return;
    if (!installed) {
        abort();
        co_return;
    }
    run.installed = true;
    // A download the user did not ask for waits for the next start, as the switch says.
    if (trigger == Trigger::schedule) {
        setStatus(L10n::format(L10N_KEY("新版本 %@ 已安装，下次启动时生效"), {item.version.toString()}));
        co_return;
    }
    const QVersionNumber version = item.version;
    postponeInstallationIfBusy([this, version] { relaunch(version); });
}

void AppUpdates::postponeInstallationIfBusy(std::function<void()> handler)
{
    if (!m_isBusy()) {
        handler();
        return;
    }
    cancelPendingInstallation();
    setStatus(L10n::text(L10N_KEY("更新已就绪，等待当前操作完成")));
    m_installationHandler = std::move(handler);
    m_installationTimer = m_timers.start(installationPollInterval, [this] { installationTick(); });
}

void AppUpdates::installationTick()
{
    m_installationTimer.reset();
    if (m_isBusy()) {
        m_installationTimer = m_timers.start(installationPollInterval, [this] { installationTick(); });
        return;
    }
    std::function<void()> handler = std::move(m_installationHandler);
    cancelPendingInstallation();
    handler();
}

void AppUpdates::cancelPendingInstallation()
{
    if (m_installationTimer)
        m_timers.cancel(*m_installationTimer);
    m_installationTimer.reset();
    m_installationHandler = nullptr;
}

void AppUpdates::relaunch(const QVersionNumber& version)
{
    if (m_controller->installer->relaunch() && m_quit) {
        m_quit();
        return;
    }
    setStatus(L10n::format(L10N_KEY("新版本 %@ 已安装，下次启动时生效"), {version.toString()}));
}

void AppUpdates::abort()
{
    cancelPendingInstallation();
    m_controller->inRun = false;
    // After a version was switched to, checking again would only find it once more.
    setCanCheck(!m_controller->installed);
    setStatus(L10n::text(L10N_KEY("更新检查未完成，可稍后重试")));
}

void AppUpdates::refreshLocalization()
{
    const InterfaceLanguage now = LocalizationState::shared().language();
    m_status = L10n::relocalize(m_status, m_statusLanguage);
    m_statusLanguage = now;
    Q_EMIT changed();
}

void AppUpdates::setStatus(QString status)
{
    m_status = std::move(status);
    m_statusLanguage = LocalizationState::shared().language();
    Q_EMIT changed();
}

void AppUpdates::setCanCheck(bool canCheck)
{
    if (m_canCheck == canCheck)
        return;
    m_canCheck = canCheck;
    Q_EMIT changed();
}

} // namespace qw
