#include "tests/browsers/BrowserProcess.h"

#include "tests/support/AsyncTestHelpers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QUrl>
#include <unistd.h>

namespace qw::test {

using namespace Qt::StringLiterals;

std::optional<QString> runTool(const QString& program, const QStringList& arguments, const QByteArray& input,
                               std::chrono::milliseconds bound, bool anyExitCode)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return std::nullopt;
    process.write(input);
    process.closeWriteChannel();
    const bool ended = pumpUntil([&] { return process.state() == QProcess::NotRunning; }, bound);
    if (!ended) {
        process.kill();
        process.waitForFinished(2000);
        return std::nullopt;
    }
    if (process.exitStatus() != QProcess::NormalExit || (process.exitCode() != 0 && !anyExitCode))
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput());
}

QString runQuillweave(const QStringList& arguments)
{
    return runTool(QStringLiteral(QW_QUILLWEAVE), QStringList{u"--interface-language"_s, u"en"_s} + arguments,
                   {}, std::chrono::seconds(60), true)
        .value_or(u"(quillweave failed)"_s);
}

BrowserProcess::BrowserProcess(Kind kind, QString profile, QStringList extraArguments, QString desktopEntry)
    : m_kind(kind), m_profile(std::move(profile)), m_extraArguments(std::move(extraArguments)),
      m_desktopEntry(std::move(desktopEntry))
{
}

BrowserProcess::~BrowserProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(10000)) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool BrowserProcess::start(const QString& page)
{
    QDir().mkpath(m_profile);
    const QString url = QUrl::fromLocalFile(page).toString();
    QString program;
    QStringList arguments;
    if (m_kind == Kind::firefox) {
        QFile prefs(m_profile + u"/user.js"_s);
        if (!prefs.open(QIODevice::WriteOnly))
            return false;
        prefs.write("user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                    "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                    "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                    "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                    "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                    "user_pref(\"app.update.auto\", false);\n"
                    "user_pref(\"app.update.enabled\", false);\n"
                    "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
                    // One page process and no background work: the machine's two cores are
                    // shared with the build and the other tests.
                    "user_pref(\"dom.ipc.processCount\", 1);\n"
                    "user_pref(\"dom.ipc.processPrelaunch.enabled\", false);\n"
                    "user_pref(\"browser.safebrowsing.update.enabled\", false);\n"
                    "user_pref(\"extensions.update.enabled\", false);\n"
                    "user_pref(\"browser.newtabpage.enabled\", false);\n"
                    "user_pref(\"network.connectivity-service.enabled\", false);\n");
        prefs.close();
        program = u"firefox-esr"_s;
        arguments = {u"--profile"_s, m_profile, u"--no-remote"_s, u"--new-instance"_s};
    } else {
        program = u"/usr/bin/chromium"_s;
        if (!m_desktopEntry.isEmpty()) {
            // What a launcher does with the entry: its Exec line, the URL for %U.
            QFile entry(m_desktopEntry);
            if (!entry.open(QIODevice::ReadOnly))
                return false;
            QString exec;
            for (const QByteArray& line : entry.readAll().split('\n')) {
                if (line.startsWith("Exec=") && exec.isEmpty())
                    exec = QString::fromUtf8(line.mid(5));
            }
            arguments = QProcess::splitCommand(exec);
            if (arguments.isEmpty())
                return false;
            program = arguments.takeFirst();
            arguments.removeAll(u"%U"_s);
        }
        arguments +=
            {u"--user-data-dir="_s + m_profile, u"--no-first-run"_s, u"--no-default-browser-check"_s,
             u"--renderer-process-limit=1"_s,   u"--disable-gpu"_s,  u"--disable-background-networking"_s,
             u"--disable-component-update"_s,   u"--disable-sync"_s, u"--password-store=basic"_s};
        // Chromium refuses to start as root with its sandbox (CI containers run as root).
        if (::geteuid() == 0)
            arguments << u"--no-sandbox"_s;
    }
    // Helpers the browser leaves behind for a while (Chromium's crash handler) would keep the
    // test's own output open, and ctest waits for it to close: their output goes nowhere.
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setStandardErrorFile(QProcess::nullDevice());
    m_process.start(program, arguments + m_extraArguments + QStringList{url});
    if (!m_process.waitForStarted(10000))
        return false;
    // xdotool gives up on the X error of a window that goes away while it looks (Chromium makes
    // and drops windows as it starts): search again, a moment apart, until the window shows.
    QDeadlineTimer searchAgain(0);
    return pumpUntil(
               [&] {
                   if (m_process.state() == QProcess::NotRunning || !searchAgain.hasExpired())
                       return m_process.state() == QProcess::NotRunning;
                   searchAgain.setRemainingTime(250);
                   const auto found = runTool(
                       u"xdotool"_s, {u"search"_s, u"--onlyvisible"_s, u"--pid"_s, QString::number(pid())},
                       {}, std::chrono::seconds(5));
                   m_window = found ? found->split(u'\n', Qt::SkipEmptyParts).value(0) : QString();
                   return !m_window.isEmpty();
               },
               startBound) &&
           !m_window.isEmpty();
}

bool BrowserProcess::activate()
{
    // Without --sync: a window the window manager has not taken in yet is refused, and the
    // caller asks again until the activation shows.
    return runTool(u"xdotool"_s, {u"windowactivate"_s, m_window}, {}, std::chrono::seconds(10)).has_value();
}

ClipboardManager::~ClipboardManager()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    command({u"exit"_s});
    if (!m_server.waitForFinished(10000)) {
        m_server.kill();
        m_server.waitForFinished(5000);
    }
}

