// The session's desktop and its three mechanisms, decided from the probe answers of the desktops
// Tidyword meets.
#include "platform/linux/DesktopSession.h"

#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;
using Desktop = DesktopSession::Desktop;
using Shortcut = DesktopSession::Shortcut;
using Front = DesktopSession::FrontApplication;
using Replacement = DesktopSession::Replacement;

const QString kGlobalShortcuts = u"org.freedesktop.portal.GlobalShortcuts"_s;
const QString kRemoteDesktop = u"org.freedesktop.portal.RemoteDesktop"_s;
const QString kClipboard = u"org.freedesktop.portal.Clipboard"_s;
const QString kRegistry = u"org.freedesktop.host.portal.Registry"_s;
const QString kDataControl = u"zwlr_data_control_manager_v1"_s;
const QString kVirtualKeyboard = u"zwp_virtual_keyboard_manager_v1"_s;
const QSet<QString> kCompositor{u"wl_compositor"_s, u"wl_seat"_s};

struct SessionCase {
    const char* name;
    SessionProbe probe;
    DesktopSession expected;
};

SessionProbe wayland(const QString& desktop, QSet<QString> busNames, QSet<QString> portal,
                     const QSet<QString>& globals) {
    // XWayland runs beside every one of them.
    return {u"wayland"_s,      u"wayland-0"_s,       desktop, u":0"_s, std::move(busNames),
            std::move(portal), kCompositor + globals};
}

TEST(DesktopSessionTest, EachDesktopGetsItsMechanisms) {
    const DesktopSession x11{Desktop::x11, Shortcut::x11Grab, Front::x11ActiveWindow,
                             Replacement::x11Paste};
    const SessionCase cases[] = {
        {"X11", {u"x11"_s, {}, u"XFCE"_s, u":0"_s, {}, {}, std::nullopt}, x11},
        // A test's private X server, started from a terminal of a Wayland session.
        {"PrivateXServerInAWaylandLogin", {u"wayland"_s, {}, u"GNOME"_s, u":7"_s, {}, {}, {}}, x11},
        {"CompositorNestedInX11",
         {u"x11"_s, u"wayland-1"_s, {}, u":0"_s, {}, {}, kCompositor},
         x11},
        {"NoDisplayAtAll", {u"tty"_s, {}, {}, {}, {}, {}, std::nullopt}, {}},
        {"Plasma5",
         wayland(u"KDE"_s, {u"org.kde.kglobalaccel"_s, u"org.kde.KWin"_s},
                 {kGlobalShortcuts, kRemoteDesktop}, {kDataControl}),
         {Desktop::kdeWayland, Shortcut::kglobalaccel, Front::atspiActiveWindow,
          Replacement::remoteDesktopPaste}},
        {"PlasmaWithoutRemoteDesktopPortal",
         wayland(u"KDE"_s, {u"org.kde.kglobalaccel"_s}, {}, {kDataControl}),
         {Desktop::kdeWayland, Shortcut::kglobalaccel, Front::atspiActiveWindow,
          Replacement::directEdit}},
        {"Gnome43",
         wayland(u"ubuntu:GNOME"_s, {u"org.gnome.Shell"_s, u"org.gnome.SettingsDaemon.MediaKeys"_s},
                 {kRemoteDesktop}, {}),
         {Desktop::gnomeWayland, Shortcut::gnomeCustomShortcut, Front::atspiActiveWindow,
          Replacement::directEdit}},
        {"Gnome45",
         wayland(u"GNOME"_s, {u"org.gnome.Shell"_s, u"org.gnome.SettingsDaemon.MediaKeys"_s},
                 {kRemoteDesktop, kClipboard}, {}),
         {Desktop::gnomeWayland, Shortcut::gnomeCustomShortcut, Front::atspiActiveWindow,
          Replacement::portalClipboardPaste}},
        {"Gnome48",
         wayland(u"GNOME"_s, {u"org.gnome.Shell"_s, u"org.gnome.SettingsDaemon.MediaKeys"_s},
                 {kGlobalShortcuts, kRegistry, kRemoteDesktop, kClipboard}, {}),
         {Desktop::gnomeWayland, Shortcut::globalShortcutsPortal, Front::atspiActiveWindow,
          Replacement::portalClipboardPaste}},
        {"GnomeClipboardPortalWithoutRemoteDesktop",
         wayland(u"GNOME"_s, {u"org.gnome.Shell"_s}, {kClipboard}, {}),
         {Desktop::gnomeWayland, Shortcut::userCommand, Front::atspiActiveWindow,
          Replacement::directEdit}},
        {"GnomePortalThatCannotNameUs",
         wayland(u"GNOME"_s, {u"org.gnome.SettingsDaemon.MediaKeys"_s}, {kGlobalShortcuts}, {}),
         {Desktop::gnomeWayland, Shortcut::gnomeCustomShortcut, Front::atspiActiveWindow,
          Replacement::directEdit}},
        // A bare mutter, started outside a login: no settings daemon to run a custom shortcut.
        {"MutterWithoutShell",
         wayland({}, {u"org.gnome.Mutter.RemoteDesktop"_s}, {}, {}),
         {Desktop::gnomeWayland, Shortcut::userCommand, Front::atspiActiveWindow,
          Replacement::directEdit}},
        {"Sway",
         wayland(u"sway"_s, {}, {}, {kDataControl, kVirtualKeyboard}),
         {Desktop::otherWayland, Shortcut::userCommand, Front::atspiActiveWindow,
          Replacement::virtualKeyboardPaste}},
        {"OtherWithPortalsButNoDataControl",
         wayland(u"Hyprland"_s, {}, {kGlobalShortcuts, kRemoteDesktop}, {kVirtualKeyboard}),
         {Desktop::otherWayland, Shortcut::globalShortcutsPortal, Front::atspiActiveWindow,
          Replacement::directEdit}},
        // The session says Wayland, but its compositor did not answer in time.
        {"SilentCompositor",
         {u"wayland"_s, u"wayland-0"_s, u"KDE"_s, u":0"_s, {}, {}, std::nullopt},
         {Desktop::kdeWayland, Shortcut::userCommand, Front::atspiActiveWindow,
          Replacement::directEdit}},
    };
    for (const SessionCase& test : cases) {
        EXPECT_EQ(DesktopSession::decide(test.probe), test.expected) << test.name;
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
