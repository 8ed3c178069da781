// Opening the settings window as the user does: built over a model that already runs, shown on
// its first page and painted once. The first opening in a process pays Qt's first-use costs
// (style, fonts and CJK glyphs, the raster engine) on top of the window's own; a second opening
// after the first was closed shows what the window alone costs. Run offscreen
// (QT_QPA_PLATFORM=offscreen): painting is the raster engine's work into the backing store.
#include "accessibility/AXWorker.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "l10n/LocalizationState.h"
#include "model/AppModel.h"
#include "settings/InstalledApplications.h"
#include "settings/LoginItemService.h"
#include "settings/LoginStartup.h"
#include "settings/SettingsWindow.h"
#include "tests/engine/FakeChatTransport.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <benchmark/benchmark.h>
#include <unistd.h>

namespace {

class NoLoginItems final : public qw::LoginItemService {
public:
    qw::LoginItemStatus status() const override { return qw::LoginItemStatus::notRegistered; }
    bool isInstalledCopy() const override { return true; }
    bool registerItem() override { return false; }
    bool unregisterItem() override { return true; }
    bool canOpenSystemSettings() const override { return false; }
    void openSystemSettings() override {}
};

class SomeApplications final : public qw::InstalledApplications {
public:
    QList<qw::InstalledApplication> list() const override
    {
        return {{qw::AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"), QString()}};
    }
};

// The model as the program holds it while the window opens: substitute desktop, one allowed
// application, a provider answered by a fake transport.
struct RunningModel {
    RunningModel()
    {
        qw::LocalizationState::shared().setLanguage(qw::InterfaceLanguage::chinese);
        model =
            std::make_unique<qw::AppModel>(qw::AppModel::Collaborators{settings,
                                                                       time,
                                                                       time,
                                                                       QTimeZone::systemTimeZone(),
                                                                       service,
                                                                       worker,
                                                                       generation,
                                                                       desktop.workspace(),
                                                                       [] { return true; },
                                                                       [](const QString&) { return true; },
                                                                       {},
                                                                       1},
                                           QStringList{qw::AppModel::defaultAllowedApplication});
    }

    qw::test::VirtualTime time;
    qw::InMemorySettingsStore settings;
    qw::test::SubstituteDesktop desktop;
    std::shared_ptr<qw::AXAccessGeneration> generation = std::make_shared<qw::AXAccessGeneration>();
    qw::AXWorker worker{desktop.platform()};
    qw::TranslationService service{
        [](qw::TranslationProvider, bool) -> QCoro::Task<qw::CredentialLoadResult> {
            co_return qw::CredentialLoadResult::ok(QStringLiteral("sk-bench-key"));
        },
        time, time, std::unique_ptr<qw::ChatTransport>(new qw::test::FakeChatTransport(time))};
    NoLoginItems loginItems;
    qw::LoginStartup startup{loginItems, settings};
    SomeApplications applications;
    std::unique_ptr<qw::AppModel> model;
};

long residentKilobytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() < 2 ? -1 : fields.at(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Builds, shows and paints the window; the milliseconds that took.
double open(RunningModel& running, std::unique_ptr<qw::SettingsWindow>& window)
{
    QElapsedTimer timer;
    timer.start();
    window = std::make_unique<qw::SettingsWindow>(
        qw::SettingsWindow::Shared{*running.model, running.startup, running.applications, [] {
                                   }});
    window->show();
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
    window->repaint();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

struct Openings {
    double firstMilliseconds = -1;
    double secondMilliseconds = -1;
    long residentAddedKilobytes = -1;
};

// Measured once per process: only the first opening is a first one.
Openings measureOpenings()
{
    RunningModel running;
    QCoreApplication::processEvents();
    Openings openings;
    std::unique_ptr<qw::SettingsWindow> window;
    const long before = residentKilobytes();
    openings.firstMilliseconds = open(running, window);
    const long after = residentKilobytes();
    openings.residentAddedKilobytes = before < 0 || after < 0 ? -1 : after - before;
    window->close();
    window.reset();
    QCoreApplication::processEvents();
    openings.secondMilliseconds = open(running, window);
    return openings;
}

void openingTheSettingsWindow(benchmark::State& state)
{
    static const Openings openings = measureOpenings();
    for (auto _ : state)
        benchmark::DoNotOptimize(openings.firstMilliseconds);
    state.counters["first_open_ms"] = openings.firstMilliseconds;
    state.counters["second_open_ms"] = openings.secondMilliseconds;
    state.counters["first_open_resident_kB"] = static_cast<double>(openings.residentAddedKilobytes);
}
BENCHMARK(openingTheSettingsWindow)->Iterations(1);

// Opening again and again, once Qt's caches are warm: the window's own cost.
void reopeningTheSettingsWindow(benchmark::State& state)
{
    RunningModel running;
    std::unique_ptr<qw::SettingsWindow> window;
    for (auto _ : state) {
        open(running, window);
        window.reset();
    }
}
BENCHMARK(reopeningTheSettingsWindow)->Unit(benchmark::kMillisecond);

} // namespace
