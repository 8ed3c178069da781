#include "updates/ProgramMetadata.h"

#include "engine/StrictJson.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace qw {

namespace {
constexpr qint64 largestMetadataFile = 64 * 1024;
}

QString ProgramMetadata::pathBeside(const QString& applicationDir)
{
    return applicationDir + QStringLiteral("/../share/quillweave/program-info.json");
}

ProgramMetadata ProgramMetadata::read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray text = file.read(largestMetadataFile + 1);
    if (text.size() > largestMetadataFile || !StrictJson::isWellFormed(text))
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isObject())
        return {};
    return {document.object().toVariantMap()};
}

QString ProgramMetadata::shortVersion() const
{
    const QVariant version = info.value(QStringLiteral("CFBundleShortVersionString"));
    return version.typeId() == QMetaType::QString ? version.toString() : QString();
}

bool ProgramMetadata::systemInstallation() const
{
    return info.value(QStringLiteral("QuillweaveInstallation")).toString() == u"system";
}

} // namespace qw
