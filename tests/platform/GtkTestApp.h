#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <memory>

namespace qw::test {

// One run of tests/support/desktop-real/gtk_text_app.py: a real GTK 3 program with an entry,
// a password entry and a text view, steered through its standard input.
class GtkTestApp {
public:
    explicit GtkTestApp(QStringList arguments = {});
    ~GtkTestApp();

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
    std::unique_ptr<QProcess> m_process;
    QByteArray m_buffer;
    qint32 m_pid = 0;
    quint32 m_window = 0;
};

} // namespace qw::test
