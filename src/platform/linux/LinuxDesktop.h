// The desktop backends the application runs on, chosen once at start: on an X11 session the
// real ones (AT-SPI2 accessibility, the X11 workspace, XTest key events, the X11 clipboard and
// hot key); wherever one cannot start, the refusing stand-in (and Qt's clipboard), so the user
// reads the usual message instead of a failure.
#pragma once

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/QtClipboard.h"
#include "platform/linux/UnavailableDesktop.h"
#include "platform/linux/X11HotKeys.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbClipboard.h"

#include <memory>

namespace tidyword::platform::linux_desktop {

class LinuxDesktop {
public:
    // Call with the application object in place.
    LinuxDesktop();

    Accessibility& accessibility() {
        return atspi_ ? static_cast<Accessibility&>(*atspi_) : unavailable_;
    }
    Workspace& workspace() {
        return workspace_ ? static_cast<Workspace&>(*workspace_) : unavailable_;
    }
    KeyEvents& keys() { return keys_ ? static_cast<KeyEvents&>(*keys_) : unavailable_; }
    HotKeys& hotKeys() { return hotKeys_ ? static_cast<HotKeys&>(*hotKeys_) : unavailable_; }
    Pasteboard& pasteboard() {
        return x11Clipboard_ ? static_cast<Pasteboard&>(*x11Clipboard_) : qtClipboard_;
    }

    // Asks the desktop to turn accessibility on (org.a11y.Status IsEnabled, and GNOME's
    // toolkit-accessibility setting where it exists) unless it is on already, then opens the
    // desktop's accessibility settings where it has a page we know; true when it is on.
    bool requestAccessibility();

private:
    static void openAccessibilitySettings();

    UnavailableDesktop unavailable_;
    QtClipboard qtClipboard_;
    std::unique_ptr<XcbClipboard> x11Clipboard_;
    std::unique_ptr<AtspiAccessibility> atspi_;
    std::unique_ptr<X11Workspace> workspace_;
    std::unique_ptr<XTestKeyEvents> keys_;
    std::unique_ptr<X11HotKeys> hotKeys_;
};

}  // namespace tidyword::platform::linux_desktop
