#pragma once

#include "accessibility/AXWorker.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "model/AppModel.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QTimeZone>
#include <QTimer>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace qw::test {

// The application model wired as the tray program wires it, on the substitute desktop: two
// allowed applications and one that is not, each with two text fields and a password field;
// a provider answered by a fake transport on virtual time ("EN:" + the text).
//
// Determinism: the worker runs on its own thread, but the main thread only acts while the worker
// is idle (after settle) or stopped at a hold point, so one seed always gives one interleaving.
class RaceWorld {
public:
    struct App {
        QString bundleID;
        QString name;
        QChar marker; // every text typed in this application carries it
        DesktopApp handle;
        std::vector<DesktopElement> fields; // two text fields, then the password field
    };

    RaceWorld();
    ~RaceWorld();
    RaceWorld(const RaceWorld&) = delete;
    RaceWorld& operator=(const RaceWorld&) = delete;

    // Runs the worker's answers and the main thread's events until nothing more happens without
    // the test; virtual time stands still. A hold that comes due runs its action on the way.
    // False when the world did not come to rest (a hang).
    bool settle();
    // Stops the worker right after the `reads`-th attribute read from now; the main thread then
    // handles what is pending, runs `action` and lets the worker go on. A hold that does not come
    // due before the next rest is dropped.
    void holdAfterReads(int reads, std::function<void()> action);
    // Lets virtual time pass one due timer at a time, coming to rest after each, so that a
    // worker answering before or after its caller awaits it leads to the same race.
    bool wait(std::chrono::milliseconds duration);
    // Runs before every hold action and at every rest: the checks that must see the state of
    // the very moment.
    std::function<void()> onMoment;

    VirtualTime time;
    SubstituteDesktop desktop;
    InMemorySettingsStore settings;
    std::shared_ptr<AXAccessGeneration> generation = std::make_shared<AXAccessGeneration>();
    AXWorker worker{desktop.platform()};
    FakeChatTransport* transport = new FakeChatTransport(time);
    TranslationService service;
    std::vector<App> apps;
    std::unique_ptr<AppModel> model;
    int changes = 0;
    // Holds that came due, and those that stopped a write or a restore.
    int holdsRun = 0;
    int holdsInWrites = 0;

private:
    struct Hold {
        std::mutex mutex;
        std::condition_variable wake;
        bool armed = true;
        bool held = false;
        bool released = false;
    };
    bool awaitEvents(const std::function<bool()>& done);
    bool held() const;
    void runHold();
    void dropHold();

    std::shared_ptr<Hold> m_hold;
    std::function<void()> m_holdAction;
    QTimer m_watchdog;
};

} // namespace qw::test
