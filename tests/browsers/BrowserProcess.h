#pragma once

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

namespace qw::test {

// One run of a real browser on a throwaway profile, first-run pages and updates off. Chromium
// runs as Debian's launcher starts it, or with the Exec line of a desktop entry, as the
// applications menu starts it.
class BrowserProcess {
public:
    enum class Kind { firefox, chromium };
    // Firefox and Chromium take up to half a minute to show a page under Xvfb on two busy cores.
    static constexpr std::chrono::seconds startBound{90};

    BrowserProcess(Kind kind, QString profile, QStringList extraArguments = {}, QString desktopEntry = {});
    ~BrowserProcess();

    // Starts the browser on a local page and waits (bounded) until its window is mapped.
    bool start(const QString& page);
    // Asks the window manager to activate the window.
    bool activate();
    qint32 pid() const { return qint32(m_process.processId()); }

private:
    Kind m_kind;
    QString m_profile;
    QStringList m_extraArguments;
    QString m_desktopEntry;
    QProcess m_process;
    QString m_window;
};

// CopyQ, the clipboard manager, in a session of its own.
class ClipboardManager {
public:
    ClipboardManager() = default;
    ~ClipboardManager();

    // Starts the server and waits until it records what is copied.
    bool start();
    // The history, newest first.
    QStringList history();
    bool waitForNewest(const QString& text);

    // Copies `text` as another program does (xclip keeps serving it until someone else copies).
    static bool copy(const QByteArray& text);

private:
    QString command(const QStringList& arguments);

    QProcess m_server;
};

// Runs the quillweave program in English; its standard output, whatever its exit status (doctor
// counts the problems it found in it).
QString runQuillweave(const QStringList& arguments);

// Runs a helper program to its end without blocking this thread's events (the clipboard this
// process owns must keep answering meanwhile); its standard output, none when it failed.
std::optional<QString> runTool(const QString& program, const QStringList& arguments,
                               const QByteArray& input = {},
                               std::chrono::milliseconds bound = std::chrono::seconds(30),
                               bool anyExitCode = false);

} // namespace qw::test
