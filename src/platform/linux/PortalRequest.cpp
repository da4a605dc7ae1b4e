#include "platform/linux/PortalRequest.h"

#include <gio/gio.h>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

gint milliseconds(std::chrono::milliseconds duration) {
    return static_cast<gint>(duration.count());
}

void answered(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
              const gchar* /*interface*/, const gchar* /*signal*/, GVariant* parameters,
              gpointer data) {
    auto& answer = *static_cast<PortalAnswer*>(data);
    GVariant* results = nullptr;
    guint32 response = 2;
    g_variant_get(parameters, "(u@a{sv})", &response, &results);
    answer.response = response;
    answer.results.reset(results);
    answer.arrived = true;
}

}  // namespace

PortalAnswer portalRequest(GDBusConnection* bus, const char* interface, const char* method,
                           GVariant* parameters, const QByteArray& token,
                           std::chrono::milliseconds wait) {
    // The Request object's path is known before the call, so that its answer cannot be missed.
    QByteArray sender = QByteArray(g_dbus_connection_get_unique_name(bus)).mid(1);
    sender.replace('.', '_');
    const QByteArray path = "/org/freedesktop/portal/desktop/request/" + sender + '/' + token;
    PortalAnswer answer;
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    const guint subscription = g_dbus_connection_signal_subscribe(
        bus, kPortalService, "org.freedesktop.portal.Request", "Response", path.constData(),
        nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &answered, &answer, nullptr);
    GError* error = nullptr;
    const OwnedVariant handle(g_dbus_connection_call_sync(
        bus, kPortalService, kPortalPath, interface, method, parameters, G_VARIANT_TYPE("(o)"),
        G_DBUS_CALL_FLAGS_NONE, milliseconds(wait), nullptr, &error));
    const OwnedError failure(error);
    const Clock::time_point deadline = Clock::now() + wait;
    while (handle && !answer.arrived && Clock::now() < deadline) {
        // Wakes at least every 10 ms to look at the clock.
        GSource* tick = g_timeout_source_new(10);
        g_source_set_callback(
            tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
        g_source_attach(tick, context);
        g_main_context_iteration(context, TRUE);
        g_source_destroy(tick);
        g_source_unref(tick);
    }
    g_dbus_connection_signal_unsubscribe(bus, subscription);
    if (handle && !answer.arrived) {
        // A dialog left open would be answered later to nobody, and could grant what no one
        // then closes: it goes now.
        const char* request = nullptr;
        g_variant_get(handle.get(), "(&o)", &request);
        portalCall(bus, request, "org.freedesktop.portal.Request", "Close", nullptr, wait);
    }
    // What the unsubscription leaves to run (its own clean-up) runs here, not elsewhere.
    while (g_main_context_iteration(context, FALSE)) {
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return answer;
}

bool portalCall(GDBusConnection* bus, const char* path, const char* interface, const char* method,
                GVariant* parameters, std::chrono::milliseconds wait) {
    GError* error = nullptr;
    const OwnedVariant reply(g_dbus_connection_call_sync(
        bus, kPortalService, path, interface, method, parameters, nullptr, G_DBUS_CALL_FLAGS_NONE,
        milliseconds(wait), nullptr, &error));
    const OwnedError failure(error);
    return reply != nullptr;
}

std::optional<unsigned> portalInterfaceVersion(GDBusConnection* bus, const char* interface,
                                               std::chrono::milliseconds wait) {
    const OwnedVariant version(g_dbus_connection_call_sync(
        bus, kPortalService, kPortalPath, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", interface, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        milliseconds(wait), nullptr, nullptr));
    if (!version) {
        return std::nullopt;
    }
    GVariant* value = nullptr;
    g_variant_get(version.get(), "(v)", &value);
    const OwnedVariant number(value);
    return g_variant_is_of_type(number.get(), G_VARIANT_TYPE_UINT32)
               ? g_variant_get_uint32(number.get())
               : 1U;
}

}  // namespace tidyword::platform::linux_desktop
