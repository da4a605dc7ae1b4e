// The desktop's own switch for assistive technologies: org.a11y.Status IsEnabled on the
// accessibility bus launcher, read and set over the session bus within a time limit.
#pragma once

#include <chrono>
#include <optional>

namespace tidyword::platform::linux_desktop {

// Whether the switch is on; none when the launcher cannot be asked in time.
std::optional<bool> accessibilityEnabled(std::chrono::milliseconds timeout);
// Turns the switch on; true when the launcher took the request.
bool enableAccessibility(std::chrono::milliseconds timeout);

}  // namespace tidyword::platform::linux_desktop
