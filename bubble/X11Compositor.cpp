#include "bubble/X11Compositor.h"

#include <QByteArray>
#include <QGuiApplication>
#include <X11/Xlib.h>

namespace qw {

bool x11CompositorRunning()
{
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    Display* display = x11 ? x11->display() : nullptr;
    if (!display)
        return false;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    // only_if_exists: without the atom no client ever claimed the selection.
    const Atom selection = XInternAtom(display, name.constData(), True);
    return selection != None && XGetSelectionOwner(display, selection) != None;
}

} // namespace qw
