// bench_browsers [--reads N]
//
// Per browser (Firefox ESR; Chromium with web-content accessibility): the latency of one focus
// read plus one snapshot of the focused text area of a local page through AXWorker, as the
// input flow issues them (median, 10th and 90th percentile of N pairs, and how many failed).
#include "accessibility/AXWorker.h"
#include "bench/support/AwaitTask.h"
#include "platform/ChromiumProcess.h"
#include "platform/LinuxDesktop.h"
#include "tests/browsers/BrowserProcess.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

double percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    return values.at(std::min(values.size() - 1, size_t(share * double(values.size()))));
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariable("QT_QPA_PLATFORM") == u"offscreen") {
        std::puts("bench_browsers: skipped, needs a desktop: scripts/headless-session.sh "
                  "build-bench/bench/browsers/bench_browsers");
        return 0;
    }
    QGuiApplication app(argc, argv);
    int reads = 100;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == u"--reads")
            reads = arguments.at(i + 1).toInt();
    }
    QTemporaryDir home;
    QFile page(home.filePath(QStringLiteral("page.html")));
    if (!page.open(QIODevice::WriteOnly))
        return 1;
    page.write("<!doctype html><html><head><meta charset=\"utf-8\"><title>Bench</title></head><body>"
               "<p><input aria-label=\"line\" value=\"line\"></p>"
               "<p><textarea aria-label=\"area\" autofocus>今天下午三点开会，请准时参加。</textarea></p>"
               "</body></html>");
    page.close();

    qw::LinuxDesktop desktop;
    if (!desktop.accessibilityBus().waitUntilReady(std::chrono::seconds(10)) ||
        !desktop.accessibilityBus().enableBlocking(std::chrono::seconds(5))) {
        std::fprintf(stderr, "no accessibility bus: %s\n", qPrintable(desktop.accessibilityBus().failure()));
        return 1;
    }
    qw::AXWorker worker(desktop.platform());
    const struct {
        const char* name;
        qw::test::BrowserProcess::Kind kind;
        QStringList arguments;
    } browsers[] = {
        {"Firefox ESR", qw::test::BrowserProcess::Kind::firefox, {}},
        {"Chromium",
         qw::test::BrowserProcess::Kind::chromium,
         {qw::ChromiumProcess::rendererAccessibilityFlag}},
    };
    std::printf("| browser | focus read + snapshot: median (p10, p90) | pairs failed |\n|---|---|---|\n");
    for (const auto& browser : browsers) {
        qw::test::BrowserProcess process(browser.kind, home.filePath(QString::fromUtf8(browser.name)),
                                         browser.arguments);
        if (!process.start(page.fileName())) {
            std::fprintf(stderr, "%s did not start\n", browser.name);
            return 1;
        }
        // Activates the window and reads until the page's text area answers (it loads after the
        // window appears).
        std::optional<qw::FocusedField> field;
        std::optional<qw::RunningApplication> running;
        QElapsedTimer waited;
        waited.start();
        while (!field && waited.elapsed() < 60000) {
            running = desktop.workspace().frontmostApplication();
            if (!running || running->pid != process.pid())
                process.activate();
            else if (auto read = qw::bench::awaitTask(worker.focus(*running)).first;
                     read && read->value.startsWith(u"今天"))
                field = read;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        }
        if (!field) {
            std::fprintf(stderr, "%s: the focused text area could not be read\n", browser.name);
            return 1;
        }
        std::vector<double> pairs;
        int failed = 0;
        for (int i = 0; i < reads; ++i) {
            QElapsedTimer timer;
            timer.start();
            const auto focus = qw::bench::awaitTask(worker.focus(*running));
            const auto snapshot =
                focus.first ? qw::bench::awaitTask(worker.snapshot(*focus.first)) : qw::AXWorker::Snapshot{};
            pairs.push_back(double(timer.nsecsElapsed()) / 1e6);
            // A browser too busy to answer within the element time-out fails the pair: counted,
            // as the user would meet it.
            if (!focus.first || !snapshot.stillFocused)
                ++failed;
        }
        std::printf("| %s | %.2f ms (%.2f, %.2f) | %d of %d |\n", browser.name, percentile(pairs, 0.5),
                    percentile(pairs, 0.1), percentile(pairs, 0.9), failed, reads);
    }
    return 0;
}
