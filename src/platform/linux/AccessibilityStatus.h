// The desktop's own switch for assistive technologies: org.a11y.Status IsEnabled on the
// accessibility bus launcher, read and set over the session bus within a time limit, and
// followed through the launcher's announcements of its changes.
#pragma once

#include "platform/linux/OwnedHandle.h"

#include <chrono>
#include <optional>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tag, declared here so that its
// headers stay out of ours
typedef struct _GDBusConnection GDBusConnection;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

// Whether the session bus has the launcher running, or can start it on demand.
bool accessibilityBusLauncherExists(std::chrono::milliseconds timeout);
// Whether the switch is on; none when the launcher cannot be asked in time.
std::optional<bool> accessibilityEnabled(std::chrono::milliseconds timeout);
// Turns the switch on; true when the launcher took the request.
bool enableAccessibility(std::chrono::milliseconds timeout);

// The switch as the launcher last announced it, so that a capture need not ask: known to be on
// from a reading or an announcement until the launcher announces it off or leaves the bus. Off
// is never remembered, so the switch turned on is seen at the next reading whether or not the
// announcement came. Announcements arrive through the main thread's GLib main context.
class AccessibilitySwitch {
public:
    AccessibilitySwitch();
    ~AccessibilitySwitch();
    AccessibilitySwitch(const AccessibilitySwitch&) = delete;
    AccessibilitySwitch& operator=(const AccessibilitySwitch&) = delete;

    // Whether the switch is on; none when it is not known on and the launcher cannot be asked
    // within `timeout`.
    std::optional<bool> enabled(std::chrono::milliseconds timeout);

private:
    OwnedObject<GDBusConnection> bus_;
    unsigned changes_ = 0;  // subscriptions, 0 for none
    unsigned owners_ = 0;
    bool knownOn_ = false;
};

}  // namespace tidyword::platform::linux_desktop
