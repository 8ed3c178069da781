#include "engine/OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qw::OrderedJson {

QByteArray value(const QJsonValue& value)
{
    // A one-element array is the only document form that encodes any value, scalars included.
    QByteArray encoded = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return encoded.mid(1, encoded.size() - 2);
}

QByteArray object(const QList<std::pair<QString, QByteArray>>& members)
{
    QByteArray text = "{";
    for (qsizetype i = 0; i < members.size(); ++i) {
        if (i > 0)
            text += ',';
        text += value(members[i].first);
        text += ':';
        text += members[i].second;
    }
    text += '}';
    return text;
}

QByteArray array(const QList<QByteArray>& elements)
{
    QByteArray text = "[";
    for (qsizetype i = 0; i < elements.size(); ++i) {
        if (i > 0)
            text += ',';
        text += elements[i];
    }
    text += ']';
    return text;
}

} // namespace qw::OrderedJson
