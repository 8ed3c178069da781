#include "platform/x11/X11PointerLocator.h"

#include <cstdlib>

namespace qw {

std::optional<QPointF> X11PointerLocator::pointerLocation() const
{
    if (!m_x.isConnected())
        return std::nullopt;
    const auto cookie = xcb_query_pointer(m_x.get(), m_x.root());
    xcb_generic_error_t* error = nullptr;
    xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(m_x.get(), cookie, &error);
    std::free(error);
    if (!reply)
        return std::nullopt;
    const QPointF location(reply->root_x, reply->root_y);
    std::free(reply);
    return location;
}

} // namespace qw
