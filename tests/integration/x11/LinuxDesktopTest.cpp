// The application's choice of backends on an X11 session, and its request for the
// accessibility permission.
#include "platform/linux/LinuxDesktop.h"
#include "support/EventLoop.h"

#include <QProcess>

#include <gio/gio.h>
#include <gtest/gtest.h>

namespace tidyword::platform::linux_desktop {
namespace {

using namespace Qt::Literals::StringLiterals;

void setAccessibilityEnabled(bool enabled) {
    ASSERT_EQ(QProcess::execute(u"dbus-send"_s,
                                {u"--session"_s, u"--print-reply"_s, u"--dest=org.a11y.Bus"_s,
                                 u"/org/a11y/bus"_s, u"org.freedesktop.DBus.Properties.Set"_s,
                                 u"string:org.a11y.Status"_s, u"string:IsEnabled"_s,
                                 enabled ? u"variant:boolean:true"_s : u"variant:boolean:false"_s}),
              0);
}

TEST(LinuxDesktopTest, AnX11SessionGetsTheRealBackends) {
    LinuxDesktop desktop;
    EXPECT_NE(dynamic_cast<AtspiAccessibility*>(&desktop.accessibility()), nullptr);
    EXPECT_NE(dynamic_cast<X11Workspace*>(&desktop.workspace()), nullptr);
    EXPECT_NE(dynamic_cast<XTestKeyEvents*>(&desktop.keys()), nullptr);
    EXPECT_NE(dynamic_cast<X11HotKeys*>(&desktop.hotKeys()), nullptr);
    EXPECT_NE(dynamic_cast<XcbClipboard*>(&desktop.pasteboard()), nullptr);
    // The private desktop's own X server: the paste route, no direct edits.
    EXPECT_EQ(desktop.session().desktop, DesktopSession::Desktop::x11);
    EXPECT_EQ(desktop.textEditing(), nullptr);
}

// Qt on an X server (here the private one, as XWayland would be) in a session that says it is
// GNOME on Wayland: none of the X11 backends, and replacements edit in place.
TEST(LinuxDesktopTest, AWaylandSessionTakesTheWaylandBranchThoughQtRunsOnX11) {
    const QByteArray names[] = {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "XDG_CURRENT_DESKTOP"};
    const QByteArray values[] = {"wayland", "wayland-absent", "GNOME"};
    std::optional<QByteArray> saved[3];
    for (int variable = 0; variable < 3; ++variable) {
        if (qEnvironmentVariableIsSet(names[variable])) {
            saved[variable] = qgetenv(names[variable]);
        }
        qputenv(names[variable], values[variable]);
    }
    LinuxDesktop desktop;
    for (int variable = 0; variable < 3; ++variable) {
        saved[variable] ? qputenv(names[variable], *saved[variable]) : qunsetenv(names[variable]);
    }
    EXPECT_EQ(desktop.session().desktop, DesktopSession::Desktop::gnomeWayland);
    EXPECT_NE(dynamic_cast<AtspiAccessibility*>(&desktop.accessibility()), nullptr);
    EXPECT_NE(dynamic_cast<AtspiWorkspace*>(&desktop.workspace()), nullptr);
    EXPECT_EQ(dynamic_cast<XTestKeyEvents*>(&desktop.keys()), nullptr);
    EXPECT_EQ(dynamic_cast<X11HotKeys*>(&desktop.hotKeys()), nullptr);
    EXPECT_EQ(dynamic_cast<XcbClipboard*>(&desktop.pasteboard()), nullptr);
    EXPECT_NE(dynamic_cast<AtspiTextEditing*>(desktop.textEditing()), nullptr);
    // A replacement can never write through a clipboard that cannot prove its writes; the
    // user's Copy, made with our window focused, still can.
    EXPECT_FALSE(desktop.pasteboard().setTransientString(u"rewrite"_s));
    EXPECT_EQ(desktop.pasteboard().itemTypes(), std::nullopt);
    EXPECT_TRUE(desktop.clipboardForCopy().setString(u"copied"_s));
}

// GNOME's own switch, as this process sees it (settings live in its memory here).
bool toolkitAccessibility() {
    GSettings* settings = g_settings_new("org.gnome.desktop.interface");
    const bool on = g_settings_get_boolean(settings, "toolkit-accessibility");
    g_object_unref(settings);
    return on;
}

TEST(LinuxDesktopTest, AskingForAccessibilityTurnsItOnOnlyWhenItIsOff) {
    LinuxDesktop desktop;
    for (const bool onBefore : {true, false}) {
        GSettings* settings = g_settings_new("org.gnome.desktop.interface");
        g_settings_set_boolean(settings, "toolkit-accessibility", FALSE);
        g_object_unref(settings);
        setAccessibilityEnabled(onBefore);
        // Turned off after it was known on, the switch is seen off once its announcement arrives.
        test::pollUntil([&] { return desktop.accessibility().isTrusted() == onBefore; });
        EXPECT_TRUE(desktop.requestAccessibility());
        EXPECT_TRUE(desktop.accessibility().isTrusted());
        // A desktop-wide switch the user did not need is left as it was.
        EXPECT_EQ(toolkitAccessibility(), !onBefore) << onBefore;
    }
}

}  // namespace
}  // namespace tidyword::platform::linux_desktop
