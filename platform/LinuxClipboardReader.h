#pragma once

#include "accessibility/adapters/ClipboardItem.h"

#include <chrono>
#include <mutex>
#include <optional>

struct xcb_connection_t;

namespace qw {

// Reads the X clipboard as another program offers it, on the calling thread through a
// connection of its own and within one bound for the whole read: a clipboard owner that never
// answers costs the caller at most the bound and never touches the main thread (Qt's own
// clipboard waits up to five seconds per type there).
//
// The item holds every type the owner lists, by its target name, with the data that came in
// time (large data arrives in increments, which are followed). The text targets X derives from
// one another (UTF8_STRING, STRING, TEXT) are folded into "text/plain" in UTF-8, the form Qt
// offers all of them from again when the item is written back.
class LinuxClipboardReader {
public:
    explicit LinuxClipboardReader(std::chrono::milliseconds bound);
    ~LinuxClipboardReader();
    LinuxClipboardReader(const LinuxClipboardReader&) = delete;
    LinuxClipboardReader& operator=(const LinuxClipboardReader&) = delete;

    // None when nobody owns the clipboard, the owner did not answer in time or no X server
    // can be reached.
    std::optional<ClipboardItem> read();

private:
    struct Session;
    bool connect();
    void disconnect();

    std::chrono::milliseconds m_bound;
    std::mutex m_mutex;
    xcb_connection_t* m_connection = nullptr;
    // X ids (xcb_window_t, xcb_atom_t) of the connection above.
    unsigned m_window = 0;
    unsigned m_clipboardAtom = 0;
    unsigned m_propertyAtom = 0;
    unsigned m_incrAtom = 0;
    unsigned m_targetsAtom = 0;
};

} // namespace qw
