#include "policy/TextFingerprint.h"

#include <QCryptographicHash>

namespace qw::TextFingerprint {

QString of(const QString& text)
{
    const QByteArray digest = QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256);
    return QString::fromLatin1(digest.toHex());
}

} // namespace qw::TextFingerprint
