#pragma once

#include "accessibility/adapters/ClipboardItem.h"

#include <atomic>
#include <thread>

namespace qw::test {

// Another program's clipboard, on its own X connection and thread: it takes the CLIPBOARD
// selection and serves `offers` by target name, or, when `answers` is false, holds the
// selection and never answers a request (a hung program).
class ForeignClipboardOwner {
public:
    ForeignClipboardOwner(ClipboardItem offers, bool answers);
    ~ForeignClipboardOwner();

    // Takes the selection; false when no X server can be reached or the selection was not taken.
    bool start();

private:
    void serve();

    ClipboardItem m_offers;
    bool m_answers;
    void* m_connection = nullptr; // xcb_connection_t
    unsigned m_window = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace qw::test
