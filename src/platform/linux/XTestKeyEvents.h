// Synthetic copy and paste chords on X11 through the XTest extension: Control+C or
// Control+V, keycodes taken from the current keyboard mapping, posted only while the given
// process owns the active window (or, without a window manager that says, the input focus) and
// the keys would reach it: XTest delivers to the X input focus, which must be inside one of that
// process's windows, and to no one else while another client holds the keyboard grabbed (a
// menu, a screen locker, a drag).
//
// XTest merges with the physical keyboard, so a modifier the user still holds from the global
// shortcut would turn Control+V into Control+Alt+Shift+V. The post therefore waits (up to
// `modifierWait`) for every modifier to be released and for the keys to reach the process, and
// fails if they still would not; it never fakes a release of a key the user holds, which would
// leave it stuck.
#pragma once

#include "platform/KeyEvents.h"
#include "platform/linux/XcbConnection.h"

#include <chrono>
#include <functional>
#include <memory>

namespace tidyword::platform::linux_desktop {

class XTestKeyEvents final : public KeyEvents {
public:
    static constexpr std::chrono::milliseconds modifierWait{1000};
    static constexpr std::chrono::milliseconds pressGap{12};

    // None without an X server or without the XTest extension.
    static std::unique_ptr<XTestKeyEvents> open();

    QCoro::Task<Posted> post(Shortcut shortcut, qint32 processIdentifier,
                             std::function<bool()> lastCheck = {}) override;
    bool keysHeld() override { return modifiersHeld(); }

    // Whether any modifier key is down right now.
    bool modifiersHeld();
    // Whether keys posted now would reach the process and no other.
    bool keysWouldReach(qint32 processIdentifier);

private:
    explicit XTestKeyEvents(std::unique_ptr<XcbConnection> connection);

    std::optional<qint32> activeProcess();
    bool keyboardGrabbedByAnother();
    void fake(std::uint8_t type, xcb_keycode_t keycode);

    std::unique_ptr<XcbConnection> x_;
};

}  // namespace tidyword::platform::linux_desktop
