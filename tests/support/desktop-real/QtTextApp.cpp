// A small Qt 6 program with one line edit, for the real-desktop tests: Qt exposes its
// accessible tree only with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, counts offsets in UTF-16 units
// and has no Collection interface. Steered through standard input like gtk_text_app.py:
//   focus entry | set entry <json string> | select entry <start> <end> | dump | quit
// Prints "READY <pid> <xid>" once its window is shown.
#include <QApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <cstdio>
#include <unistd.h>

namespace {

void out(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    QString text;
    const QStringList arguments = QCoreApplication::arguments();
    for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == u"--entry-text")
            text = arguments.at(i + 1);
    }
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillweave Qt test pad"));
    auto* layout = new QVBoxLayout(&window);
    auto* entry = new QLineEdit(text);
    layout->addWidget(entry);
    window.resize(480, 120);
    window.show();
    entry->setFocus();

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, got);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(newline));
            pending.remove(0, newline + 1);
            const QStringList words = line.split(u' ');
            const QString command = words.value(0);
            if (command == u"focus") {
                entry->setFocus();
            } else if (command == u"set") {
                const QString json = line.section(u' ', 2);
                entry->setText(QJsonDocument::fromJson("[" + json.toUtf8() + "]").array().at(0).toString());
            } else if (command == u"select") {
                const int start = words.value(2).toInt();
                entry->setSelection(start, words.value(3).toInt() - start);
            } else if (command == u"dump") {
                const int start =
                    entry->hasSelectedText() ? entry->selectionStart() : entry->cursorPosition();
                const int end = entry->hasSelectedText() ? entry->selectionEnd() : entry->cursorPosition();
                out(QStringLiteral("STATE ") +
                    QString::fromUtf8(
                        QJsonDocument(QJsonObject{{QStringLiteral("entry"), entry->text()},
                                                  {QStringLiteral("selection"), QJsonArray{start, end}}})
                            .toJson(QJsonDocument::Compact)));
            } else if (command == u"quit") {
                QCoreApplication::quit();
                return;
            }
            out(QStringLiteral("OK ") + command);
        }
    });
    QTimer::singleShot(0, [&] {
        out(QStringLiteral("READY %1 %2").arg(QCoreApplication::applicationPid()).arg(window.winId()));
    });
    return app.exec();
}
