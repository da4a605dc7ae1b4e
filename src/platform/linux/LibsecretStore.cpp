#include "platform/linux/LibsecretStore.h"

#include "platform/linux/OwnedHandle.h"

#include <QByteArrayList>

#include <libsecret/secret.h>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

namespace tidyword::platform::linux_desktop {

namespace {

using Status = SecretStore::Status;

constexpr const char* kServiceName = "org.freedesktop.secrets";

// Cancels the operation's libsecret calls once it outlives its time. libsecret's synchronous
// calls run a private main loop, so the watch has to come from another thread.
class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds limit)
        : cancellable_(g_cancellable_new()), watchdog_([this, limit] { watch(limit); }) {}

    ~Deadline() {
        {
            const std::lock_guard lock(mutex_);
            finished_ = true;
        }
        finished_changed_.notify_all();
        watchdog_.join();
    }

    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* cancellable() const { return cancellable_.get(); }

private:
    void watch(std::chrono::milliseconds limit) {
        std::unique_lock lock(mutex_);
        if (!finished_changed_.wait_for(lock, limit, [this] { return finished_; })) {
            g_cancellable_cancel(cancellable_.get());
        }
    }

    const OwnedObject<GCancellable> cancellable_;
    std::mutex mutex_;
    std::condition_variable finished_changed_;
    bool finished_ = false;
    std::thread watchdog_;  // last: it starts once the rest is in place
};

using Value = Owned<SecretValue, secret_value_unref>;
// What a search found: the list and each item in it are ours.
using ItemList = OwnedObjectList;

const SecretSchema& tokenSchema() {
    static const SecretSchema schema = [] {
        SecretSchema built{};
        built.name = "org.freedesktop.Secret.Generic";
        // Match on the two attributes alone, so that items are found whoever created them.
        built.flags = SECRET_SCHEMA_DONT_MATCH_NAME;
        built.attributes[0] = {"service", SECRET_SCHEMA_ATTRIBUTE_STRING};
        built.attributes[1] = {"account", SECRET_SCHEMA_ATTRIBUTE_STRING};
        return built;
    }();
    return schema;
}

// The attributes that identify one item; they point into the identity's UTF-8 copies.
class Attributes {
public:
    explicit Attributes(const SecretItemIdentity& item)
        : service_(item.service.toUtf8()),
          account_(item.account.toUtf8()),
          table_(g_hash_table_new(g_str_hash, g_str_equal)) {
        g_hash_table_insert(table_.get(), const_cast<char*>("service"), service_.data());
        g_hash_table_insert(table_.get(), const_cast<char*>("account"), account_.data());
    }

    GHashTable* table() const { return table_.get(); }

private:
    QByteArray service_;
    QByteArray account_;
    Owned<GHashTable, g_hash_table_unref> table_;
};

