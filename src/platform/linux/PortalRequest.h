// Requests to the desktop portal (org.freedesktop.portal.Desktop) over GDBus: a request and the
// Response it ends with, or a plain call. An answer is dispatched on a main context of its own,
// so that nothing else of Tidyword's runs inside it, and waited for either with the caller held
// or with its event loop running; none past its deadline.
#pragma once

#include "platform/linux/OwnedHandle.h"

#include <QByteArray>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tags, declared here so that
// its header stays out of ours
typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GVariant GVariant;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

inline constexpr char kPortalService[] = "org.freedesktop.portal.Desktop";
inline constexpr char kPortalPath[] = "/org/freedesktop/portal/desktop";

// What became of one request: granted with its results, refused by the user, or neither (ended
// otherwise, or no answer in time).
struct PortalAnswer {
    bool arrived = false;
    unsigned response = 2;  // 0 granted, 1 refused, 2 ended otherwise
    OwnedVariant results;

    bool granted() const { return arrived && response == 0 && results; }
    bool refused() const { return arrived && response == 1; }
};

// Calls `method` of `interface` on the portal's object and waits for the Response of the
// request it starts, closing the request when none comes in time. `parameters` is floating,
// with `token` as the handle_token of its options.
PortalAnswer portalRequest(GDBusConnection* bus, const char* interface, const char* method,
                           GVariant* parameters, const QByteArray& token,
                           std::chrono::milliseconds wait);
// The same, with the caller's event loop running while the user answers a dialog; it stops
// waiting, unanswered, once `abandoned` holds.
QCoro::Task<PortalAnswer> portalRequestWhileRunning(GDBusConnection* bus, const char* interface,
                                                    const char* method, GVariant* parameters,
                                                    QByteArray token,
                                                    std::chrono::milliseconds wait,
                                                    std::function<bool()> abandoned = {});

// A method call on the portal's object at `path`; true when it answered in time. `parameters`
// is floating (or null for none).
bool portalCall(GDBusConnection* bus, const char* path, const char* interface, const char* method,
                GVariant* parameters, std::chrono::milliseconds wait);

// Dispatches one batch of what has arrived on `context`, which this thread owns, waiting up to
// `wait` for something first.
void dispatchWithin(GMainContext* context, std::chrono::milliseconds wait);

// The descriptor that `method` of `interface` on the portal's object answers with (its reply's one
// handle), or -1 when it does not answer so in time. `parameters` is floating.
int portalCallForDescriptor(GDBusConnection* bus, const char* interface, const char* method,
                            GVariant* parameters, std::chrono::milliseconds wait);

// The session bus, and the version the portal gives `interface` on it; none without a bus or
// without the interface. The caller holds a reference on the connection.
struct PortalConnection {
    GDBusConnection* bus;
    unsigned version;
};
std::optional<PortalConnection> connectToPortal(const char* interface,
                                                std::chrono::milliseconds wait);

// The version the portal gives its `interface`, or none when it does not offer it.
std::optional<unsigned> portalInterfaceVersion(GDBusConnection* bus, const char* interface,
                                               std::chrono::milliseconds wait);

}  // namespace tidyword::platform::linux_desktop
