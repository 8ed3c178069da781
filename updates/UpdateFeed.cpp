#include "updates/UpdateFeed.h"

#include <QRegularExpression>
#include <QXmlStreamReader>

namespace qw::UpdateFeed {

namespace {

struct ItemParts {
    std::optional<QString> version;
    std::optional<QString> signature;
    std::optional<QString> url;
    std::optional<QString> length;
};

std::optional<UpdateItem> itemFrom(const ItemParts& parts)
{
    if (!parts.version || !parts.signature || !parts.url || !parts.length)
        return std::nullopt;
    UpdateItem item;
    const std::optional<QVersionNumber> number = version(*parts.version);
    const auto signature = QByteArray::fromBase64Encoding(parts.signature->trimmed().toLatin1(),
                                                          QByteArray::AbortOnBase64DecodingErrors);
    bool lengthOk = false;
    item.length = parts.length->toLongLong(&lengthOk);
    item.archive = QUrl(*parts.url, QUrl::StrictMode);
    // The archive may come from anywhere its signature vouches for, but never in the clear.
    if (!number || !signature || signature.decoded.size() != 64 || !lengthOk || item.length <= 0 ||
        !item.archive.isValid() || item.archive.scheme().toLower() != u"https" ||
        item.archive.host().isEmpty())
        return std::nullopt;
    item.version = *number;
    item.signature = signature.decoded;
    return item;
}

// Reads one <item>; the reader stands on its start element.
std::optional<UpdateItem> readItem(QXmlStreamReader& reader)
{
    ItemParts parts;
    const QString ours = QString::fromLatin1(xmlNamespace);
    while (reader.readNextStartElement()) {
        if (reader.namespaceUri() == ours && reader.name() == u"version") {
            parts.version = reader.readElementText();
        } else if (reader.namespaceUri() == ours && reader.name() == u"signature") {
            parts.signature = reader.readElementText();
        } else if (reader.namespaceUri().isEmpty() && reader.name() == u"enclosure") {
            parts.url = reader.attributes().value(QStringLiteral("url")).toString();
            parts.length = reader.attributes().value(QStringLiteral("length")).toString();
            reader.skipCurrentElement();
        } else {
            reader.skipCurrentElement();
        }
    }
    return itemFrom(parts);
}

} // namespace

std::optional<QVersionNumber> version(const QString& text)
{
    static const QRegularExpression dotted(QStringLiteral(R"(\A[0-9]{1,9}(\.[0-9]{1,9}){0,3}\z)"));
    if (!dotted.match(text).hasMatch())
        return std::nullopt;
    return QVersionNumber::fromString(text);
}

std::optional<QList<UpdateItem>> parse(const QByteArray& document)
{
    QXmlStreamReader reader(document);
    if (!reader.readNextStartElement() || reader.name() != u"rss" || !reader.namespaceUri().isEmpty())
        return std::nullopt;
    QList<UpdateItem> items;
    bool sawChannel = false;
    while (reader.readNextStartElement()) {
        if (reader.name() != u"channel" || sawChannel) {
            reader.skipCurrentElement();
            continue;
        }
        sawChannel = true;
        while (reader.readNextStartElement()) {
            if (reader.name() != u"item") {
                reader.skipCurrentElement();
                continue;
            }
            std::optional<UpdateItem> item = readItem(reader);
            if (!item)
                return std::nullopt;
            items.append(*item);
        }
    }
    // Read to the end: a document cut off after the last item is not well-formed either.
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError() || !sawChannel)
        return std::nullopt;
    return items;
}

std::optional<UpdateItem> newest(const QList<UpdateItem>& items, const QVersionNumber& running)
{
    std::optional<UpdateItem> best;
    for (const UpdateItem& item : items) {
        if (item.version > running && (!best || item.version > best->version))
            best = item;
    }
    return best;
}

} // namespace qw::UpdateFeed
