#pragma once

#include "accessibility/adapters/Clipboard.h"
#include "platform/LinuxClipboardReader.h"

#include <QObject>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
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
//
// What another program holds is read by a LinuxClipboardReader on the calling thread within
// `foreignReadBound`: Qt would wait for an owner on the main thread, up to five seconds per
// type. itemCount() takes that snapshot; types() and data() answer from it.
//
// This program only ever puts transient content on the clipboard (a paste's text, then the
// user's own item back), so everything it places carries the hints clipboard managers honour
// to keep it out of their history: the user's history holds only what the user copied. KDE's
// password-manager hint is the common one; CopyQ before version 7 (Debian 12's) knows only its
// own.
class LinuxClipboard : public QObject, public Clipboard {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultMainThreadTimeout{1500};
    static constexpr std::chrono::milliseconds defaultForeignReadBound{400};
    static inline const QList<ClipboardRepresentation> skipHistoryHints{
        {QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")},
        {QStringLiteral("application/x-copyq-hidden"), QByteArrayLiteral("1")}};

    explicit LinuxClipboard(std::chrono::milliseconds mainThreadTimeout = defaultMainThreadTimeout,
                            std::chrono::milliseconds foreignReadBound = defaultForeignReadBound,
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
    static void markTransient(QMimeData* mime);
    // Whether `mime`, just handed to the clipboard, is what it holds now.
    bool placed(const QMimeData* mime);
    qint64 refreshedChangeCount();
    // The clipboard's item as Qt sees it: where X is not the platform, or on the main thread.
    static std::optional<ClipboardItem> qtItem();

    std::chrono::milliseconds m_mainThreadTimeout;
    std::atomic<qint64> m_changes{0};
    // Counts down from -1: an unknown count never equals one remembered earlier.
    mutable std::atomic<qint64> m_unknownCounts{-1};
    bool m_ownedAfterWrite = false;                        // main thread only
    std::unique_ptr<LinuxClipboardReader> m_foreignReader; // none unless Qt runs on X11
    std::optional<ClipboardItem> m_snapshot;               // the calling thread's, see itemCount()
};

} // namespace qw
