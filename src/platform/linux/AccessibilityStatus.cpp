#include "platform/linux/AccessibilityStatus.h"

#include <gio/gio.h>

namespace tidyword::platform::linux_desktop {

namespace {

// A Properties call on the launcher's status object; its reply, or null.
GVariant* statusCall(const char* method, GVariant* parameters, const GVariantType* replyType,
                     GDBusCallFlags flags, std::chrono::milliseconds timeout) {
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (!bus) {
        g_variant_unref(g_variant_ref_sink(parameters));
        return nullptr;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        bus, "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", method, parameters,
        replyType, flags, static_cast<gint>(timeout.count()), nullptr, &error);
    g_object_unref(bus);
    if (error) {
        g_error_free(error);
    }
    return reply;
}

}  // namespace

std::optional<bool> accessibilityEnabled(std::chrono::milliseconds timeout) {
    // A desktop without a launcher has no switch to read: reading never starts one.
    GVariant* reply = statusCall("Get", g_variant_new("(ss)", "org.a11y.Status", "IsEnabled"),
                                 G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NO_AUTO_START, timeout);
    if (!reply) {
        return std::nullopt;
    }
    GVariant* boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    const bool enabled = boxed && g_variant_is_of_type(boxed, G_VARIANT_TYPE_BOOLEAN) &&
                         g_variant_get_boolean(boxed);
    if (boxed) {
        g_variant_unref(boxed);
    }
    g_variant_unref(reply);
    return enabled;
}

bool enableAccessibility(std::chrono::milliseconds timeout) {
    GVariant* reply = statusCall(
        "Set", g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, timeout);
    if (!reply) {
        return false;
    }
    g_variant_unref(reply);
    return true;
}

}  // namespace tidyword::platform::linux_desktop
