#include "platform/linux/AtspiDeadline.h"

#include "platform/linux/OwnedHandle.h"

#include <atspi/atspi.h>

#include <limits>
#include <string>
#include <unordered_map>
#include <utility>

namespace tidyword::platform::linux_desktop {

namespace {

using Clock = std::chrono::steady_clock;

// The deadline of the seam call under way.
std::optional<Clock::time_point> callDeadline;

using Message = Owned<DBusMessage, dbus_message_unref>;

// One method call on `bus`, waiting no longer than the call has left; the reply, or none.
Message ask(DBusConnection* bus, Message request) {
    const auto left = timeLeft();
    if (!request || !bus || !left) {
        return nullptr;
    }
    return Message(dbus_connection_send_with_reply_and_block(bus, request.get(), *left, nullptr));
}

const AtspiObject* objectOf(AtspiAccessible* accessible) {
    return reinterpret_cast<const AtspiObject*>(accessible);
}

}  // namespace

CallDeadline::CallDeadline(std::chrono::milliseconds allowance) : allowance_(allowance) {
    callDeadline = Clock::now() + allowance;
}

CallDeadline::~CallDeadline() {
    callDeadline.reset();
    // libatspi makes requests of its own between our calls too, as it takes in events.
    atspi_set_timeout(static_cast<gint>(allowance_.count()), static_cast<gint>(allowance_.count()));
}

bool CallDeadline::passed() const {
    return callDeadline && Clock::now() >= *callDeadline;
}

std::optional<int> timeLeft() {
    if (!callDeadline) {
        return std::nullopt;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*callDeadline - Clock::now());
    if (left.count() <= 0) {
        return std::nullopt;
    }
    // Also the time-out for an application that has only just started.
    const auto milliseconds = static_cast<gint>(left.count());
    atspi_set_timeout(milliseconds, milliseconds);
    return milliseconds;
}

bool outOfTime() {
    return !timeLeft();
}

std::optional<StateSet> statesOf(AtspiAccessible* accessible) {
    const AtspiObject* object = objectOf(accessible);
    if (!object->app || !object->app->bus_name || !object->path) {
        return std::nullopt;
    }
    // The application's own connection, where the library made one, spares the bus daemon's
    // relay: half the round trips of the bus.
    DBusConnection* connection = object->app->bus ? object->app->bus : atspi_get_a11y_bus();
    const Message reply = ask(
        connection, Message(dbus_message_new_method_call(object->app->bus_name, object->path,
                                                         "org.a11y.atspi.Accessible", "GetState")));
    if (!reply) {
        return std::nullopt;
    }
    DBusMessageIter reading;
    DBusMessageIter words;
    if (!dbus_message_iter_init(reply.get(), &reading) ||
        dbus_message_iter_get_arg_type(&reading) != DBUS_TYPE_ARRAY) {
        return std::nullopt;
    }
    dbus_message_iter_recurse(&reading, &words);
    // The states are bits of two 32-bit words, in the order of AtspiStateType.
    quint64 bits = 0;
    int word = 0;
    for (; word < 2 && dbus_message_iter_get_arg_type(&words) == DBUS_TYPE_UINT32; ++word) {
        dbus_uint32_t value = 0;
        dbus_message_iter_get_basic(&words, &value);
        bits |= static_cast<quint64>(value) << (32 * word);
        dbus_message_iter_next(&words);
    }
    if (word < 2) {
        return std::nullopt;
    }
    return StateSet(bits);
}

std::optional<bool> hasState(AtspiAccessible* accessible, AtspiStateType state) {
    const auto states = statesOf(accessible);
    return states ? std::optional(states->has(state)) : std::nullopt;
}

std::optional<qint32> processIdentifierOf(AtspiAccessible* accessible) {
    const AtspiObject* object = objectOf(accessible);
    if (!object->app || !object->app->bus_name) {
        return std::nullopt;
    }
    // A unique connection name belongs to one connection, of one process, for the bus's whole
    // life and is never given again: its answer holds for good, and a capture, which looks
    // through every application, need not ask the bus for each. (A well-known name can change
    // hands.) The names of applications that have gone stay until there are many.
    static std::unordered_map<std::string, qint32> known;
    const bool unique = object->app->bus_name[0] == ':';
    if (unique) {
        if (const auto found = known.find(object->app->bus_name); found != known.end()) {
            return found->second;
        }
    }
    Message request(dbus_message_new_method_call("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                 "org.freedesktop.DBus",
                                                 "GetConnectionUnixProcessID"));
    const char* connection = object->app->bus_name;
    if (request && !dbus_message_append_args(request.get(), DBUS_TYPE_STRING, &connection,
                                             DBUS_TYPE_INVALID)) {
        return std::nullopt;
    }
    const Message reply = ask(atspi_get_a11y_bus(), std::move(request));
    if (!reply) {
        return std::nullopt;
    }
    dbus_uint32_t pid = 0;
    const bool read =
        dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_UINT32, &pid, DBUS_TYPE_INVALID);
    if (!read || pid == 0 || pid > static_cast<dbus_uint32_t>(std::numeric_limits<qint32>::max())) {
        return std::nullopt;
    }
    if (unique) {
        if (known.size() >= 512) {
            known.clear();
        }
        known.emplace(object->app->bus_name, static_cast<qint32>(pid));
    }
    return static_cast<qint32>(pid);
}

}  // namespace tidyword::platform::linux_desktop
