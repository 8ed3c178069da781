#include "accessibility/AXWorker.h"
#include "bench/support/AwaitTask.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

namespace {

// One focus read plus one snapshot, the pair the input flow issues on every check.
void focusAndSnapshot(benchmark::State& state)
{
    qw::test::SubstituteDesktop desktop;
    auto app = desktop.addApplication(QStringLiteral("org.example.Editor"), QStringLiteral("Editor"));
    app.window()
        .group()
        .textArea(QStringLiteral("今天下午三点开会，请准时参加。"))
        .bounds(QRectF(10, 10, 400, 80))
        .focus();
    auto generation = std::make_shared<qw::AXAccessGeneration>();
    qw::AXWorker worker(desktop.platform());
    const qw::RunningApplication running = app.running();

    for (auto _ : state) {
        const auto permit = qw::AXReadPermit::issue(generation);
        auto focus = qw::bench::awaitTask(worker.focus(running, permit));
        if (!focus.first) {
            state.SkipWithError("no field");
            break;
        }
        auto snapshot = qw::bench::awaitTask(worker.snapshot(*focus.first, permit));
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(focusAndSnapshot)->Unit(benchmark::kMicrosecond);

} // namespace
