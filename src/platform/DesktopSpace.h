// The one conversion between the two ways of measuring the desktop. The window system and the
// accessibility service measure from the top left with y growing downwards; Tidyword places
// windows in the bottom-left space, where y grows upwards from the primary screen's bottom edge
// and x is the window system's own. Every rectangle that crosses between the two goes through
// here, so that a selection and the screens around it always agree, whatever the layout of the
// monitors (stacked, side by side, the primary below or left of another, negative origins).
#pragma once

#include "platform/Accessibility.h"

namespace tidyword::platform {

// `rect` and `primary` (the primary screen's frame) in the window system's space; the result in
// the bottom-left space.
ScreenRect toDesktopSpace(const ScreenRect& rect, const ScreenRect& primary);

// The inverse: `rect` in the bottom-left space, `primary` and the result in the window system's.
ScreenRect toWindowSystemSpace(const ScreenRect& rect, const ScreenRect& primary);

}  // namespace tidyword::platform
