#include <QApplication>
#include <benchmark/benchmark.h>

namespace {

QtMessageHandler qtHandler = nullptr;

// The offscreen platform warns on every raise() of a shown window (the panel raises itself on
// each refresh); writing that out is no cost the program has on a desktop.
void dropOffscreenRaiseWarning(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QLatin1String("This plugin does not support raise()"))
        return;
    if (qtHandler)
        qtHandler(type, context, message);
}

} // namespace

// Google Benchmark inside a widgets application, for benchmarks that build and paint windows
// (run with QT_QPA_PLATFORM=offscreen, as scripts/bench.sh does).
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    qtHandler = qInstallMessageHandler(dropOffscreenRaiseWarning);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
