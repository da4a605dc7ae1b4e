// Which desktop Tidyword runs on, and which mechanism serves each of its three needs there: the
// system-wide shortcut, knowing the front application, and putting a replacement in place.
// Decided once at start from the probe answers alone, so that every rule is testable as data.
#pragma once

#include <QSet>
#include <QString>

#include <chrono>
#include <optional>

namespace tidyword::platform::linux_desktop {

// What the environment, the session bus and the compositor answered at start.
struct SessionProbe {
    // The environment; empty when unset.
    QString sessionType;     // XDG_SESSION_TYPE
    QString waylandDisplay;  // WAYLAND_DISPLAY
    QString currentDesktop;  // XDG_CURRENT_DESKTOP, a colon-separated list
    QString x11Display;      // DISPLAY
    // The names with an owner on the session bus.
    QSet<QString> busNames;
    // The interfaces the desktop portal's object offers (org.freedesktop.portal.GlobalShortcuts,
    // org.freedesktop.host.portal.Registry, …).
    QSet<QString> portalInterfaces;
    // The globals the compositor announced in one registry round trip; none when no compositor
    // answered.
    std::optional<QSet<QString>> waylandGlobals;
};

struct DesktopSession {
    enum class Desktop { none, x11, gnomeWayland, kdeWayland, otherWayland };
    enum class Shortcut {
        none,
        x11Grab,                // a passive grab on the X server
        kglobalaccel,           // KDE's global shortcut service over D-Bus
        globalShortcutsPortal,  // the desktop portal's GlobalShortcuts
        gnomeCustomShortcut,    // a GNOME custom keyboard shortcut running `tidyword --improve`
        userCommand,            // the user binds `tidyword --improve` in the desktop's settings
    };
    enum class FrontApplication {
        none,
        x11ActiveWindow,    // _NET_ACTIVE_WINDOW
        atspiActiveWindow,  // the application whose top-level accessible is ACTIVE
    };
    enum class Replacement {
        none,
        x11Paste,              // XTest keys, the X11 clipboard
        remoteDesktopPaste,    // the RemoteDesktop portal's keyboard, data-control's clipboard
        portalClipboardPaste,  // the RemoteDesktop portal's keyboard and its Clipboard, together
        virtualKeyboardPaste,  // a virtual keyboard and data-control, both compositor protocols
        directEdit,            // AT-SPI EditableText, the clipboard left alone
    };

    Desktop desktop = Desktop::none;
    Shortcut shortcut = Shortcut::none;
    FrontApplication frontApplication = FrontApplication::none;
    Replacement replacement = Replacement::none;

    bool isWayland() const {
        return desktop == Desktop::gnomeWayland || desktop == Desktop::kdeWayland ||
               desktop == Desktop::otherWayland;
    }

    static DesktopSession decide(const SessionProbe& probe);

    friend bool operator==(const DesktopSession&, const DesktopSession&) = default;
};

// Reads the probe answers from this process's environment, and where the session may be Wayland
// from the compositor (one registry round trip on a connection of its own), the session bus and
// the desktop portal. No step waits longer than `patience`.
SessionProbe probeSession(std::chrono::milliseconds patience = std::chrono::milliseconds(1000));

}  // namespace tidyword::platform::linux_desktop
