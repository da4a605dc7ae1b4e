// The probe answers from the real session: the environment, the compositor, the session bus.
#include "platform/linux/DesktopSession.h"
#include "platform/linux/OwnedHandle.h"
#include "platform/linux/WaylandWait.h"

#include <gio/gio.h>

#include <wayland-client.h>

namespace tidyword::platform::linux_desktop {

namespace {

void announced(void* globals, wl_registry* /*registry*/, uint32_t /*name*/, const char* interface,
               uint32_t /*version*/) {
    static_cast<QSet<QString>*>(globals)->insert(QString::fromUtf8(interface));
}

void withdrawn(void* /*globals*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener registryListener{&announced, &withdrawn};

// The globals of one registry round trip on a connection of our own, or none when the
// compositor cannot be reached or does not answer in time (wl_display_roundtrip would wait
// forever on one that hangs).
std::optional<QSet<QString>> registryGlobals(const QString& display,
                                             std::chrono::milliseconds patience) {
    wl_display* connection = wl_display_connect(display.toLocal8Bit().constData());
    if (!connection) {
        return std::nullopt;
    }
    QSet<QString> globals;
    wl_registry* registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &registryListener, &globals);
    const bool answered = roundTrip(connection, patience);
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    return answered ? std::optional(globals) : std::nullopt;
}

OwnedVariant call(GDBusConnection* bus, const char* destination, const char* path,
                  const char* interface, const char* method, const GVariantType* replyType,
                  std::chrono::milliseconds patience) {
    OwnedError error;
    return OwnedVariant(g_dbus_connection_call_sync(
        bus, destination, path, interface, method, nullptr, replyType, G_DBUS_CALL_FLAGS_NONE,
        static_cast<gint>(patience.count()), nullptr, into(error)));
}

QSet<QString> busNames(GDBusConnection* bus, std::chrono::milliseconds patience) {
    QSet<QString> names;
    const OwnedVariant reply =
        call(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
             "ListNames", G_VARIANT_TYPE("(as)"), patience);
    if (!reply) {
        return names;
    }
    GVariantIter* iterating = nullptr;
    g_variant_get(reply.get(), "(as)", &iterating);  // a new iterator, ours to free
    const Owned<GVariantIter, g_variant_iter_free> iterator(iterating);
    const gchar* name = nullptr;
    while (g_variant_iter_loop(iterator.get(), "&s", &name)) {
        names.insert(QString::fromUtf8(name));
    }
    return names;
}

// The portal is started on demand when it is not running yet, as any portal client starts it.
QSet<QString> portalInterfaces(GDBusConnection* bus, std::chrono::milliseconds patience) {
    QSet<QString> interfaces;
    const OwnedVariant reply =
        call(bus, "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
             "org.freedesktop.DBus.Introspectable", "Introspect", G_VARIANT_TYPE("(s)"), patience);
    if (!reply) {
        return interfaces;
    }
    const gchar* xml = nullptr;
    g_variant_get(reply.get(), "(&s)", &xml);
    OwnedError error;
    const Owned<GDBusNodeInfo, g_dbus_node_info_unref> node(
        g_dbus_node_info_new_for_xml(xml, into(error)));
    for (GDBusInterfaceInfo** interface = node ? node->interfaces : nullptr;
         interface && *interface; ++interface) {
        interfaces.insert(QString::fromUtf8((*interface)->name));
    }
    return interfaces;
}

}  // namespace

SessionProbe probeSession(std::chrono::milliseconds patience) {
    SessionProbe probe;
    probe.sessionType = qEnvironmentVariable("XDG_SESSION_TYPE");
    probe.waylandDisplay = qEnvironmentVariable("WAYLAND_DISPLAY");
    probe.currentDesktop = qEnvironmentVariable("XDG_CURRENT_DESKTOP");
    probe.x11Display = qEnvironmentVariable("DISPLAY");
    if (probe.waylandDisplay.isEmpty()) {
        // No compositor to ask, and an X11 session's choices rest on the environment alone: its
        // start does not wait on the bus, nor start a portal it has no use for.
        return probe;
    }
    probe.waylandGlobals = registryGlobals(probe.waylandDisplay, patience);
    if (const auto bus = adoptObject(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr))) {
        probe.busNames = busNames(bus.get(), patience);
        probe.portalInterfaces = portalInterfaces(bus.get(), patience);
    }
    return probe;
}

}  // namespace tidyword::platform::linux_desktop
