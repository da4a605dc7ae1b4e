#include "platform/linux/WaylandWait.h"

#include <cerrno>
#include <poll.h>
#include <wayland-client.h>

namespace tidyword::platform::linux_desktop {

bool dispatchUntil(wl_display* display, const std::function<bool()>& done,
                   std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + wait;
    while (!done()) {
        if (wl_display_get_error(display) != 0) {
            return false;
        }
        if (wl_display_prepare_read(display) != 0) {
            if (wl_display_dispatch_pending(display) < 0) {
                return false;
            }
            continue;
        }
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if ((wl_display_flush(display) < 0 && errno != EAGAIN) || left <= 0) {
            wl_display_cancel_read(display);
            return false;
        }
        pollfd readable{wl_display_get_fd(display), POLLIN, 0};
        const int ready = ::poll(&readable, 1, static_cast<int>(left));
        if (ready <= 0) {
            wl_display_cancel_read(display);
            if (ready < 0 && errno == EINTR) {
                continue;
            }
            return false;
        }
        if (wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0) {
            return false;
        }
    }
    return true;
}

bool roundTrip(wl_display* display, std::chrono::milliseconds wait) {
    bool answered = false;
    static constexpr wl_callback_listener listener{
        [](void* flag, wl_callback* /*callback*/, uint32_t /*serial*/) {
            *static_cast<bool*>(flag) = true;
        }};
    wl_callback* sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &listener, &answered);
    const bool inTime = dispatchUntil(
        display, [&answered] { return answered; }, wait);
    wl_callback_destroy(sync);
    return inTime;
}

}  // namespace tidyword::platform::linux_desktop
