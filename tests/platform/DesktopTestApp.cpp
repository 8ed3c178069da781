#include "tests/platform/DesktopTestApp.h"

#include "tests/support/AsyncTestHelpers.h"

#include <QJsonDocument>
#include <QProcess>

namespace qw::test {

DesktopTestApp::DesktopTestApp(QStringList arguments, QString program)
    : m_arguments(std::move(arguments)), m_program(std::move(program))
{
}

DesktopTestApp::~DesktopTestApp()
{
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->write("quit\n");
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
}

QString DesktopTestApp::scriptPath()
{
    return QStringLiteral(QW_SOURCE_DIR "/tests/support/desktop-real/gtk_text_app.py");
}

bool DesktopTestApp::start()
{
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (m_program.isEmpty())
        m_process->start(QStringLiteral("/usr/bin/python3"), QStringList{scriptPath()} + m_arguments);
    else
        m_process->start(m_program, m_arguments);
    if (!m_process->waitForStarted(10000))
        return false;
    const auto ready = readLine(QStringLiteral("READY "));
    if (!ready)
        return false;
    const QStringList parts = ready->split(u' ');
    m_pid = parts.value(0).toInt();
    m_window = parts.value(1).toUInt();
    return m_pid > 0 && m_window != 0;
}

bool DesktopTestApp::activate()
{
    const int status =
        QProcess::execute(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                      QStringLiteral("--sync"), QString::number(m_window)});
    return status == 0;
}

std::optional<QString> DesktopTestApp::readLine(const QString& prefix)
{
    std::optional<QString> found;
    pumpUntil([&] {
        if (m_process->state() == QProcess::NotRunning)
            return true;
        m_buffer += m_process->readAllStandardOutput();
        qsizetype newline;
        while ((newline = m_buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(m_buffer.left(newline));
            m_buffer.remove(0, newline + 1);
            if (line.startsWith(prefix)) {
                found = line.mid(prefix.size());
                return true;
            }
        }
        return false;
    });
    return found;
}

bool DesktopTestApp::send(const QString& command)
{
    m_process->write((command + u'\n').toUtf8());
    return readLine(QStringLiteral("OK ") + command.section(u' ', 0, 0)).has_value();
}

QJsonObject DesktopTestApp::state()
{
    m_process->write("dump\n");
    const auto line = readLine(QStringLiteral("STATE "));
    if (!line)
        return {};
    readLine(QStringLiteral("OK dump"));
    return QJsonDocument::fromJson(line->toUtf8()).object();
}

} // namespace qw::test
