#include "platform/linux/AccessibilityStatus.h"

#include "platform/linux/OwnedHandle.h"

#include <gio/gio.h>

#include <string_view>

namespace tidyword::platform::linux_desktop {

namespace {

// A call on the session bus, bounded by `timeout`; its reply, or null. Takes the `parameters` as
// g_variant_new makes them, floating (or null for none).
OwnedVariant busCall(const char* service, const char* path, const char* interface,
                     const char* method, GVariant* parameters, const GVariantType* replyType,
                     GDBusCallFlags flags, std::chrono::milliseconds timeout) {
    // Sunk here, so that they are let go of whether the call is made or not.
    const OwnedVariant arguments(parameters ? g_variant_ref_sink(parameters) : nullptr);
    const auto bus = adoptObject(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus) {
        return nullptr;
    }
    OwnedError error;
    return OwnedVariant(g_dbus_connection_call_sync(
        bus.get(), service, path, interface, method, arguments.get(), replyType, flags,
        static_cast<gint>(timeout.count()), nullptr, into(error)));
}

// A Properties call on the launcher's status object.
OwnedVariant statusCall(const char* method, GVariant* parameters, const GVariantType* replyType,
                        GDBusCallFlags flags, std::chrono::milliseconds timeout) {
    return busCall("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", method,
                   parameters, replyType, flags, timeout);
}

// A call on the bus itself.
OwnedVariant busDaemonCall(const char* method, GVariant* parameters, const GVariantType* replyType,
                           std::chrono::milliseconds timeout) {
    return busCall("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", method,
                   parameters, replyType, G_DBUS_CALL_FLAGS_NONE, timeout);
}

}  // namespace

bool accessibilityBusLauncherExists(std::chrono::milliseconds timeout) {
    // Running, or one the bus starts on the first call to it.
    gboolean running = FALSE;
    if (const auto owned = busDaemonCall("NameHasOwner", g_variant_new("(s)", "org.a11y.Bus"),
                                         G_VARIANT_TYPE("(b)"), timeout)) {
        g_variant_get(owned.get(), "(b)", &running);
    }
    if (running) {
        return true;
    }
    const auto startable =
        busDaemonCall("ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), timeout);
    if (!startable) {
        return false;
    }
    GVariantIter* names = nullptr;
    g_variant_get(startable.get(), "(as)", &names);
    const char* name = nullptr;
    bool found = false;
    while (g_variant_iter_loop(names, "&s", &name)) {
        found = found || std::string_view(name) == "org.a11y.Bus";
    }
    g_variant_iter_free(names);
    return found;
}

std::optional<bool> accessibilityEnabled(std::chrono::milliseconds timeout) {
    // A desktop without a launcher has no switch to read: reading never starts one.
    const OwnedVariant reply =
        statusCall("Get", g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"),
                   G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, timeout);
    if (!reply) {
        return std::nullopt;
    }
    GVariant* boxed = nullptr;
    g_variant_get(reply.get(), "(v)", &boxed);  // a reference of our own
    const OwnedVariant value(boxed);
    return value && g_variant_is_of_type(value.get(), G_VARIANT_TYPE_BOOLEAN) &&
           g_variant_get_boolean(value.get());
}

AccessibilitySwitch::AccessibilitySwitch()
    : bus_(adoptObject(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))) {
    if (!bus_) {
        return;
    }
    changes_ = g_dbus_connection_signal_subscribe(
        bus_.get(), "org.a11y.Bus", "org.freedesktop.DBus.Properties", "PropertiesChanged",
        "/org/a11y/bus", "org.a11y.Status", G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
           GVariant* parameters, gpointer self) {
            if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
                return;
            }
            GVariant* changed = nullptr;
            g_variant_get(parameters, "(s@a{sv}@as)", nullptr, &changed, nullptr);
            const OwnedVariant properties(changed);
            gboolean on = FALSE;
            if (g_variant_lookup(properties.get(), "IsEnabled", "b", &on)) {
                static_cast<AccessibilitySwitch*>(self)->knownOn_ = on;
            }
        },
        this, nullptr);
    // A launcher that leaves or is replaced took what it announced with it.
    owners_ = g_dbus_connection_signal_subscribe(
        bus_.get(), "org.freedesktop.DBus", "org.freedesktop.DBus", "NameOwnerChanged",
        "/org/freedesktop/DBus", "org.a11y.Bus", G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant*,
           gpointer self) { static_cast<AccessibilitySwitch*>(self)->knownOn_ = false; },
        this, nullptr);
}

AccessibilitySwitch::~AccessibilitySwitch() {
    for (const unsigned subscription : {changes_, owners_}) {
        if (subscription != 0) {
            g_dbus_connection_signal_unsubscribe(bus_.get(), subscription);
        }
    }
}

std::optional<bool> AccessibilitySwitch::enabled(std::chrono::milliseconds timeout) {
    if (knownOn_) {
        return true;
    }
    const std::optional<bool> read = accessibilityEnabled(timeout);
    // Without the announcements the reading could go stale: every call asks again.
    knownOn_ = read == true && changes_ != 0 && owners_ != 0;
    return read;
}

bool enableAccessibility(std::chrono::milliseconds timeout) {
    const OwnedVariant reply = statusCall(
        "Set", g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, timeout);
    return reply != nullptr;
}

}  // namespace tidyword::platform::linux_desktop
