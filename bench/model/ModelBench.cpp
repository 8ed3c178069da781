#include "accessibility/AXWorker.h"
#include "core/InMemorySettingsStore.h"
#include "engine/TranslationService.h"
#include "model/AppModel.h"
#include "tests/support/VirtualTime.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

namespace {

// One inspectFocus(false) on a field whose text did not change: trust and pause checks, the
// focus read on the worker thread, the comparison with the current field. Process CPU time, so
// the worker's share is counted too.
void inspectUnchangedField(benchmark::State& state)
{
    qw::test::SubstituteDesktop desktop;
    auto editor =
        desktop.addApplication(qw::AppModel::defaultAllowedApplication, QStringLiteral("Text Editor"));
    editor.window()
        .group()
        .textArea(QStringLiteral("今天下午三点开会，请准时参加。"))
        .bounds(QRectF(10, 10, 400, 80))
        .focus();
    qw::test::VirtualTime time;
    qw::InMemorySettingsStore settings;
    qw::TranslationService service(
        [](qw::TranslationProvider, bool) -> QCoro::Task<qw::CredentialLoadResult> {
            co_return qw::CredentialLoadResult::ok(std::nullopt);
        },
        time, time);
    auto generation = std::make_shared<qw::AXAccessGeneration>();
    qw::AXWorker worker(desktop.platform());
    qw::AppModel model({settings,
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
                       {qw::AppModel::defaultAllowedApplication});

    auto inspect = [&model] {
        model.inspectFocus(false);
        while (model.isInspecting())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    };
    inspect(); // takes the field; every later cycle finds it unchanged
    if (!model.currentField()) {
        state.SkipWithError("no field");
        return;
    }
    const quint64 revision = model.revision();
    for (auto _ : state)
        inspect();
    if (model.revision() != revision)
        state.SkipWithError("the unchanged field was taken as new");
}
BENCHMARK(inspectUnchangedField)->Unit(benchmark::kMicrosecond)->MeasureProcessCPUTime();

} // namespace