// One operation: a connection to the Secret Service under one deadline.
class Operation {
public:
    explicit Operation(std::chrono::milliseconds limit) : deadline_(limit) {
        OwnedError error;
        service_ = adoptObject(secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION,
                                                       deadline_.cancellable(), into(error)));
    }

    bool connected() const { return service_ != nullptr; }
    GCancellable* cancellable() const { return deadline_.cancellable(); }
    SecretService* service() const { return service_.get(); }

    // The matching items, with success; notFound when there are none; failure when the service
    // cannot be reached or the search fails. Locked items are unlocked first, through the
    // service's own prompt.
    std::pair<Status, ItemList> search(const SecretItemIdentity& item,
                                       SecretSearchFlags flags) const {
        auto found = searchOnce(item, flags);
        QByteArrayList locked;
        for (GList* node = found.second.get(); node; node = node->next) {
            auto* candidate = static_cast<SecretItem*>(node->data);
            if (secret_item_get_locked(candidate)) {
                locked << g_dbus_proxy_get_object_path(G_DBUS_PROXY(candidate));
            }
        }
        if (locked.isEmpty()) {
            return found;
        }
        if (!unlock(locked)) {
            return {Status::failure, nullptr};
        }
        return searchOnce(item, flags);  // the items as they are now, with their secrets
    }

    // Whether the objects are unlocked, asking the Secret Service to unlock them when they are
    // not. libsecret's own unlock cannot be given up while its prompt shows (the call never
    // returns once cancelled), so the prompt is run here, under this operation's deadline.
    bool unlock(const QByteArrayList& paths) const {
        GDBusConnection* bus = g_dbus_proxy_get_connection(G_DBUS_PROXY(service_.get()));
        GVariantBuilder objects;
        g_variant_builder_init(&objects, G_VARIANT_TYPE("ao"));
        for (const QByteArray& path : paths) {
            g_variant_builder_add(&objects, "o", path.constData());
        }
        OwnedError error;
        const OwnedVariant reply(g_dbus_connection_call_sync(
            bus, kServiceName, "/org/freedesktop/secrets", "org.freedesktop.Secret.Service",
            "Unlock", g_variant_new("(ao)", &objects), G_VARIANT_TYPE("(aoo)"),
            G_DBUS_CALL_FLAGS_NONE, -1, cancellable(), into(error)));
        if (!reply) {
            return false;
        }
        GVariant* unlocked = nullptr;
        const gchar* prompt = nullptr;
        g_variant_get(reply.get(), "(@ao&o)", &unlocked, &prompt);  // `unlocked` is a new reference
        const OwnedVariant unlockedPaths(unlocked);
        const auto unlockedCount =
            static_cast<qsizetype>(g_variant_n_children(unlockedPaths.get()));
        const QByteArray promptPath(prompt);
        return promptPath == "/" ? unlockedCount == paths.size() : runPrompt(bus, promptPath);
    }

    std::pair<Status, ItemList> searchOnce(const SecretItemIdentity& item,
                                           SecretSearchFlags flags) const {
        if (!service_) {
            return {Status::failure, nullptr};
        }
        const Attributes attributes(item);
        OwnedError error;
        ItemList found(secret_service_search_sync(
            service_.get(), &tokenSchema(), attributes.table(), flags, cancellable(), into(error)));
        if (error) {
            return {Status::failure, nullptr};
        }
        return {found ? Status::success : Status::notFound, std::move(found)};
    }

private:
    // Shows the prompt and waits for its answer until the deadline; true when the user unlocked.
    bool runPrompt(GDBusConnection* bus, const QByteArray& path) const {
        const Owned<GMainContext, g_main_context_unref> context(g_main_context_new());
        g_main_context_push_thread_default(context.get());
        std::optional<bool> unlocked;
        const guint subscription = g_dbus_connection_signal_subscribe(
            bus, nullptr, "org.freedesktop.Secret.Prompt", "Completed", path.constData(), nullptr,
            G_DBUS_SIGNAL_FLAGS_NONE,
            [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
               GVariant* parameters, gpointer data) {
                gboolean dismissed = TRUE;
                g_variant_get_child(parameters, 0, "b", &dismissed);
                *static_cast<std::optional<bool>*>(data) = !dismissed;
            },
            &unlocked, nullptr);
        // The deadline fires on the watchdog's thread and only wakes this context: a cancellable
        // source would race with its own disposal there and can outlive it.
        const gulong woken =
            g_cancellable_connect(cancellable(), G_CALLBACK(+[](GCancellable*, gpointer waiting) {
                                      g_main_context_wakeup(static_cast<GMainContext*>(waiting));
                                  }),
                                  context.get(), nullptr);

        OwnedError error;
        // No window of ours to attach the prompt to: the service places it itself.
        if (const OwnedVariant shown(g_dbus_connection_call_sync(
                bus, kServiceName, path.constData(), "org.freedesktop.Secret.Prompt", "Prompt",
                g_variant_new("(s)", ""), nullptr, G_DBUS_CALL_FLAGS_NONE, -1, cancellable(),
                into(error)));
            shown) {
            while (!unlocked && !g_cancellable_is_cancelled(cancellable())) {
                g_main_context_iteration(context.get(), TRUE);
            }
        }
        if (!unlocked) {
            // Out of time: the prompt goes away instead of waiting for a request that gave up.
            g_dbus_connection_call(bus, kServiceName, path.constData(),
                                   "org.freedesktop.Secret.Prompt", "Dismiss", nullptr, nullptr,
                                   G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr, nullptr);
        }
        g_cancellable_disconnect(cancellable(), woken);
        g_dbus_connection_signal_unsubscribe(bus, subscription);
        // Signals that arrived after the answer wait in this context, each holding its message;
        // they are let go only when the context runs them.
        while (g_main_context_iteration(context.get(), FALSE)) {
        }
        g_main_context_pop_thread_default(context.get());
        return unlocked.value_or(false);
    }

    Deadline deadline_;
    OwnedObject<SecretService> service_;
};

