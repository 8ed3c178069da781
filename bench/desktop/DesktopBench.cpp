// bench_desktop [--reads N] [--scan-seconds S] [--baseline-seconds B]
//
// 1. Per toolkit (GTK 3, GTK 4, Qt 6 with tabs): the latency of one focus read plus one snapshot
//    of a focused entry through AXWorker, as the input flow issues them (median, 10th and 90th
//    percentile of N pairs), and of a cold search for the focused object (no focus event
//    known). Then the cold search in a GTK 4 window of 400 labels and no focus, which stops at
//    the 300-object cap.
// 2. The CPU this process spends over S seconds of the 0.3-second scan (one focus read each)
//    while the entry stays focused and idle, as a share of one core; the GTK program's own CPU
//    over the same time is shown beside it.
#include "accessibility/AXWorker.h"
#include "accessibility/adapters/AXVocabulary.h"
#include "bench/support/AwaitTask.h"
#include "platform/LinuxDesktop.h"
#include "tests/platform/DesktopTestApp.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QMap>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace {

double processCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// utime + stime of another process, in seconds.
double otherProcessCpuSeconds(qint32 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
}

// CPU seconds of each thread of this process, by thread name.
QMap<QString, double> threadCpuSeconds()
{
    QMap<QString, double> result;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    for (const QString& task :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QString name =
            QString::fromUtf8(line.mid(line.indexOf('(') + 1, line.lastIndexOf(')') - line.indexOf('(') - 1));
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        result[name] += (fields.value(11).toDouble() + fields.value(12).toDouble()) / ticks;
    }
    return result;
}

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(share * double(values.size()))));
}

} // namespace

