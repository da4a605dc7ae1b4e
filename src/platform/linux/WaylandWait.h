// Bounded waits on a Wayland connection of Tidyword's own: events are read and dispatched until
// a condition holds or the time is up. wl_display_roundtrip would wait forever on a compositor
// that hangs.
#pragma once

#include <chrono>
#include <functional>

struct wl_display;

namespace tidyword::platform::linux_desktop {

// Dispatches `display`'s events until `done` holds; false when `wait` ran out first or the
// connection failed.
bool dispatchUntil(wl_display* display, const std::function<bool()>& done,
                   std::chrono::milliseconds wait);

// Whether the compositor answered a sync request within `wait`: everything it sent before the
// answer has been dispatched.
bool roundTrip(wl_display* display, std::chrono::milliseconds wait);

}  // namespace tidyword::platform::linux_desktop
