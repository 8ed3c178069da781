#include "platform/LinuxClipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QThread>
#include <future>
#include <memory>

namespace qw {

namespace {
QClipboard* systemClipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                        : nullptr;
}
} // namespace

LinuxClipboard::LinuxClipboard(std::chrono::milliseconds mainThreadTimeout,
                               std::chrono::milliseconds foreignReadBound, QObject* parent)
    : QObject(parent), m_mainThreadTimeout(mainThreadTimeout)
{
    if (systemClipboard() && QGuiApplication::platformName() == u"xcb")
        m_foreignReader = std::make_unique<LinuxClipboardReader>(foreignReadBound);
    if (QClipboard* clipboard = systemClipboard()) {
        connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                ++m_changes;
        });
    }
}

template <class R> std::optional<R> LinuxClipboard::onMainThread(std::function<R()> work) const
{
    if (QThread::currentThread() == thread())
        return work();
    // 0 pending, 1 running, 2 abandoned by the caller.
    auto state = std::make_shared<std::atomic<int>>(0);
    auto promise = std::make_shared<std::promise<R>>();
    std::future<R> future = promise->get_future();
    QMetaObject::invokeMethod(
        const_cast<LinuxClipboard*>(this),
        [state, promise, work] {
            int expected = 0;
            if (!state->compare_exchange_strong(expected, 1))
                return;
            promise->set_value(work());
        },
        Qt::QueuedConnection);
    if (future.wait_for(m_mainThreadTimeout) == std::future_status::ready)
        return future.get();
    int expected = 0;
    if (state->compare_exchange_strong(expected, 2))
        return std::nullopt;
    // Already running on the main thread: it finishes without waiting for us.
    return future.get();
}

bool LinuxClipboard::placed(const QMimeData* mime)
{
    QClipboard* clipboard = systemClipboard();
    m_ownedAfterWrite = clipboard && clipboard->ownsClipboard();
    // Platforms without selection owners (offscreen, tests) only tell by what they now hold.
    return m_ownedAfterWrite || (clipboard && clipboard->mimeData(QClipboard::Clipboard) == mime);
}

qint64 LinuxClipboard::refreshedChangeCount()
{
    // Another program taking the clipboard is noticed through Qt's change signal, but that
    // signal may still be queued: asking who owns the clipboard now does not lag.
    QClipboard* clipboard = systemClipboard();
    if (m_ownedAfterWrite && clipboard && !clipboard->ownsClipboard()) {
        m_ownedAfterWrite = false;
        ++m_changes;
    }
    return m_changes.load();
}

std::optional<ClipboardItem> LinuxClipboard::qtItem()
{
    QClipboard* clipboard = systemClipboard();
    const QMimeData* mime = clipboard ? clipboard->mimeData(QClipboard::Clipboard) : nullptr;
    if (!mime || mime->formats().isEmpty())
        return std::nullopt;
    ClipboardItem item;
    for (const QString& type : mime->formats())
        item.representations.append({type, mime->data(type)});
    return item;
}

int LinuxClipboard::itemCount() const
{
    auto* self = const_cast<LinuxClipboard*>(this);
    // Read as any other program reads it, even when the content is ours: whether Qt still owns
    // the clipboard is only known on the main thread, and late there (another program may have
    // taken it a moment ago). Our own content is answered by the main thread, which never
    // waits for this one.
    if (m_foreignReader && QThread::currentThread() != thread())
        self->m_snapshot = m_foreignReader->read();
    else
        self->m_snapshot =
            onMainThread<std::optional<ClipboardItem>>(&LinuxClipboard::qtItem).value_or(std::nullopt);
    return m_snapshot ? 1 : 0;
}

QStringList LinuxClipboard::types(int item) const
{
    QStringList names;
    if (item == 0 && m_snapshot) {
        for (const ClipboardRepresentation& representation : m_snapshot->representations)
            names << representation.type;
    }
    return names;
}

std::optional<QByteArray> LinuxClipboard::data(int item, const QString& type) const
{
    if (item != 0 || !m_snapshot)
        return std::nullopt;
    for (const ClipboardRepresentation& representation : m_snapshot->representations) {
        if (representation.type == type)
            return representation.data;
    }
    return std::nullopt;
}

void LinuxClipboard::clear()
{
    onMainThread<bool>([this] {
        QClipboard* clipboard = systemClipboard();
        if (!clipboard)
            return false;
        clipboard->clear(QClipboard::Clipboard);
        m_ownedAfterWrite = false;
        return true;
    });
}

bool LinuxClipboard::setString(const QString& text)
{
    return onMainThread<bool>([this, text] {
               QClipboard* clipboard = systemClipboard();
               if (!clipboard)
                   return false;
               auto* mime = new QMimeData;
               mime->setText(text);
               markTransient(mime);
               clipboard->setMimeData(mime, QClipboard::Clipboard);
               return placed(mime);
           })
        .value_or(false);
}

void LinuxClipboard::markTransient(QMimeData* mime)
{
    for (const ClipboardRepresentation& hint : skipHistoryHints)
        mime->setData(hint.type, hint.data);
}

bool LinuxClipboard::writeItems(const QList<ClipboardItem>& items)
{
    if (items.isEmpty())
        return true;
    // X11 has a single clipboard item: the first one is what the clipboard can hold.
    const ClipboardItem item = items.first();
    return onMainThread<bool>([this, item] {
               QClipboard* clipboard = systemClipboard();
               if (!clipboard)
                   return false;
               auto* mime = new QMimeData;
               for (const ClipboardRepresentation& representation : item.representations)
                   mime->setData(representation.type, representation.data);
               // The user's own item is already in the history from when it was copied.
               markTransient(mime);
               clipboard->setMimeData(mime, QClipboard::Clipboard);
               return placed(mime);
           })
        .value_or(false);
}

qint64 LinuxClipboard::changeCount() const
{
    auto* self = const_cast<LinuxClipboard*>(this);
    if (auto count = onMainThread<qint64>([self] { return self->refreshedChangeCount(); }))
        return *count;
    return m_unknownCounts--;
}

} // namespace qw
