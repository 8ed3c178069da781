#include "engine/OrderedJson.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace qw::OrderedJson {

namespace {

// Qt escapes an unpaired surrogate as "\ud800", which strict readers (and many servers) refuse
// along with the whole document; it is sent as U+FFFD, as a text decoder would show it.
QJsonValue withPairedSurrogates(const QJsonValue& value)
{
    if (!value.isString())
        return value;
    QString text = value.toString();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i;
        else if (text.at(i).isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text;
}

} // namespace

QByteArray value(const QJsonValue& value)
{
    // A one-element array is the only document form that encodes any value, scalars included.
    QByteArray encoded =
        QJsonDocument(QJsonArray{withPairedSurrogates(value)}).toJson(QJsonDocument::Compact);
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
