#pragma once

#include "accessibility/adapters/Clipboard.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

class QMimeData;

namespace qw {

// The clipboard through Qt (QClipboard lives on the main thread and needs a QGuiApplication;
// without one every call fails). Calls from the accessibility worker are handed to the main
// thread and waited for with a bound; the main thread never waits for the worker. A call
// that was not started in time is abandoned and never runs late, so a late write can never
// overwrite what the user copied meanwhile.
//
// X11 has one clipboard item; its MIME types are the item's types. The change count grows
// with every change Qt reports and whenever another program took the clipboard from us.
class LinuxClipboard : public QObject, public Clipboard {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultMainThreadTimeout{1500};

    explicit LinuxClipboard(std::chrono::milliseconds mainThreadTimeout = defaultMainThreadTimeout,
                            QObject* parent = nullptr);

    int itemCount() const override;
    QStringList types(int item) const override;
    std::optional<QByteArray> data(int item, const QString& type) const override;
    void clear() override;
    bool setString(const QString& text) override;
    bool writeItems(const QList<ClipboardItem>& items) override;
    qint64 changeCount() const override;

private:
    // Runs `work` on the main thread; none when the main thread did not get to it in time.
    template <class R> std::optional<R> onMainThread(std::function<R()> work) const;
    // Whether `mime`, just handed to the clipboard, is what it holds now.
    bool placed(const QMimeData* mime);
    qint64 refreshedChangeCount();

    std::chrono::milliseconds m_mainThreadTimeout;
    std::atomic<qint64> m_changes{0};
    bool m_ownedAfterWrite = false; // main thread only
};

} // namespace qw
