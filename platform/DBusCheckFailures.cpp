#include "platform/DBusCheckFailures.h"

#include <QByteArray>
#include <QtGlobal>

namespace qw {

void keepDBusCheckFailuresNonFatal()
{
    // libdbus reads the variable once, at its first complaint.
    if (!qEnvironmentVariableIsSet("DBUS_FATAL_WARNINGS"))
        qputenv("DBUS_FATAL_WARNINGS", QByteArrayLiteral("0"));
}

} // namespace qw
