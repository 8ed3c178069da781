#include "accessibility/AXWorker.h"
#include "tests/support/desktop/SubstituteDesktop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <benchmark/benchmark.h>

namespace {

// Waits for a task on the event loop, as the main thread does.
template <class T> T await(QCoro::Task<T>&& task)
{
    std::optional<T> result;
    QEventLoop loop;
    auto continuation = std::move(task).then([&](T value) {
        result.emplace(std::move(value));
        loop.quit();
    });
    if (!result)
        loop.exec();
    return std::move(*result);
}

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
        auto focus = await(worker.focus(running, permit));
        if (!focus.first) {
            state.SkipWithError("no field");
            break;
        }
        auto snapshot = await(worker.snapshot(*focus.first, permit));
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(focusAndSnapshot)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
