// The token store on a real Secret Service (GNOME Keyring on a private bus), and without one.
#include "platform/linux/LibsecretStore.h"
#include "service/BetaError.h"
#include "signin/SessionTokenStore.h"
#include "support/Errors.h"
#include "support/Printers.h"

#include <gtest/gtest.h>
#include <libsecret/secret.h>

#include <functional>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::linux_desktop::LibsecretStore;

OAuthTokens tokens(const QString& access, std::optional<QString> refresh) {
    return {access, std::move(refresh),
            QDateTime(QDate(2026, 12, 6), QTime(11, 0, 0, 987), Qt::UTC),
            u"entra|https://api.tidyword.example/|...|scope|com.tidyword.beta://oauth/callback"_s};
}

bool failsWithKeychain(const std::function<void()>& action) {
    return test::codeThrownBy<BetaError>(action) == BetaError::keychain;
}

// The labels of the items that carry the token set's attributes, read past the store under test.
QStringList storedLabels() {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    EXPECT_EQ(error, nullptr);
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("service"),
                        const_cast<char*>("com.personal.Tidyword.beta-session"));
    g_hash_table_insert(attributes, const_cast<char*>("account"),
                        const_cast<char*>("oauth-tokens"));
    GList* items = secret_service_search_sync(service, nullptr, attributes, SECRET_SEARCH_ALL,
                                              nullptr, &error);
    QStringList labels;
    for (GList* node = items; node; node = node->next) {
        gchar* label = secret_item_get_label(static_cast<SecretItem*>(node->data));
        labels << QString::fromUtf8(label);
        g_free(label);
    }
    g_list_free_full(items, g_object_unref);
    g_hash_table_unref(attributes);
    g_object_unref(service);
    return labels;
}

void lockDefaultCollection() {
    GError* error = nullptr;
    SecretService* service = secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, &error);
    SecretCollection* collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, &error);
    ASSERT_NE(collection, nullptr);
    GList* objects = g_list_append(nullptr, collection);
    secret_service_lock_sync(service, objects, nullptr, nullptr, &error);
    EXPECT_EQ(error, nullptr);
    EXPECT_TRUE(secret_collection_get_locked(collection));
    g_list_free(objects);
    g_object_unref(collection);
    g_object_unref(service);
}

TEST(WithKeyring, TokenSetIsSavedLoadedOverwrittenAndDeleted) {
    LibsecretStore secrets;
    const SessionTokenStore store(secrets);
    EXPECT_EQ(store.load(), std::nullopt);

    store.save(tokens(u"first"_s, u"refresh"_s));
    EXPECT_EQ(store.load(), tokens(u"first"_s, u"refresh"_s));
    EXPECT_EQ(storedLabels(), QStringList{u"Tidyword beta sign-in"_s});

    store.save(tokens(u"second"_s, std::nullopt));
    EXPECT_EQ(store.load(), tokens(u"second"_s, std::nullopt));
    EXPECT_EQ(storedLabels(), QStringList{u"Tidyword beta sign-in"_s});

    EXPECT_TRUE(store.deleteItem());
    EXPECT_EQ(store.load(), std::nullopt);
    EXPECT_TRUE(store.deleteItem());
    EXPECT_TRUE(storedLabels().isEmpty());
}

TEST(WithKeyring, LockedCollectionFailsWithoutAskingTheUser) {
    LibsecretStore secrets;
    const SessionTokenStore store(secrets);
    store.save(tokens(u"first"_s, std::nullopt));
    lockDefaultCollection();

    EXPECT_TRUE(failsWithKeychain([&store] { store.load(); }));
    EXPECT_TRUE(failsWithKeychain([&store] { store.save(tokens(u"second"_s, std::nullopt)); }));
    EXPECT_FALSE(store.deleteItem());
}

// Owns the Secret Service's name on the bus and never answers a call: what a hung keyring
// looks like to a client.
class SilentSecretService {
public:
    SilentSecretService() {
        GError* error = nullptr;
        gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
        EXPECT_NE(connection_, nullptr);
        GVariant* reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 0u),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, &error);
        EXPECT_NE(reply, nullptr);
        if (reply) {
            g_variant_unref(reply);
        }
        g_dbus_connection_add_filter(connection_, &swallowCalls, nullptr, nullptr);
    }
    ~SilentSecretService() {
        g_dbus_connection_close_sync(connection_, nullptr, nullptr);
        g_object_unref(connection_);
    }

private:
    static GDBusMessage* swallowCalls(GDBusConnection*, GDBusMessage* message, gboolean incoming,
                                      gpointer) {
        if (incoming &&
            g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL) {
            g_object_unref(message);
            return nullptr;
        }
        return message;
    }

    GDBusConnection* connection_ = nullptr;
};

TEST(WithoutSecretService, EveryOperationIsKeychain) {
    LibsecretStore secrets;
    const SessionTokenStore store(secrets);
    EXPECT_TRUE(failsWithKeychain([&store] { store.load(); }));
    EXPECT_TRUE(failsWithKeychain([&store] { store.save(tokens(u"first"_s, std::nullopt)); }));
    EXPECT_FALSE(store.deleteItem());
}

TEST(WithoutSecretService, ServiceThatNeverAnswersIsKeychainOnceTheTimeLimitPasses) {
    const SilentSecretService silent;
    LibsecretStore secrets(std::chrono::milliseconds(500));
    const SessionTokenStore store(secrets);
    EXPECT_TRUE(failsWithKeychain([&store] { store.load(); }));
    EXPECT_TRUE(failsWithKeychain([&store] { store.save(tokens(u"first"_s, std::nullopt)); }));
    EXPECT_FALSE(store.deleteItem());
}

}  // namespace
}  // namespace tidyword
