#include "tests/race/RaceWorld.h"

#include "accessibility/AXReadPermit.h"
#include "accessibility/adapters/AXVocabulary.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <tuple>

namespace qw::test {

using namespace std::chrono_literals;

namespace {

RaceWorld::App makeApp(SubstituteDesktop& desktop, const QString& bundleID, const QString& name, QChar marker)
{
    RaceWorld::App app{bundleID, name, marker, desktop.addApplication(bundleID, name), {}};
    DesktopElement window = app.handle.window();
    app.fields.push_back(window.textField(QString()));
    app.fields.push_back(window.textArea(QString()));
    DesktopElement password = window.textField(QString(marker) + QStringLiteral("密码secret"));
    password.subrole(AXRole::secureTextField);
    app.fields.push_back(password);
    return app;
}

} // namespace

RaceWorld::RaceWorld()
    : service(
          [](TranslationProvider, bool) -> QCoro::Task<CredentialLoadResult> {
              co_return CredentialLoadResult::ok(QStringLiteral("sk-race-key"));
          },
          time, time, std::unique_ptr<ChatTransport>(transport))
{
    apps.push_back(makeApp(desktop, AppModel::defaultAllowedApplication, QStringLiteral("Editor"), u'甲'));
    apps.push_back(makeApp(desktop, QStringLiteral("org.example.Notes"), QStringLiteral("Notes"), u'乙'));
    apps.push_back(makeApp(desktop, QStringLiteral("org.example.Chat"), QStringLiteral("Chat"), u'丙'));
    apps[0].fields[0].focus();
    apps[1].fields[0].focus();
    apps[2].fields[0].focus();
    apps[0].handle.activate();
    desktop.setClipboardItems({ClipboardItem{{{QStringLiteral("text/plain"), QByteArray("the user's own")},
                                              {QStringLiteral("text/html"), QByteArray("<b>own</b>")}}}});

    // Consent for two providers; the third has none and answers in the demo mode.
    (void)settings.setBool(QStringLiteral("cloudConsent.openai"), true);
    (void)settings.setBool(QStringLiteral("cloudConsent.deepseek"), true);
    AppModel::Collaborators collaborators{
        settings,
        time,
        time,
        QTimeZone(QByteArrayLiteral("Europe/Berlin")),
        service,
        worker,
        generation,
        desktop.workspace(),
        [this] { return desktop.accessibility().isProcessTrusted(); },
        [this](const QString& text) { return desktop.clipboard().setString(text); },
        [](TranslationProvider) -> QCoro::Task<bool> { co_return true; },
        1};
    model =
        std::make_unique<AppModel>(std::move(collaborators), QStringList{apps[0].bundleID, apps[1].bundleID});
    QObject::connect(model.get(), &AppModel::changed, [this] { ++changes; });
    m_watchdog.start(200);
}

RaceWorld::~RaceWorld()
{
    dropHold();
    model.reset();
}

void RaceWorld::holdAfterReads(int reads, std::function<void()> action)
{
    dropHold();
    auto hold = std::make_shared<Hold>();
    m_hold = hold;
    m_holdAction = std::move(action);
    desktop.afterReads(reads, [hold] {
        std::unique_lock lock(hold->mutex);
        if (!hold->armed)
            return;
        hold->held = true;
        // Wakes the main thread, which may be waiting for events.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
        hold->wake.wait(lock, [&] { return hold->released; });
    });
}

bool RaceWorld::wait(std::chrono::milliseconds duration)
{
    // What is under way first starts its timers.
    if (!settle())
        return false;
    const QDateTime end = time.now().addMSecs(duration.count());
    for (std::optional<QDateTime> due = time.nextDue(); due && *due <= end; due = time.nextDue()) {
        time.advance(std::chrono::milliseconds(std::max<qint64>(0, time.now().msecsTo(*due))));
        if (!settle())
            return false;
    }
    time.advance(std::chrono::milliseconds(time.now().msecsTo(end)));
    return true;
}

bool RaceWorld::awaitEvents(const std::function<bool()>& done)
{
    // Blocks on the event loop instead of spinning: the worker's answers and a hold's wake-up
    // arrive as events, and a spinning main thread would take the processor from the worker.
    // The watchdog's ticks only bound the wait.
    QDeadlineTimer deadline(10s);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool RaceWorld::held() const
{
    if (!m_hold)
        return false;
    std::lock_guard lock(m_hold->mutex);
    return m_hold->held;
}

void RaceWorld::runHold()
{
    // The worker stands still: what it answered before is handled first, so the action meets
    // the same state whatever the threads' timing.
    for (int turn = 0; turn < 3; ++turn)
        QCoreApplication::processEvents();
    if (onMoment)
        onMoment();
    ++holdsRun;
    holdsInWrites += model->isValidatingReplacement() ? 1 : 0;
    const auto action = std::move(m_holdAction);
    m_holdAction = nullptr;
    if (action)
        action();
    dropHold();
}

void RaceWorld::dropHold()
{
    if (!m_hold)
        return;
    {
        std::lock_guard lock(m_hold->mutex);
        m_hold->armed = false;
        m_hold->released = true;
    }
    m_hold->wake.notify_all();
    m_hold.reset();
    m_holdAction = nullptr;
}

bool RaceWorld::settle()
{
    // A stale permit: the probe queues behind everything the worker has, and touches nothing.
    const auto probeGeneration = std::make_shared<AXAccessGeneration>();
    const AXReadPermit probePermit = AXReadPermit::issue(probeGeneration);
    probeGeneration->advance();
    const RunningApplication probeApp = apps[0].handle.running();

    const auto state = [this] {
        return std::make_tuple(changes, desktop.attributeReads(), desktop.attributeWrites(),
                               transport->sent.size(), time.pendingTimers(), generation->current(),
                               model->isInspecting(), model->isValidatingReplacement(),
                               model->isInspectingSelection());
    };
    for (int round = 0; round < 100; ++round) {
        const auto before = state();
        const auto answered = std::make_shared<bool>(false);
        QCoro::Task<void> probe =
            worker.prepare(probeApp, probePermit).then([answered] { *answered = true; });
        bool acted = false;
        while (!*answered) {
            if (!awaitEvents([&] { return *answered || held(); }))
                return false;
            if (held()) {
                runHold();
                acted = true;
            }
        }
        QCoreApplication::processEvents();
        const bool busy =
            model->isInspecting() || model->isValidatingReplacement() || model->isInspectingSelection();
        if (!acted && !busy && state() == before) {
            dropHold(); // it did not come due: the operation it waited for ended sooner
            if (onMoment)
                onMoment();
            return true;
        }
    }
    return false;
}

} // namespace qw::test