int main(int argc, char** argv)
{
    // scripts/bench.sh runs every benchmark offscreen; this one needs a desktop of its own and
    // must not open windows on the user's.
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariable("QT_QPA_PLATFORM") == u"offscreen") {
        std::puts("bench_desktop: skipped, needs a desktop: scripts/headless-session.sh "
                  "build-bench/bench/desktop/bench_desktop");
        return 0;
    }
    QGuiApplication app(argc, argv);
    int reads = 300;
    int scanSeconds = 60;
    int baselineSeconds = 10;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == u"--reads")
            reads = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == u"--scan-seconds")
            scanSeconds = arguments.at(i + 1).toInt();
        else if (arguments.at(i) == u"--baseline-seconds")
            baselineSeconds = arguments.at(i + 1).toInt();
    }

    qw::LinuxDesktop desktop;
    if (!desktop.accessibilityBus().waitUntilReady(std::chrono::seconds(10))) {
        std::fprintf(stderr, "no accessibility bus: %s\n", qPrintable(desktop.accessibilityBus().failure()));
        return 1;
    }
    qw::AXWorker worker(desktop.platform());
    // Reads the focused field of the program until it answers (its tree may still be building).
    auto readField = [&](const qw::test::DesktopTestApp& program) {
        std::optional<qw::FocusedField> field;
        QElapsedTimer waited;
        waited.start();
        while (!field && waited.elapsed() < 20000) {
            const auto front = desktop.workspace().frontmostApplication();
            if (front && front->pid == program.pid())
                field = qw::bench::awaitTask(worker.focus(*front)).first;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return field;
    };
    // A search with no focus event known, given a budget far above the per-element time-out so
    // that its own duration is measured.
    auto coldSearch = [&](qint32 pid) {
        qw::AtspiFocusTracker noEvents;
        qw::AtspiProcessIds pids;
        qw::AtspiAccessibility searching(desktop.accessibilityBus(), noEvents, pids,
                                         [] { return std::nullopt; });
        const qw::AccessibilityElement application = searching.applicationElement(pid);
        searching.setMessagingTimeout(application, std::chrono::seconds(5));
        QElapsedTimer timer;
        timer.start();
        const qw::AttributeResult found =
            searching.copyAttributeValue(application, qw::AXAttribute::focusedUIElement);
        return std::pair(double(timer.nsecsElapsed()) / 1e6, found.error);
    };
    const QString apps = QStringLiteral(QW_SOURCE_DIR "/tests/apps");
    const struct {
        const char* toolkit;
        QStringList arguments;
        QString program;
    } toolkits[] = {
        {"GTK 3 entry",
         {QStringLiteral("--entry-text"), QStringLiteral("今天下午三点开会，请准时参加。")},
         {}},
        {"GTK 4 entry",
         {apps + QStringLiteral("/gtk4_entries_app.py"), QStringLiteral("--entry-text"),
          QStringLiteral("今天下午三点开会，请准时参加。")},
         QStringLiteral("/usr/bin/python3")},
        {"Qt 6 line edit under tabs", {}, QStringLiteral(QW_QT_TABS_APP)},
    };
    std::printf(
        "| toolkit | focus read + snapshot: median (p10, p90) | cold search: median |\n|---|---|---|\n");
    for (const auto& toolkit : toolkits) {
        qw::test::DesktopTestApp program(toolkit.arguments, toolkit.program);
        const auto field = program.start() && program.activate() ? readField(program) : std::nullopt;
        const auto running = desktop.workspace().frontmostApplication();
        if (!field || !running) {
            std::fprintf(stderr, "%s: the focused entry could not be read\n", toolkit.toolkit);
            return 1;
        }
        std::vector<double> pairs;
        for (int i = 0; i < reads; ++i) {
            QElapsedTimer timer;
            timer.start();
            const auto focus = qw::bench::awaitTask(worker.focus(*running));
            const auto snapshot =
                focus.first ? qw::bench::awaitTask(worker.snapshot(*focus.first)) : qw::AXWorker::Snapshot{};
            pairs.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (!focus.first || !snapshot.stillFocused) {
                std::fprintf(stderr, "%s: the entry lost focus during the benchmark\n", toolkit.toolkit);
                return 1;
            }
        }
        std::vector<double> searches;
        for (int i = 0; i < std::max(1, reads / 10); ++i)
            searches.push_back(coldSearch(program.pid()).first);
        std::printf("| %s | %.2f ms (%.2f, %.2f) | %.2f ms |\n", toolkit.toolkit, percentile(pairs, 0.5),
                    percentile(pairs, 0.1), percentile(pairs, 0.9), percentile(searches, 0.5));
    }
    {
        qw::test::DesktopTestApp crowded({apps + QStringLiteral("/gtk4_entries_app.py"),
                                          QStringLiteral("--labels"), QStringLiteral("400"),
                                          QStringLiteral("--focus"), QStringLiteral("none")},
                                         QStringLiteral("/usr/bin/python3"));
        if (!crowded.start() || !crowded.activate()) {
            std::fprintf(stderr, "the crowded GTK 4 program did not start\n");
            return 1;
        }
        // GTK 4 joins the accessibility bus a moment after its window shows.
        QElapsedTimer waited;
        waited.start();
        while (coldSearch(crowded.pid()).second == qw::AXErrorCode::notImplemented &&
               waited.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        std::vector<double> searches;
        for (int i = 0; i < std::max(1, reads / 10); ++i)
            searches.push_back(coldSearch(crowded.pid()).first);
        std::printf("cold search of a GTK 4 window of 400 labels without focus (stops at 300 objects): "
                    "median %.2f ms (p90 %.2f) over %zu searches\n",
                    percentile(searches, 0.5), percentile(searches, 0.9), searches.size());
    }

    qw::test::DesktopTestApp gtk(
        {QStringLiteral("--entry-text"), QStringLiteral("今天下午三点开会，请准时参加。")});
    const auto field = gtk.start() && gtk.activate() ? readField(gtk) : std::nullopt;
    const auto running = desktop.workspace().frontmostApplication();
    if (!field || !running) {
        std::fprintf(stderr, "the GTK program did not start\n");
        return 1;
    }

    // What the process costs doing nothing (Qt's and D-Bus's own threads, events of other
    // programs), for comparison.
    {
        const double before = processCpuSeconds();
        QElapsedTimer idle;
        idle.start();
        QEventLoop loop;
        QTimer::singleShot(baselineSeconds * 1000, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("idle process without scanning for %.0f s: %.3f%% of one core\n",
                    double(idle.elapsed()) / 1000.0,
                    100.0 * (processCpuSeconds() - before) / (double(idle.elapsed()) / 1000.0));
    }

    int scans = 0;
    int found = 0;
    bool busy = false;
    QTimer scan;
    scan.setInterval(300);
    QObject::connect(&scan, &QTimer::timeout, [&] {
        if (busy)
            return;
        busy = true;
        auto task = worker.focus(*running).then([&](qw::AXWorker::FocusResult result) {
            ++scans;
            found += result.first ? 1 : 0;
            busy = false;
        });
        Q_UNUSED(task);
    });
    const QMap<QString, double> threadsBefore = threadCpuSeconds();
    const double cpuBefore = processCpuSeconds();
    const double gtkBefore = otherProcessCpuSeconds(gtk.pid());
    QElapsedTimer wall;
    wall.start();
    scan.start();
    QEventLoop loop;
    QTimer::singleShot(scanSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    scan.stop();
    const double seconds = double(wall.elapsed()) / 1000.0;
    const double cpu = processCpuSeconds() - cpuBefore;
    const double gtkCpu = otherProcessCpuSeconds(gtk.pid()) - gtkBefore;
    std::printf("0.3 s scan for %.0f s on an idle focused entry: %d scans (%d found the field), "
                "%.3f s CPU = %.3f%% of one core (the GTK program answering: %.3f%%)\n",
                seconds, scans, found, cpu, 100.0 * cpu / seconds, 100.0 * gtkCpu / seconds);
    const QMap<QString, double> threadsAfter = threadCpuSeconds();
    for (auto it = threadsAfter.cbegin(); it != threadsAfter.cend(); ++it) {
        const double used = it.value() - threadsBefore.value(it.key());
        if (used > 0)
            std::printf("  thread %-18s %.3f%% of one core\n", qPrintable(it.key()), 100.0 * used / seconds);
    }
    return 0;
}
