// The workspace of a Wayland session, where no client can see another's windows, or raise one:
// the accessibility bus tells which application is in front, and activation can only step aside.
//
// The frontmost application is Tidyword itself while one of its windows has the keyboard (Qt
// knows; Tidyword's own accessibility tree cannot answer a request made from the thread that
// serves it), else the one application on the AT-SPI desktop whose top-level accessible has
// the ACTIVE state, read live: the toolkit sets that state when the compositor activates the
// window and clears it when it deactivates it, on mutter and KWin alike, and a live read cannot
// go stale the way a followed event can (an application that is killed says nothing). Several
// applications in that state mean none: Electron's windows keep it in the background. The
// whole read has one deadline (AtspiDeadline.h), and reads as none when it runs out: one
// application that does not answer hides which one is in front.
//
// Applications are processes (ProcessesAndScreens.h), named as their toolkit names them on the
// accessibility bus where they are in front. Activation hides Tidyword's own visible windows,
// which gives the keyboard back to the window the compositor had it from, and never raises
// anything: the caller watches frontmostApplication() to see whether that is the application it
// wanted.
#pragma once

#include "platform/Workspace.h"
#include "platform/linux/AtspiAccessibility.h"

#include <chrono>
#include <memory>

namespace tidyword::platform::linux_desktop {

class AtspiWorkspace final : public Workspace {
public:
    // The deadline of the search for the frontmost application.
    static constexpr std::chrono::milliseconds deadline = AtspiAccessibility::defaultTimeout;
    // The most applications, and windows of one application, that the search looks at.
    static constexpr int applicationLimit = 256;
    static constexpr int windowLimit = 64;

    // None when the accessibility library cannot start (no session bus).
    static std::unique_ptr<AtspiWorkspace> open();

    std::optional<RunningApplication> frontmostApplication() override;
    std::optional<RunningApplication> runningApplication(qint32 processIdentifier) override;
    // True when Tidyword's windows were asked to hide for another running process.
    bool activate(qint32 processIdentifier) override;
    qint32 currentProcessIdentifier() override;
    QList<ScreenRect> screenFrames() override;

private:
    AtspiWorkspace() = default;
};

}  // namespace tidyword::platform::linux_desktop
