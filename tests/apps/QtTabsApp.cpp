// A small Qt 6 program with a tab widget, for the real-application tests: the first tab holds a
// line edit and a password line edit, the second a multi-line text edit, and a button sits
// below. Qt's current page tab claims focus beside the focused field. Steered through standard
// input like tests/support/desktop-real/gtk_text_app.py:
//   focus entry|password|view|button|none | tab 0|1 | dump | quit
// "dump" prints "STATE {"entry": ..., "view": ...}". Prints "READY <pid> <xid>" once shown.
#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTabWidget>
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
    QWidget window;
    window.setWindowTitle(QStringLiteral("Quillweave Qt tabs"));
    auto* layout = new QVBoxLayout(&window);
    auto* tabs = new QTabWidget;
    auto* draft = new QWidget;
    auto* draftLayout = new QVBoxLayout(draft);
    auto* entry = new QLineEdit;
    auto* password = new QLineEdit(QStringLiteral("hunter2"));
    password->setEchoMode(QLineEdit::Password);
    draftLayout->addWidget(entry);
    draftLayout->addWidget(password);
    auto* view = new QPlainTextEdit;
    tabs->addTab(draft, QStringLiteral("Draft"));
    tabs->addTab(view, QStringLiteral("Notes"));
    auto* button = new QPushButton(QStringLiteral("Send"));
    layout->addWidget(tabs);
    layout->addWidget(button);
    window.resize(480, 320);
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
            const QStringList words = QString::fromUtf8(pending.left(newline)).split(u' ');
            pending.remove(0, newline + 1);
            const QString command = words.value(0);
            const QString what = words.value(1);
            if (command == u"focus") {
                if (what == u"none") {
                    if (QWidget* focused = QApplication::focusWidget())
                        focused->clearFocus();
                } else {
                    QWidget* target = what == u"password" ? password
                                      : what == u"view"   ? static_cast<QWidget*>(view)
                                      : what == u"button" ? static_cast<QWidget*>(button)
                                                          : entry;
                    tabs->setCurrentIndex(target == view ? 1 : 0);
                    target->setFocus();
                }
            } else if (command == u"tab") {
                tabs->setCurrentIndex(what.toInt());
            } else if (command == u"dump") {
                const QJsonObject state{{QStringLiteral("entry"), entry->text()},
                                        {QStringLiteral("view"), view->toPlainText()}};
                out(QStringLiteral("STATE ") +
                    QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact)));
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
