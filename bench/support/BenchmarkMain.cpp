#include <QCoreApplication>
#include <benchmark/benchmark.h>

// Google Benchmark inside a Qt event loop's application object, for benchmarks of code that
// uses timers, threads and coroutines.
int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
