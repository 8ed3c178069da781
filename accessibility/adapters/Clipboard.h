#pragma once

#include "accessibility/adapters/ClipboardItem.h"

#include <QStringList>
#include <optional>

namespace qw {

// The general clipboard shared with every other application. Called on the accessibility
// worker thread: a backend whose clipboard lives on the main thread hands the call over there,
// and the main thread never waits for the worker in return.
class Clipboard {
public:
    virtual ~Clipboard() = default;

    virtual int itemCount() const = 0;
    virtual QStringList types(int item) const = 0;
    // None when the data of that type cannot be obtained.
    virtual std::optional<QByteArray> data(int item, const QString& type) const = 0;

    virtual void clear() = 0;
    // Puts plain text on the clipboard; false when the platform refuses it.
    virtual bool setString(const QString& text) = 0;
    virtual bool writeItems(const QList<ClipboardItem>& items) = 0;
    // Grows whenever anyone (this process or another) changes the clipboard's content.
    virtual qint64 changeCount() const = 0;
};

} // namespace qw
