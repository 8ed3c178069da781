#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <memory>

namespace qw::test {

// One run of a real test program steered through its standard input: by default
// tests/support/desktop-real/gtk_text_app.py (GTK 3: an entry, a password entry, a text view),
// or another program that speaks the same commands (the Qt line edit of QtTextApp.cpp).
class DesktopTestApp {
public:
    explicit DesktopTestApp(QStringList arguments = {}, QString program = QString());
    ~DesktopTestApp();

    // Starts the program and waits (bounded) until its window is mapped.
    bool start();
    // Asks the window manager to activate the window and waits until X11 reports it active.
    bool activate();
    qint32 pid() const { return m_pid; }
    quint32 windowId() const { return m_window; }

    // Sends one command and waits for its acknowledgement.
    bool send(const QString& command);
    // The program's own view of its widgets: "entry", "view", "selection" ([start, end]).
    QJsonObject state();

    static QString scriptPath();

private:
    std::optional<QString> readLine(const QString& prefix);

    QStringList m_arguments;
    QString m_program;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    qint32 m_pid = 0;
    quint32 m_window = 0;
};

} // namespace qw::test
