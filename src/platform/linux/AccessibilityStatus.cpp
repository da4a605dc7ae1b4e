#include "platform/linux/AccessibilityStatus.h"

#include "platform/linux/OwnedHandle.h"

#include <gio/gio.h>

namespace tidyword::platform::linux_desktop {

namespace {

// A Properties call on the launcher's status object; its reply, or null. Takes the
// `parameters` as g_variant_new makes them, floating.
OwnedVariant statusCall(const char* method, GVariant* parameters, const GVariantType* replyType,
                        GDBusCallFlags flags, std::chrono::milliseconds timeout) {
    // Sunk here, so that they are let go of whether the call is made or not.
    const OwnedVariant arguments(g_variant_ref_sink(parameters));
    const auto bus = adoptObject(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
    if (!bus) {
        return nullptr;
    }
    OwnedError error;
    return OwnedVariant(g_dbus_connection_call_sync(
        bus.get(), "org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", method,
        arguments.get(), replyType, flags, static_cast<gint>(timeout.count()), nullptr,
        into(error)));
}

}  // namespace

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

bool enableAccessibility(std::chrono::milliseconds timeout) {
    const OwnedVariant reply = statusCall(
        "Set", g_variant_new("(ssv)", "org.a11y.Status", "IsEnabled", g_variant_new_boolean(TRUE)),
        nullptr, G_DBUS_CALL_FLAGS_NONE, timeout);
    return reply != nullptr;
}

}  // namespace tidyword::platform::linux_desktop
