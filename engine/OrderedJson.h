#pragma once

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <utility>

namespace qw::OrderedJson {

// QJsonObject sorts its keys; the bodies we send and store keep their members in the order they
// are written, so the object text is assembled here from individually encoded values.

// One JSON value in compact form.
QByteArray value(const QJsonValue& value);
// An object whose members are already encoded values, in the given order.
QByteArray object(const QList<std::pair<QString, QByteArray>>& members);
// An array of already encoded values.
QByteArray array(const QList<QByteArray>& elements);

} // namespace qw::OrderedJson
