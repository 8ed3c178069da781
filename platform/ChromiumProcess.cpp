#include "platform/ChromiumProcess.h"

#include <QFile>
#include <QFileInfo>

namespace qw {

bool ChromiumProcess::isChromiumProgram(const QString& executable)
{
    const QFileInfo program(executable);
    return !executable.isEmpty() && program.isFile() &&
           QFileInfo::exists(program.absolutePath() + QStringLiteral("/chrome_100_percent.pak"));
}

bool ChromiumProcess::hasRendererAccessibilityFlag(const QByteArray& commandLine)
{
    const QByteArray flag = rendererAccessibilityFlag.toLatin1();
    for (const QByteArray& argument : commandLine.split('\0')) {
        if (argument == flag || argument.startsWith(flag + '='))
            return true;
    }
    return false;
}

bool ChromiumProcess::lacksRendererAccessibility(qint32 pid, const QString& procRoot)
{
    const QString process = procRoot + u'/' + QString::number(pid);
    if (pid <= 0 || !isChromiumProgram(QFileInfo(process + QStringLiteral("/exe")).canonicalFilePath()))
        return false;
    QFile commandLine(process + QStringLiteral("/cmdline"));
    if (!commandLine.open(QIODevice::ReadOnly))
        return false;
    return !hasRendererAccessibilityFlag(commandLine.readAll());
}

} // namespace qw
