#include "platform/LinuxClipboardReader.h"

#include <QSet>
#include <cstdlib>
#include <functional>
#include <memory>
#include <poll.h>
#include <xcb/xcb.h>

namespace qw {

namespace {

using Clock = std::chrono::steady_clock;

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T> using XReply = std::unique_ptr<T, FreeDeleter>;

xcb_atom_t intern(xcb_connection_t* connection, const char* name)
{
    const XReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Targets that describe the conversion itself rather than the content.
const QSet<QByteArray>& protocolTargets()
{
    static const QSet<QByteArray> names{"TARGETS", "TIMESTAMP",        "MULTIPLE",       "SAVE_TARGETS",
                                        "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY"};
    return names;
}

} // namespace

// One read: every conversion shares the read's deadline.
struct LinuxClipboardReader::Session {
    xcb_connection_t* connection;
    xcb_window_t window;
    xcb_atom_t clipboard;
    xcb_atom_t property;
    xcb_atom_t incr;
    Clock::time_point deadline;
    bool timedOut = false;

    XReply<xcb_generic_event_t> waitFor(const std::function<bool(xcb_generic_event_t*)>& wanted)
    {
        for (;;) {
            while (xcb_generic_event_t* event = xcb_poll_for_event(connection)) {
                XReply<xcb_generic_event_t> owned(event);
                if (wanted(event))
                    return owned;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            if (xcb_connection_has_error(connection) || left.count() <= 0) {
                timedOut = true;
                return nullptr;
            }
            pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
            ::poll(&descriptor, 1, int(left.count()));
        }
    }

    XReply<xcb_get_property_reply_t> takeProperty()
    {
        // Deleting the property as it is read is what asks an incremental sender for more.
        return XReply<xcb_get_property_reply_t>(xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 0x1fffffff),
            nullptr));
    }

    static QByteArray bytes(const xcb_get_property_reply_t* reply)
    {
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                          xcb_get_property_value_length(reply));
    }

    std::optional<QByteArray> convert(xcb_atom_t target)
    {
        xcb_delete_property(connection, window, property);
        xcb_convert_selection(connection, window, clipboard, target, property, XCB_CURRENT_TIME);
        xcb_flush(connection);
        const auto notified = waitFor([&](xcb_generic_event_t* event) {
            if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                return false;
            const auto* notify = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            return notify->requestor == window && notify->selection == clipboard && notify->target == target;
        });
        if (!notified ||
            reinterpret_cast<xcb_selection_notify_event_t*>(notified.get())->property == XCB_ATOM_NONE)
            return std::nullopt;
        const auto first = takeProperty();
        if (!first)
            return std::nullopt;
        if (first->type != incr)
            return bytes(first.get());
        QByteArray data;
        for (;;) {
            const auto next = waitFor([&](xcb_generic_event_t* event) {
                if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* change = reinterpret_cast<xcb_property_notify_event_t*>(event);
                return change->window == window && change->atom == property &&
                       change->state == XCB_PROPERTY_NEW_VALUE;
            });
            if (!next)
                return std::nullopt;
            const auto chunk = takeProperty();
            if (!chunk)
                return std::nullopt;
            if (xcb_get_property_value_length(chunk.get()) == 0)
                return data;
            data += bytes(chunk.get());
        }
    }
};

LinuxClipboardReader::LinuxClipboardReader(std::chrono::milliseconds bound) : m_bound(bound) {}

LinuxClipboardReader::~LinuxClipboardReader()
{
    disconnect();
}

bool LinuxClipboardReader::connect()
{
    if (m_connection)
        return true;
    int screenNumber = 0;
    m_connection = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(m_connection)) {
        disconnect();
        return false;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    if (screens.rem == 0) {
        disconnect();
        return false;
    }
    m_window = xcb_generate_id(m_connection);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    m_clipboardAtom = intern(m_connection, "CLIPBOARD");
    m_propertyAtom = intern(m_connection, "QUILLWEAVE_CLIPBOARD_READ");
    m_incrAtom = intern(m_connection, "INCR");
    m_targetsAtom = intern(m_connection, "TARGETS");
    return true;
}

void LinuxClipboardReader::disconnect()
{
    if (m_connection)
        xcb_disconnect(m_connection);
    m_connection = nullptr;
    m_window = 0;
}

std::optional<ClipboardItem> LinuxClipboardReader::read()
{
    std::lock_guard lock(m_mutex);
    if (!connect())
        return std::nullopt;
    Session session{m_connection,   m_window,   m_clipboardAtom,
                    m_propertyAtom, m_incrAtom, Clock::now() + m_bound};
    // A conversion that did not finish may still answer later: the next read starts on a fresh
    // connection so that no late answer is taken for a new one.
    struct DropAfterTimeout {
        Session& session;
        LinuxClipboardReader& reader;
        ~DropAfterTimeout()
        {
            if (session.timedOut)
                reader.disconnect();
        }
    } drop{session, *this};

    const XReply<xcb_get_selection_owner_reply_t> owner(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, m_clipboardAtom), nullptr));
    if (!owner || owner->owner == XCB_WINDOW_NONE)
        return std::nullopt;
    const std::optional<QByteArray> targetList = session.convert(m_targetsAtom);
    if (!targetList)
        return std::nullopt;

    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(targetList->constData());
    const qsizetype atomCount = targetList->size() / qsizetype(sizeof(xcb_atom_t));
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (qsizetype i = 0; i < atomCount; ++i)
        cookies.push_back(xcb_get_atom_name(m_connection, atoms[i]));
    QList<std::pair<xcb_atom_t, QByteArray>> targets;
    QSet<QByteArray> seen;
    for (qsizetype i = 0; i < atomCount; ++i) {
        const XReply<xcb_get_atom_name_reply_t> name(
            xcb_get_atom_name_reply(m_connection, cookies[size_t(i)], nullptr));
        if (!name)
            continue;
        const QByteArray text(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
        if (!protocolTargets().contains(text) && !seen.contains(text)) {
            seen.insert(text);
            targets.append({atoms[i], text});
        }
    }

    ClipboardItem item;
    // The plain text once, from the most exact of the targets that carry it.
    // TEXT lets the owner pick the encoding: it is only ever answered from "text/plain" again.
    static const QList<QByteArray> textTargets{"UTF8_STRING", "text/plain", "STRING", "TEXT"};
    std::optional<QByteArray> text;
    for (const QByteArray& preferred : textTargets.first(3)) {
        for (const auto& [atom, name] : targets) {
            if (name != preferred || text || session.timedOut)
                continue;
            if (auto data = session.convert(atom))
                text = name == "STRING" ? QString::fromLatin1(*data).toUtf8() : *data;
        }
    }
    if (text)
        item.representations.append({QStringLiteral("text/plain"), *text});
    for (const auto& [atom, name] : targets) {
        if (textTargets.contains(name))
            continue;
        if (session.timedOut)
            break;
        if (auto data = session.convert(atom))
            item.representations.append({QString::fromLatin1(name), *data});
    }
    if (item.representations.isEmpty())
        return std::nullopt;
    return item;
}

} // namespace qw
