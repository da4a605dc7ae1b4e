#include "platform/linux/PortalRequest.h"

#include <QTimer>
#include <qcoro/qcorotimer.h>

#include <gio/gio.h>
#include <gio/gunixfdlist.h>

#include <algorithm>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

gint milliseconds(std::chrono::milliseconds duration) {
    return static_cast<gint>(duration.count());
}

// One request and its Response. Held, the Response is subscribed on a main context of our own,
// which only this object dispatches: nothing else of Tidyword's runs inside it, and it runs
// nothing of anyone else's. Otherwise on the main loop's, where it arrives while the caller's
// event loop runs, and `onArrival` is told.
class PendingRequest {
public:
    enum class Waiting { held, onTheEventLoop };

    PendingRequest(GDBusConnection* bus, const char* interface, const char* method,
                   GVariant* parameters, const QByteArray& token, std::chrono::milliseconds wait,
                   Waiting waiting, std::function<void()> onArrival = {})
        : bus_(bus),
          context_(waiting == Waiting::held ? g_main_context_new() : nullptr),
          deadline_(Clock::now() + wait),
          onArrival_(std::move(onArrival)) {
        // The Request object's path is known before the call, so that its answer cannot be
        // missed.
        QByteArray sender = QByteArray(g_dbus_connection_get_unique_name(bus)).mid(1);
        sender.replace('.', '_');
        path_ = "/org/freedesktop/portal/desktop/request/" + sender + '/' + token;
        if (context_) {
            g_main_context_push_thread_default(context_);
        }
        subscription_ = g_dbus_connection_signal_subscribe(
            bus, kPortalService, "org.freedesktop.portal.Request", "Response", path_.constData(),
            nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &PendingRequest::answered, this, nullptr);
        if (context_) {
            g_main_context_pop_thread_default(context_);
        }
        // The portal hands out the request at once; only its answer may wait for the user.
        GError* error = nullptr;
        handle_.reset(g_dbus_connection_call_sync(
            bus, kPortalService, kPortalPath, interface, method, parameters, G_VARIANT_TYPE("(o)"),
            G_DBUS_CALL_FLAGS_NONE, milliseconds(std::min(wait, kHandleWait)), nullptr, &error));
        const OwnedError failure(error);
    }

    ~PendingRequest() {
        g_dbus_connection_signal_unsubscribe(bus_, subscription_);
        if (!answer_.arrived) {
            // A dialog left open would be answered later to nobody, and could grant what no
            // one then closes: it goes now, also where the portal handed the request out too
            // late for us (it has the path we named).
            const char* request = path_.constData();
            if (handle_) {
                g_variant_get(handle_.get(), "(&o)", &request);
            }
            portalCall(bus_, request, "org.freedesktop.portal.Request", "Close", nullptr,
                       kHandleWait);
        }
        if (context_) {
            // What the unsubscription leaves to run (its own clean-up) runs here, not elsewhere.
            while (g_main_context_iteration(context_, FALSE)) {
            }
            g_main_context_unref(context_);
        }
    }
    PendingRequest(const PendingRequest&) = delete;
    PendingRequest& operator=(const PendingRequest&) = delete;

    bool waiting() const { return handle_ && !answer_.arrived && Clock::now() < deadline_; }

    // Held: dispatches what has arrived, waiting up to 10 ms for something first.
    void dispatch() { dispatchWithin(context_, std::chrono::milliseconds(10)); }

    PortalAnswer take() { return std::move(answer_); }

private:
    static constexpr std::chrono::milliseconds kHandleWait{5000};

    static void answered(GDBusConnection* /*bus*/, const gchar* /*sender*/, const gchar* /*path*/,
                         const gchar* /*interface*/, const gchar* /*signal*/, GVariant* parameters,
                         gpointer data) {
        auto& request = *static_cast<PendingRequest*>(data);
        GVariant* results = nullptr;
        guint32 response = 2;
        g_variant_get(parameters, "(u@a{sv})", &response, &results);
        request.answer_.response = response;
        request.answer_.results.reset(results);
        request.answer_.arrived = true;
        if (request.onArrival_) {
            request.onArrival_();
        }
    }

    GDBusConnection* bus_;
    QByteArray path_;  // the request's, as the portal names it from our token
    GMainContext* context_;
    Clock::time_point deadline_;
    std::function<void()> onArrival_;
    guint subscription_ = 0;
    OwnedVariant handle_;
    PortalAnswer answer_;
};

}  // namespace

PortalAnswer portalRequest(GDBusConnection* bus, const char* interface, const char* method,
                           GVariant* parameters, const QByteArray& token,
                           std::chrono::milliseconds wait) {
    PendingRequest request(bus, interface, method, parameters, token, wait,
                           PendingRequest::Waiting::held);
    while (request.waiting()) {
        request.dispatch();
    }
    return request.take();
}

QCoro::Task<PortalAnswer> portalRequestWhileRunning(GDBusConnection* bus, const char* interface,
                                                    const char* method, GVariant* parameters,
                                                    QByteArray token,
                                                    std::chrono::milliseconds wait,
                                                    std::function<bool()> abandoned) {
    // The answer cuts the tick short; the tick looks at the clock and at `abandoned`.
    QTimer tick;
    tick.setSingleShot(true);
    PendingRequest request(bus, interface, method, parameters, token, wait,
                           PendingRequest::Waiting::onTheEventLoop, [&tick] { tick.start(0); });
    while (request.waiting() && !(abandoned && abandoned())) {
        if (!tick.isActive()) {
            tick.start(std::chrono::milliseconds(50));
        }
        co_await qCoro(tick).waitForTimeout();
    }
    co_return request.take();
}

void dispatchWithin(GMainContext* context, std::chrono::milliseconds wait) {
    GSource* tick = g_timeout_source_new(static_cast<guint>(wait.count()));
    g_source_set_callback(
        tick, [](gpointer) { return G_SOURCE_REMOVE; }, nullptr, nullptr);
    g_source_attach(tick, context);
    g_main_context_iteration(context, TRUE);
    g_source_destroy(tick);
    g_source_unref(tick);
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

int portalCallForDescriptor(GDBusConnection* bus, const char* interface, const char* method,
                            GVariant* parameters, std::chrono::milliseconds wait) {
    GUnixFDList* received = nullptr;
    const OwnedVariant reply(g_dbus_connection_call_with_unix_fd_list_sync(
        bus, kPortalService, kPortalPath, interface, method, parameters, G_VARIANT_TYPE("(h)"),
        G_DBUS_CALL_FLAGS_NONE, milliseconds(wait), nullptr, &received, nullptr, nullptr));
    const OwnedObject<GUnixFDList> descriptors(received);
    if (!reply || !descriptors) {
        return -1;
    }
    gint32 index = -1;
    g_variant_get(reply.get(), "(h)", &index);
    return index >= 0 && index < g_unix_fd_list_get_length(descriptors.get())
               ? g_unix_fd_list_get(descriptors.get(), index, nullptr)
               : -1;
}

std::optional<PortalConnection> connectToPortal(const char* interface,
                                                std::chrono::milliseconds wait) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    const OwnedError failure(error);
    if (!bus) {
        return std::nullopt;
    }
    const auto version = portalInterfaceVersion(bus, interface, wait);
    if (!version) {
        g_object_unref(bus);
        return std::nullopt;
    }
    return PortalConnection{bus, *version};
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
