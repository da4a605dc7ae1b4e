#include "platform/linux/X11Workspace.h"

#include <unistd.h>

namespace tidyword::platform::linux_desktop {

std::unique_ptr<X11Workspace> X11Workspace::open() {
    auto connection = XcbConnection::open();
    if (!connection) {
        return nullptr;
    }
    return std::unique_ptr<X11Workspace>(new X11Workspace(std::move(connection)));
}

X11Workspace::X11Workspace(std::unique_ptr<XcbConnection> connection) : x_(std::move(connection)) {}

std::optional<xcb_window_t> X11Workspace::activeWindow() {
    return x_->activeWindow();
}

std::optional<RunningApplication> X11Workspace::frontmostApplication() {
    const auto window = activeWindow();
    if (!window) {
        return std::nullopt;
    }
    const auto pid = x_->processOf(*window);
    if (!pid) {
        return std::nullopt;
    }
    lastInFront_.insert(*pid, *window);
    return runningApplication(*pid);
}

std::optional<RunningApplication> X11Workspace::runningApplication(qint32 processIdentifier) {
    auto application = processApplication(processIdentifier);
    if (!application) {
        return std::nullopt;
    }
    // The class of its window is the name its desktop shows ("Mousepad"); the command name
    // stands in for a process without windows.
    for (const xcb_window_t window : x_->clientWindowsOf(processIdentifier)) {
        if (const auto wmClass = x_->property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
            // WM_CLASS holds the instance name and the class name, each ended by a NUL.
            const QList<QByteArray> names = wmClass->split('\0');
            if (names.size() >= 2 && !names[1].isEmpty()) {
                application->localizedName = QString::fromUtf8(names[1]);
                break;
            }
        }
    }
    return application;
}

bool X11Workspace::activate(qint32 processIdentifier) {
    const QList<xcb_window_t> windows = x_->clientWindowsOf(processIdentifier);
    if (windows.isEmpty()) {
        return false;
    }
    const xcb_window_t remembered = lastInFront_.value(processIdentifier, XCB_WINDOW_NONE);
    const xcb_window_t window = windows.contains(remembered) ? remembered : windows.front();
    xcb_client_message_event_t request{};
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = window;
    request.type = x_->atom("_NET_ACTIVE_WINDOW");
    request.data.data32[0] = 2;  // from a pager-like tool acting for the user
    request.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(x_->get(), 0, x_->root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&request));
    xcb_flush(x_->get());
    return true;
}

qint32 X11Workspace::currentProcessIdentifier() {
    return static_cast<qint32>(::getpid());
}

QList<ScreenRect> X11Workspace::screenFrames() {
    return qtScreenFrames();
}

}  // namespace tidyword::platform::linux_desktop
