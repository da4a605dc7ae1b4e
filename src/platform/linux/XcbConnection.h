// One connection of our own to the X server, with the small helpers the X11 backends share:
// interned atoms, property reads, and the client windows of a process. Replies are owned and
// freed by these helpers; a failed request reads as "absent".
#pragma once

#include "platform/linux/OwnedHandle.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <optional>

namespace tidyword::platform::linux_desktop {

class XcbConnection {
public:
    // None when there is no X server to talk to (no DISPLAY, or it refuses us).
    static std::unique_ptr<XcbConnection> open();
    XcbConnection(const XcbConnection&) = delete;
    XcbConnection& operator=(const XcbConnection&) = delete;

    xcb_connection_t* get() const { return connection_.get(); }
    xcb_window_t root() const { return root_; }

    xcb_atom_t atom(const char* name);
    // The raw value of a property (at most `maximumLength` 32-bit units), or none.
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type,
                                       std::uint32_t maximumLength = 1024);
    std::optional<std::uint32_t> cardinal(xcb_window_t window, const char* property);
    std::optional<xcb_window_t> windowProperty(xcb_window_t window, const char* property);
    QList<xcb_window_t> windowList(xcb_window_t window, const char* property);

    // The keycode whose unshifted symbol is `keysym` in the current keyboard mapping, or none.
    std::optional<xcb_keycode_t> keycodeOf(std::uint32_t keysym);

    // The process that owns a client window: the X server's own record of the client
    // (X-Resource), which needs no cooperation from the application, else _NET_WM_PID.
    std::optional<std::int32_t> processOf(xcb_window_t window);
    // The top-level client windows of `pid`, topmost first.
    QList<xcb_window_t> clientWindowsOf(std::int32_t pid);
    // The client window that holds `window` (itself, or the one of its ancestors that the
    // window manager lists), or none.
    std::optional<xcb_window_t> clientWindowOf(xcb_window_t window);
    // The client window that has the keyboard: the window manager's _NET_ACTIVE_WINDOW, or the
    // input focus where no window manager says; none.
    std::optional<xcb_window_t> activeWindow();

    // Waits for the answer to a request of no consequence: the server has handled every one
    // sent before it, and every event it sent before that answer has arrived.
    void roundTrip();

private:
    using Connection = Owned<xcb_connection_t, xcb_disconnect>;
    XcbConnection(Connection connection, xcb_window_t root);

    Connection connection_;
    xcb_window_t root_;
    QHash<QByteArray, xcb_atom_t> atoms_;
};

}  // namespace tidyword::platform::linux_desktop
