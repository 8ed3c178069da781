// A stand-in for a start of the program, for the tests of what must happen across processes:
//   shell_probe instance <target> <section>   starts as the program does: owns the session's
//                                             name or hands the request to its owner
//   shell_probe handover <target> <section>   only hands the request to a running instance
//   shell_probe signals                       runs an event loop until a termination signal,
//                                             then its teardown
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <cstdio>

namespace {

const char* roleName(qw::SingleInstance::Role role)
{
    switch (role) {
    case qw::SingleInstance::Role::primary:
        return "primary";
    case qw::SingleInstance::Role::forwarded:
        return "forwarded";
    case qw::SingleInstance::Role::alone:
        return "alone";
    case qw::SingleInstance::Role::unanswered:
        return "unanswered";
    case qw::SingleInstance::Role::notRunning:
        return "notRunning";
    }
    return "";
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const QString mode = arguments.value(1);
    if (mode == QStringLiteral("instance") || mode == QStringLiteral("handover")) {
        qw::SingleInstance instance(QDBusConnection::sessionBus());
        const auto request = qw::ReopenRequest::fromNames(arguments.value(2), arguments.value(3));
        const auto role =
            mode == QStringLiteral("handover") ? instance.handOver(request) : instance.start(request);
        if (const QString notice = instance.notice(); !notice.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(notice));
        std::printf("%s\n", roleName(role));
        return role == qw::SingleInstance::Role::unanswered ? 1 : 0;
    }
    if (mode == QStringLiteral("signals")) {
        qw::TerminationSignals signals([](int signal) {
            std::printf("signal %d\n", signal);
            QCoreApplication::quit();
        });
        std::printf(signals.isInstalled() ? "ready\n" : "not installed\n");
        std::fflush(stdout);
        const int status = QCoreApplication::exec();
        // Stands for the program's teardown: it runs only when the loop ended normally.
        std::printf("teardown\n");
        return status;
    }
    return 2;
}