Value secretValue(const QByteArray& data) {
    return Value(secret_value_new(data.constData(), data.size(), "application/octet-stream"));
}

}  // namespace

LibsecretStore::LibsecretStore(std::chrono::milliseconds timeLimit) : timeLimit_(timeLimit) {}

SecretStore::FoundSecret LibsecretStore::find(const SecretItemIdentity& item) {
    const Operation operation(timeLimit_);
    const auto [status, items] = operation.search(item, SECRET_SEARCH_LOAD_SECRETS);
    if (status != Status::success) {
        return {status, {}};
    }
    auto* first = static_cast<SecretItem*>(items->data);
    const Value value(secret_item_get_secret(first));
    if (secret_item_get_locked(first) || !value) {
        return {Status::failure, {}};
    }
    gsize length = 0;
    const gchar* data = secret_value_get(value.get(), &length);
    return {Status::success, QByteArray(data, static_cast<qsizetype>(length))};
}

SecretStore::Status LibsecretStore::update(const SecretItemIdentity& item, const QByteArray& data) {
    const Operation operation(timeLimit_);
    const auto [status, items] = operation.search(item, SECRET_SEARCH_NONE);
    if (status != Status::success) {
        return status;
    }
    auto* first = static_cast<SecretItem*>(items->data);
    OwnedError error;
    if (secret_item_get_locked(first) ||
        !secret_item_set_secret_sync(first, secretValue(data).get(), operation.cancellable(),
                                     into(error))) {
        return Status::failure;
    }
    return Status::success;
}

SecretStore::Status LibsecretStore::add(const SecretItemIdentity& item, const QString& label,
                                        const QByteArray& data) {
    const Operation operation(timeLimit_);
    if (!operation.connected()) {
        return Status::failure;
    }
    OwnedError error;
    const auto collection = adoptObject(secret_collection_for_alias_sync(
        operation.service(), SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE,
        operation.cancellable(), into(error)));
    if (!collection ||
        (secret_collection_get_locked(collection.get()) &&
         !operation.unlock({g_dbus_proxy_get_object_path(G_DBUS_PROXY(collection.get()))}))) {
        return Status::failure;
    }
    const Attributes attributes(item);
    const auto created = adoptObject(secret_item_create_sync(
        collection.get(), &tokenSchema(), attributes.table(), label.toUtf8().constData(),
        secretValue(data).get(), SECRET_ITEM_CREATE_NONE, operation.cancellable(), into(error)));
    return created ? Status::success : Status::failure;
}

SecretStore::Status LibsecretStore::remove(const SecretItemIdentity& item) {
    const Operation operation(timeLimit_);
    const auto [status, items] = operation.search(item, SECRET_SEARCH_ALL);
    if (status != Status::success) {
        return status;
    }
    for (GList* node = items.get(); node; node = node->next) {
        auto* found = static_cast<SecretItem*>(node->data);
        OwnedError error;
        if (secret_item_get_locked(found) ||
            !secret_item_delete_sync(found, operation.cancellable(), into(error))) {
            return Status::failure;
        }
    }
    return Status::success;
}

}  // namespace tidyword::platform::linux_desktop
