#include "platform/DesktopSpace.h"

namespace tidyword::platform {

namespace {

// A mirror about the primary screen's bottom edge, so it is its own inverse.
ScreenRect mirrored(const ScreenRect& rect, const ScreenRect& primary) {
    const double primaryBottom = primary.y + primary.height;
    return {rect.x, primaryBottom - (rect.y + rect.height), rect.width, rect.height};
}

}  // namespace

ScreenRect toDesktopSpace(const ScreenRect& rect, const ScreenRect& primary) {
    return mirrored(rect, primary);
}

ScreenRect toWindowSystemSpace(const ScreenRect& rect, const ScreenRect& primary) {
    return mirrored(rect, primary);
}

}  // namespace tidyword::platform
