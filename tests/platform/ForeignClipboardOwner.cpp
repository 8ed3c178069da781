#include "tests/platform/ForeignClipboardOwner.h"

#include <cstdlib>
#include <poll.h>
#include <vector>
#include <xcb/xcb.h>

namespace qw::test {

namespace {

xcb_atom_t intern(xcb_connection_t* c, const QByteArray& name)
{
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

ForeignClipboardOwner::ForeignClipboardOwner(ClipboardItem offers, bool answers)
    : m_offers(std::move(offers)), m_answers(answers)
{
}

ForeignClipboardOwner::~ForeignClipboardOwner()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
    if (m_connection)
        xcb_disconnect(static_cast<xcb_connection_t*>(m_connection));
}

bool ForeignClipboardOwner::start()
{
    int screenNumber = 0;
    auto* c = xcb_connect(nullptr, &screenNumber);
    m_connection = c;
    if (xcb_connection_has_error(c))
        return false;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    m_window = xcb_generate_id(c);
    xcb_create_window(c, XCB_COPY_FROM_PARENT, m_window, screens.data->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t clipboard = intern(c, "CLIPBOARD");
    xcb_set_selection_owner(c, m_window, clipboard, XCB_CURRENT_TIME);
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, clipboard), nullptr);
    const bool owned = owner && owner->owner == m_window;
    std::free(owner);
    if (owned)
        m_thread = std::thread([this] { serve(); });
    return owned;
}

void ForeignClipboardOwner::serve()
{
    auto* c = static_cast<xcb_connection_t*>(m_connection);
    const xcb_atom_t targets = intern(c, "TARGETS");
    std::vector<std::pair<xcb_atom_t, QByteArray>> offers;
    for (const ClipboardRepresentation& offer : m_offers.representations)
        offers.emplace_back(intern(c, offer.type.toLatin1()), offer.data);
    while (!m_stop) {
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, 20);
        while (xcb_generic_event_t* event = m_answers ? xcb_poll_for_event(c) : nullptr) {
            if ((event->response_type & 0x7f) == XCB_SELECTION_REQUEST) {
                const auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
                const xcb_atom_t property = request->property ? request->property : request->target;
                xcb_atom_t answered = XCB_ATOM_NONE;
                if (request->target == targets) {
                    std::vector<xcb_atom_t> list{targets};
                    for (const auto& offer : offers)
                        list.push_back(offer.first);
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, XCB_ATOM_ATOM,
                                        32, uint32_t(list.size()), list.data());
                    answered = property;
                }
                for (const auto& [atom, data] : offers) {
                    if (atom == request->target) {
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, property, atom, 8,
                                            uint32_t(data.size()), data.constData());
                        answered = property;
                    }
                }
                xcb_selection_notify_event_t notify{};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.time = request->time;
                notify.requestor = request->requestor;
                notify.selection = request->selection;
                notify.target = request->target;
                notify.property = answered;
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char*>(&notify));
                xcb_flush(c);
            }
            std::free(event);
        }
    }
}

} // namespace qw::test
