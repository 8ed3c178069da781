#include "updates/UpdateConfiguration.h"

namespace qw {

namespace {

bool enabled(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.typeId() == QMetaType::QString && value.toString() == u"YES";
}

// Hosts that can never be a real publisher: the reserved test names and the documentation
// domain. A trailing dot names the same host and is ignored; the bare reserved names are
// refused as well as the names below them.
bool reservedHost(QString host)
{
    while (host.endsWith(u'.'))
        host.chop(1);
    for (const QString& reserved :
         {QStringLiteral("example"), QStringLiteral("invalid"), QStringLiteral("example.com")}) {
        if (host == reserved || host.endsWith(u'.' + reserved))
            return true;
    }
    return false;
}

std::optional<QUrl> feedUrl(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    const QUrl url(value.toString(), QUrl::StrictMode);
    if (!url.isValid() || url.scheme().toLower() != u"https")
        return std::nullopt;
    const QString host = url.host().toLower();
    if (host.isEmpty() || reservedHost(host))
        return std::nullopt;
    if (!url.userName().isEmpty() || !url.password().isEmpty())
        return std::nullopt;
    return url;
}

std::optional<QByteArray> keyBytes(const QString& key)
{
    const auto decoded =
        QByteArray::fromBase64Encoding(key.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() != 32)
        return std::nullopt;
    return decoded.decoded;
}

} // namespace

std::optional<UpdateConfiguration> UpdateConfiguration::from(const QVariantMap& info)
{
    if (!enabled(info.value(QStringLiteral("QuillweaveUpdatesEnabled"))))
        return std::nullopt;
    const std::optional<QUrl> feed = feedUrl(info.value(QStringLiteral("SUFeedURL")));
    if (!feed)
        return std::nullopt;
    const QVariant key = info.value(QStringLiteral("SUPublicEDKey"));
    if (key.typeId() != QMetaType::QString || !keyBytes(key.toString()))
        return std::nullopt;
    return UpdateConfiguration{*feed, key.toString()};
}

QByteArray UpdateConfiguration::publicKeyBytes() const
{
    return keyBytes(publicKey).value_or(QByteArray());
}

} // namespace qw
