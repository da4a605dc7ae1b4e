// The token store on a real Secret Service (GNOME Keyring on a private bus), and without one.
#include "platform/linux/LibsecretStore.h"
#include "service/BetaError.h"
#include "signin/SessionTokenStore.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/Printers.h"

#include <QProcess>

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
    g_autoptr(SecretService) service =
        secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    g_autoptr(GHashTable) attributes = g_hash_table_new(g_str_hash, g_str_equal);
    g_hash_table_insert(attributes, const_cast<char*>("service"),
                        const_cast<char*>("com.personal.Tidyword.beta-session"));
    g_hash_table_insert(attributes, const_cast<char*>("account"),
                        const_cast<char*>("oauth-tokens"));
    GList* items = secret_service_search_sync(service, nullptr, attributes, SECRET_SEARCH_ALL,
                                              nullptr, nullptr);
    QStringList labels;
    for (GList* node = items; node; node = node->next) {
        g_autofree gchar* label = secret_item_get_label(static_cast<SecretItem*>(node->data));
        labels << QString::fromUtf8(label);
    }
    g_list_free_full(items, g_object_unref);
    return labels;
}

// The default collection, locked now when `lock`; whether it is locked.
bool defaultCollectionLocked(bool lock = false) {
    g_autoptr(SecretService) service =
        secret_service_get_sync(SECRET_SERVICE_NONE, nullptr, nullptr);
    g_autoptr(SecretCollection) collection = secret_collection_for_alias_sync(
        service, SECRET_COLLECTION_DEFAULT, SECRET_COLLECTION_NONE, nullptr, nullptr);
    if (collection && lock) {
        GList objects{collection, nullptr, nullptr};
        secret_service_lock_sync(service, &objects, nullptr, nullptr, nullptr);
    }
    return collection && secret_collection_get_locked(collection);
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

// No prompter runs on this bus, so the keyring cannot ask for its password.
TEST(WithKeyring, LockedCollectionThatCannotPromptFails) {
    LibsecretStore secrets;
    const SessionTokenStore store(secrets);
    store.save(tokens(u"first"_s, std::nullopt));
    ASSERT_TRUE(defaultCollectionLocked(true));

    EXPECT_TRUE(failsWithKeychain([&store] { store.load(); }));
    EXPECT_TRUE(failsWithKeychain([&store] { store.save(tokens(u"second"_s, std::nullopt)); }));
    EXPECT_FALSE(store.deleteItem());
}

bool nameHasOwner(const char* name) {
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
        bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
        "NameHasOwner", g_variant_new("(s)", name), G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE,
        -1, nullptr, nullptr);
    gboolean owned = FALSE;
    if (reply) {
        g_variant_get(reply, "(b)", &owned);
    }
    return owned;
}

// GNOME Keyring's own password prompt on the private desktop, and a user who answers it.
class Prompter {
public:
    Prompter() {
        prompter_.start(u"/usr/libexec/gcr-prompter"_s, {});
        test::pollUntil([] { return nameHasOwner("org.gnome.keyring.SystemPrompter"); });
    }
    ~Prompter() {
        for (QProcess* process : {&user_, &prompter_}) {
            process->kill();
            process->waitForFinished();
        }
    }

    // Answers the next prompt with `keys` (xdotool commands), again until it closes: keys
    // typed before the prompt holds the keyboard are lost, and the window manager need not
    // give it the keyboard by itself, so each round gives it first.
    void answerWith(const QString& keys) {
        user_.waitForFinished();
        const QString visible = u"xdotool search --onlyvisible --class gcr-prompter >/dev/null"_s;
        const QString focus =
            u"xdotool search --onlyvisible --class gcr-prompter windowactivate --sync "
            u"2>/dev/null"_s;
        user_.start(u"bash"_s,
                    {u"-c"_s,
                     u"xdotool search --sync --onlyvisible --class "
                     u"gcr-prompter >/dev/null; while "_s +
                         visible + u"; do "_s + focus + u"; "_s + keys + u"; sleep 0.2; done"_s});
    }

private:
    QProcess prompter_;
    QProcess user_;
};

TEST(WithPrompter, LockedCollectionIsUnlockedThroughTheKeyringsPrompt) {
    const QString password = u"xdotool key ctrl+a; xdotool type pw; xdotool key Return"_s;
    // Longer than the user needs here, unless the prompt is to be left unanswered.
    const std::chrono::milliseconds answered = std::chrono::seconds(60);
    const struct {
        const char* name;
        bool alreadyStored;
        QString answer;
        std::chrono::milliseconds timeLimit;
        bool unlocked;
    } cases[] = {
        {"LoadAfterThePassword", true, password, answered, true},
        {"FirstSaveAfterThePassword", false, password, answered, true},
        {"LoadWithThePromptDismissed", true, u"xdotool key Escape"_s, answered, false},
        {"LoadWithThePromptUnanswered", true, u"true"_s, std::chrono::milliseconds(500), false},
    };
    Prompter prompter;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        LibsecretStore secrets(test.timeLimit);
        const SessionTokenStore store(secrets);
        // A row that left the collection locked left its item in it too.
        if (!defaultCollectionLocked()) {
            ASSERT_TRUE(store.deleteItem());
            if (test.alreadyStored) {
                store.save(tokens(u"first"_s, std::nullopt));
            }
            ASSERT_TRUE(defaultCollectionLocked(true));
        }
        prompter.answerWith(test.answer);
        if (test.alreadyStored) {
            std::optional<OAuthTokens> loaded;
            const bool failed = failsWithKeychain([&] { loaded = store.load(); });
            EXPECT_EQ(failed, !test.unlocked);
            EXPECT_EQ(loaded.has_value(), test.unlocked);
        } else {
            EXPECT_FALSE(
                failsWithKeychain([&store] { store.save(tokens(u"second"_s, std::nullopt)); }));
            EXPECT_EQ(store.load(), tokens(u"second"_s, std::nullopt));
        }
    }
}

// Owns the Secret Service's name on the bus and never answers a call: what a hung keyring
// looks like to a client.
class SilentSecretService {
public:
    SilentSecretService() {
        g_autofree gchar* address =
            g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        connection_ = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        EXPECT_NE(connection_, nullptr);
        g_autoptr(GVariant) reply = g_dbus_connection_call_sync(
            connection_, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", "org.freedesktop.secrets", 0u),
            G_VARIANT_TYPE("(u)"), G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        EXPECT_NE(reply, nullptr);
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

TEST(WithoutSecretService, EveryOperationIsKeychainWhetherNoneRunsOrOneNeverAnswers) {
    for (const bool silent : {false, true}) {
        SCOPED_TRACE(silent ? "NeverAnswers" : "NoneRuns");
        std::optional<SilentSecretService> service;
        if (silent) {
            service.emplace();
        }
        LibsecretStore secrets(std::chrono::milliseconds(500));
        const SessionTokenStore store(secrets);
        EXPECT_TRUE(failsWithKeychain([&store] { store.load(); }));
        EXPECT_TRUE(failsWithKeychain([&store] { store.save(tokens(u"first"_s, std::nullopt)); }));
        EXPECT_FALSE(store.deleteItem());
    }
}

}  // namespace
}  // namespace tidyword