QString ClipboardManager::command(const QStringList& arguments)
{
    const auto output = runTool(u"copyq"_s, QStringList{u"--session=quillweavetest"_s} + arguments);
    return output ? output->trimmed() : u"(failed)"_s;
}

bool ClipboardManager::start()
{
    // Its settings go where XDG_CONFIG_HOME points; a settings path of its own would have to be
    // given to every client command as well, or they would not find this server.
    m_server.setStandardOutputFile(QProcess::nullDevice());
    m_server.setStandardErrorFile(QProcess::nullDevice());
    m_server.start(u"copyq"_s, {u"--session=quillweavetest"_s, u"--start-server"_s});
    if (!m_server.waitForStarted(10000))
        return false;
    if (!pumpUntil([&] { return command({u"count"_s}) == u"0"_s; }, std::chrono::seconds(30)))
        return false;
    // The server watches the clipboard through a helper it starts a moment later, and ignores
    // a copy of what it saw last: copy new texts until one is recorded, then empty the history.
    int attempt = 0;
    const bool recording = pumpUntil(
        [&] {
            copy("quillweave: is anyone watching " + QByteArray::number(++attempt));
            return pumpUntil([&] { return !history().isEmpty(); }, std::chrono::seconds(2));
        },
        std::chrono::seconds(30));
    return recording && command({u"eval"_s, u"--"_s, u"while (size() > 0) remove(0)"_s}) != u"(failed)"_s &&
           history().isEmpty();
}

QStringList ClipboardManager::history()
{
    const QString json = command(
        {u"eval"_s, u"--"_s,
         u"var items = []; for (var i = 0; i < size(); ++i) items.push(str(read(i))); JSON.stringify(items)"_s});
    QStringList items;
    for (const QJsonValue& item : QJsonDocument::fromJson(json.toUtf8()).array())
        items << item.toString();
    return items;
}

bool ClipboardManager::waitForNewest(const QString& text)
{
    return pumpUntil([&] { return history().value(0) == text; }, std::chrono::seconds(30));
}

bool ClipboardManager::copy(const QByteArray& text)
{
    return runTool(u"xclip"_s, {u"-selection"_s, u"clipboard"_s}, text).has_value();
}

} // namespace qw::test
