#include "platform/x11/XcbConnection.h"

#include <cstdlib>
#include <cstring>
#include <memory>

namespace qw {

namespace {
struct FreeDeleter {
    void operator()(void* pointer) const { std::free(pointer); }
};
template <class T> using Reply = std::unique_ptr<T, FreeDeleter>;
} // namespace

XcbConnection::XcbConnection()
{
    int screenNumber = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = screens.data->root;
}

XcbConnection::~XcbConnection()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

xcb_atom_t XcbConnection::atom(const char* name) const
{
    if (!m_connection)
        return XCB_ATOM_NONE;
    {
        std::lock_guard lock(m_atomsMutex);
        if (const auto it = m_atoms.constFind(QByteArray(name)); it != m_atoms.constEnd())
            return *it;
    }
    const auto cookie = xcb_intern_atom(m_connection, 1, uint16_t(std::strlen(name)), name);
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    if (!reply || reply->atom == XCB_ATOM_NONE)
        return XCB_ATOM_NONE; // not interned yet: may exist on a later call
    std::lock_guard lock(m_atomsMutex);
    m_atoms.insert(QByteArray(name), reply->atom);
    return reply->atom;
}

std::optional<QByteArray> XcbConnection::property(xcb_window_t window, xcb_atom_t property, int* format) const
{
    if (!m_connection || window == XCB_WINDOW_NONE || property == XCB_ATOM_NONE)
        return std::nullopt;
    const auto cookie =
        xcb_get_property(m_connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 4096);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, &error));
    std::free(error);
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    if (format)
        *format = reply->format;
    const int length = xcb_get_property_value_length(reply.get());
    return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
}

std::optional<quint32> XcbConnection::cardinal(xcb_window_t window, const char* name) const
{
    int format = 0;
    const auto data = property(window, atom(name), &format);
    if (!data || format != 32 || data->size() < 4)
        return std::nullopt;
    quint32 value = 0;
    std::memcpy(&value, data->constData(), sizeof value);
    return value;
}

std::optional<QString> XcbConnection::text(xcb_window_t window, const char* name) const
{
    int format = 0;
    const auto data = property(window, atom(name), &format);
    if (!data || format != 8)
        return std::nullopt;
    return QString::fromUtf8(*data);
}

bool XcbConnection::windowExists(xcb_window_t window) const
{
    if (!m_connection || window == XCB_WINDOW_NONE)
        return false;
    const auto cookie = xcb_get_window_attributes(m_connection, window);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_window_attributes_reply_t> reply(
        xcb_get_window_attributes_reply(m_connection, cookie, &error));
    std::free(error);
    return reply != nullptr;
}

} // namespace qw
