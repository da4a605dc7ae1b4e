// The desktop backends the application runs on, chosen once at start from the probed session
// (DesktopSession.h): on an X11 session the real ones (AT-SPI2 accessibility, the X11 workspace,
// XTest key events, the X11 clipboard and hot key). On a Wayland session, even with Qt on
// XWayland, none of the X11 ones (they would see only XWayland's windows): AT-SPI2 accessibility,
// the workspace of the accessibility bus, a paste through the RemoteDesktop portal's keys and
// data control's clipboard, or the portal's own, where the session has both, else direct edits, and
// the shortcut through KDE's global shortcut service where the session has it, else through the
// GlobalShortcuts portal where it binds one, else as a command the desktop runs (GNOME's custom
// shortcut, or one the user binds). Wherever one cannot start,
// the refusing stand-in (and Qt's clipboard), so the user reads the usual message instead of a
// failure.
#pragma once

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiTextEditing.h"
#include "platform/linux/AtspiWorkspace.h"
#include "platform/linux/CommandHotKeys.h"
#include "platform/linux/DataControlClipboard.h"
#include "platform/linux/DesktopSession.h"
#include "platform/linux/FallbackHotKeys.h"
#include "platform/linux/KGlobalAccelHotKeys.h"
#include "platform/linux/PortalClipboard.h"
#include "platform/linux/PortalHotKeys.h"
#include "platform/linux/PortalKeyEvents.h"
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
    // Call with the application object in place. Where the desktop's portal can remember the
    // user's consent to the paste keys, it is kept in `secrets`.
    explicit LinuxDesktop(SecretStore* secrets = nullptr);

    Accessibility& accessibility() {
        return atspi_ ? static_cast<Accessibility&>(*atspi_) : unavailable_;
    }
    Workspace& workspace() {
        return workspace_ ? static_cast<Workspace&>(*workspace_) : unavailable_;
    }
    KeyEvents& keys() { return keys_ ? static_cast<KeyEvents&>(*keys_) : unavailable_; }
    HotKeys& hotKeys() {
        return hotKeys_          ? static_cast<HotKeys&>(*hotKeys_)
               : commandHotKeys_ ? static_cast<HotKeys&>(*commandHotKeys_)
                                 : unavailable_;
    }
    // Where the desktop runs `tidyword --improve` for the shortcut, else none.
    CommandHotKeys* commandHotKeys() { return commandHotKeys_.get(); }
    // Whether the command holds the chord now: a portal that bound it may hold it instead.
    bool shortcutThroughCommand() const {
        return commandHotKeys_ && (!portalFirst_ || portalFirst_->fellBack());
    }
    // The clipboard a replacement saves, writes and restores while the source is in front. On
    // Wayland it is data control's where the session pastes; elsewhere there the refusing
    // stand-in, as Qt's clipboard reports success for writes the compositor drops when Tidyword
    // has no focused window: no paste of the wrong text.
    Pasteboard& pasteboard() {
        if (x11Clipboard_) {
            return *x11Clipboard_;
        }
        if (waylandClipboard_) {
            return *waylandClipboard_;
        }
        if (portalClipboard_) {
            return *portalClipboard_;
        }
        return session_.isWayland() ? static_cast<Pasteboard&>(unavailable_) : qtClipboard_;
    }
    // The clipboard the user's Copy writes, with a Tidyword window focused: the compositor
    // accepts Qt's writes then. Where data control serves the replacements, Copy goes through it
    // too: contents of Qt's would be read by data control as another owner's, and this thread,
    // busy reading, could not serve them.
    Pasteboard& clipboardForCopy() {
        if (x11Clipboard_) {
            return *x11Clipboard_;
        }
        return waylandClipboard_ ? static_cast<Pasteboard&>(*waylandClipboard_) : qtClipboard_;
    }
    // For the text bridge: direct edits where the session has no paste route (or its portal
    // keys or data control cannot start), else none.
    TextEditing* textEditing() { return textEditing_.get(); }
    const DesktopSession& session() const { return session_; }

    // Asks the desktop to turn accessibility on (org.a11y.Status IsEnabled, and GNOME's
    // toolkit-accessibility setting where it exists) unless it is on already, then opens the
    // desktop's accessibility settings where it has a page we know; true when it is on.
    bool requestAccessibility();

private:
    static void openAccessibilitySettings();

    DesktopSession session_;
    UnavailableDesktop unavailable_;
    QtClipboard qtClipboard_;
    std::unique_ptr<XcbClipboard> x11Clipboard_;
    std::unique_ptr<DataControlClipboard> waylandClipboard_;
    std::unique_ptr<PortalClipboard> portalClipboard_;  // lent to keys_, which go first
    std::unique_ptr<AtspiAccessibility> atspi_;
    std::unique_ptr<Workspace> workspace_;
    std::unique_ptr<CommandHotKeys> commandHotKeys_;
    std::unique_ptr<HotKeys> hotKeys_;        // may fall back to commandHotKeys_
    FallbackHotKeys* portalFirst_ = nullptr;  // in hotKeys_, where the portal goes first
    std::unique_ptr<KeyEvents> keys_;
    std::unique_ptr<AtspiTextEditing> textEditing_;
};

}  // namespace tidyword::platform::linux_desktop
