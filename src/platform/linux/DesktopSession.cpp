#include "platform/linux/DesktopSession.h"

#include <QStringList>

namespace tidyword::platform::linux_desktop {

namespace {

using namespace Qt::Literals::StringLiterals;
using Desktop = DesktopSession::Desktop;
using Shortcut = DesktopSession::Shortcut;
using Replacement = DesktopSession::Replacement;

bool isWaylandSession(const SessionProbe& probe) {
    // A compositor nested in an X11 session is a program of that session, not its display.
    if (probe.sessionType == u"x11" && !probe.x11Display.isEmpty()) {
        return false;
    }
    // XWayland's DISPLAY does not make a Wayland session an X11 one: its windows are only the
    // few that run on it. A session that says Wayland stays Wayland though its compositor did not
    // answer in time; without WAYLAND_DISPLAY it is one we were pointed away from (a nested X
    // server, a test's private desktop).
    return probe.waylandGlobals.has_value() ||
           (probe.sessionType == u"wayland" && !probe.waylandDisplay.isEmpty());
}

Desktop waylandDesktop(const SessionProbe& probe) {
    const QStringList names = probe.currentDesktop.split(u':', Qt::SkipEmptyParts);
    if (names.contains(u"KDE"_s, Qt::CaseInsensitive)) {
        return Desktop::kdeWayland;
    }
    if (names.contains(u"GNOME"_s, Qt::CaseInsensitive)) {
        return Desktop::gnomeWayland;
    }
    if (!names.isEmpty()) {
        return Desktop::otherWayland;
    }
    // Started outside the login session's environment: the compositor's own services tell.
    if (probe.busNames.contains(u"org.kde.KWin"_s) ||
        probe.busNames.contains(u"org.kde.kglobalaccel"_s)) {
        return Desktop::kdeWayland;
    }
    if (probe.busNames.contains(u"org.gnome.Shell"_s) ||
        probe.busNames.contains(u"org.gnome.Mutter.RemoteDesktop"_s)) {
        return Desktop::gnomeWayland;
    }
    return Desktop::otherWayland;
}

Shortcut waylandShortcut(Desktop desktop, const SessionProbe& probe) {
    const bool portal =
        probe.portalInterfaces.contains(u"org.freedesktop.portal.GlobalShortcuts"_s);
    switch (desktop) {
        case Desktop::kdeWayland:
            // Plasma 5.27's portal binds nothing and opens System Settings instead; its own
            // service binds at once and reports conflicts.
            if (probe.busNames.contains(u"org.kde.kglobalaccel"_s)) {
                return Shortcut::kglobalaccel;
            }
            return portal ? Shortcut::globalShortcutsPortal : Shortcut::userCommand;
        case Desktop::gnomeWayland:
            // GNOME's portal knows a host application only by the id it registers first, which
            // needs the portal's Registry.
            if (portal &&
                probe.portalInterfaces.contains(u"org.freedesktop.host.portal.Registry"_s)) {
                return Shortcut::globalShortcutsPortal;
            }
            return probe.busNames.contains(u"org.gnome.SettingsDaemon.MediaKeys"_s)
                       ? Shortcut::gnomeCustomShortcut
                       : Shortcut::userCommand;
        default:
            return portal ? Shortcut::globalShortcutsPortal : Shortcut::userCommand;
    }
}

Replacement waylandReplacement(Desktop desktop, const SessionProbe& probe) {
    // A paste needs a clipboard that proves its writes (data-control), and keys that reach the
    // source; without both, the field is edited in place.
    const QSet<QString> globals = probe.waylandGlobals.value_or(QSet<QString>());
    const bool dataControl = globals.contains(u"zwlr_data_control_manager_v1"_s);
    const bool remoteDesktop =
        probe.portalInterfaces.contains(u"org.freedesktop.portal.RemoteDesktop"_s);
    // The portal lends its Clipboard to the keys' session (GNOME 45 on), with a consent that is
    // remembered from then on.
    const bool portalClipboard =
        remoteDesktop && probe.portalInterfaces.contains(u"org.freedesktop.portal.Clipboard"_s);
    switch (desktop) {
        case Desktop::gnomeWayland:
            // Mutter offers no data-control, and before GNOME 45 its portal has no clipboard and
            // asks again each time: editing in place asks nothing and leaves the clipboard alone.
            return portalClipboard ? Replacement::portalClipboardPaste : Replacement::directEdit;
        case Desktop::kdeWayland:
            return dataControl && remoteDesktop ? Replacement::remoteDesktopPaste
                                                : Replacement::directEdit;
        default:
            if (dataControl && globals.contains(u"zwp_virtual_keyboard_manager_v1"_s)) {
                return Replacement::virtualKeyboardPaste;
            }
            return dataControl && remoteDesktop ? Replacement::remoteDesktopPaste
                                                : Replacement::directEdit;
    }
}

}  // namespace

DesktopSession DesktopSession::decide(const SessionProbe& probe) {
    if (isWaylandSession(probe)) {
        const Desktop desktop = waylandDesktop(probe);
        return {desktop, waylandShortcut(desktop, probe), FrontApplication::atspiActiveWindow,
                waylandReplacement(desktop, probe)};
    }
    if (!probe.x11Display.isEmpty()) {
        return {Desktop::x11, Shortcut::x11Grab, FrontApplication::x11ActiveWindow,
                Replacement::x11Paste};
    }
    return {};
}

}  // namespace tidyword::platform::linux_desktop
