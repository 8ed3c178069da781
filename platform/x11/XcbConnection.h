#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <mutex>
#include <optional>
#include <xcb/xcb.h>

namespace qw {

// A private connection to the X server. xcb is thread-safe and reports errors as values, so
// the workspace and the pointer locator can ask from either thread without a lock and without
// any process-wide error handler.
class XcbConnection {
public:
    // Opens the display named by DISPLAY; check isConnected().
    XcbConnection();
    ~XcbConnection();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    bool isConnected() const { return m_connection != nullptr; }
    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    xcb_atom_t atom(const char* name) const;
    // The raw data of a window property of any type, or none when the window or property is
    // gone. `format` receives the item size in bits.
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, int* format = nullptr) const;
    std::optional<quint32> cardinal(xcb_window_t window, const char* property) const;
    std::optional<QString> text(xcb_window_t window, const char* property) const;
    bool windowExists(xcb_window_t window) const;

private:
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    // Atoms never change for the life of the server: each name costs one round trip once.
    mutable std::mutex m_atomsMutex;
    mutable QHash<QByteArray, xcb_atom_t> m_atoms;
};

} // namespace qw
