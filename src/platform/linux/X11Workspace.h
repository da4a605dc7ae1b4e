// The workspace of an X11 desktop: the frontmost application is the process of the active
// window (the window manager's _NET_ACTIVE_WINDOW, or the input focus where no window manager
// says), applications are processes (their launch date is the process start time, which tells
// a new process on a reused pid apart), and activation asks the window manager to activate the
// window the application was last seen in front with (its topmost one when that is gone),
// without waiting for it: the caller watches frontmostApplication().
#pragma once

#include "platform/Workspace.h"
#include "platform/linux/ProcessesAndScreens.h"
#include "platform/linux/XcbConnection.h"

#include <QHash>

#include <memory>

namespace tidyword::platform::linux_desktop {

class X11Workspace final : public Workspace {
public:
    // None without an X server.
    static std::unique_ptr<X11Workspace> open();

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(qint32 processIdentifier) override;
    bool activate(qint32 processIdentifier) override;
    qint32 currentProcessIdentifier() override;
    QList<ScreenRect> screenFrames() override;

    // The client window that has the keyboard, or none.
    std::optional<xcb_window_t> activeWindow();

private:
    explicit X11Workspace(std::unique_ptr<XcbConnection> connection);

    std::unique_ptr<XcbConnection> x_;
    // Per process, the window it last had in front: the one a capture came from.
    QHash<qint32, xcb_window_t> lastInFront_;
};

}  // namespace tidyword::platform::linux_desktop
