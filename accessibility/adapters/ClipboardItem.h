#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace qw {

// One clipboard item with the data of every type it offers (MIME types on Linux).
struct ClipboardRepresentation {
    QString type;
    QByteArray data;
    friend bool operator==(const ClipboardRepresentation&, const ClipboardRepresentation&) = default;
};

struct ClipboardItem {
    QList<ClipboardRepresentation> representations;
    friend bool operator==(const ClipboardItem&, const ClipboardItem&) = default;
};

} // namespace qw
