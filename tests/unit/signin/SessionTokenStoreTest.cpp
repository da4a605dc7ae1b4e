#include "platform/sim/SimulatedSecretStore.h"
#include "service/BetaError.h"
#include "signin/SessionTokenStore.h"
#include "support/Errors.h"
#include "support/Printers.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using platform::SecretStore;
using platform::sim::SimulatedSecretStore;
using Operation = SimulatedSecretStore::Operation;

OAuthTokens sampleTokens(std::optional<QString> refreshToken) {
    return {u"access-1"_s, std::move(refreshToken),
            QDateTime(QDate(2026, 12, 6), QTime(10, 15, 30, 123), Qt::UTC),
            u"auth0|https://api.tidyword.example|..."_s};
}

bool failsWithKeychain(const std::function<void()>& action) {
    return test::codeThrownBy<BetaError>(action) == BetaError::keychain;
}

TEST(SessionTokenStoreTest, TokensRoundTripFieldForField) {
    for (const auto& refresh : {std::optional<QString>(u"refresh-1"_s), std::optional<QString>()}) {
        SimulatedSecretStore secrets;
        const SessionTokenStore store(secrets);
        EXPECT_EQ(store.load(), std::nullopt);

        store.save(sampleTokens(refresh));

        EXPECT_EQ(store.load(), sampleTokens(refresh));
        ASSERT_EQ(secrets.items().size(), 1);
        EXPECT_EQ(secrets.items().front().identity, SessionTokenStore::item());
        EXPECT_EQ(secrets.items().front().label, u"Tidyword beta sign-in"_s);
        const QJsonObject stored = QJsonDocument::fromJson(secrets.items().front().data).object();
        EXPECT_EQ(stored.contains(u"refreshToken"_s), refresh.has_value());
    }
}

TEST(SessionTokenStoreTest, ExpiryIsStoredAsSecondsSince2001) {
    SimulatedSecretStore secrets;
    OAuthTokens tokens = sampleTokens(std::nullopt);
    tokens.expiresAt = QDateTime(QDate(2001, 1, 1), QTime(0, 0, 1, 500), Qt::UTC);
    SessionTokenStore(secrets).save(tokens);
    const QJsonObject stored = QJsonDocument::fromJson(secrets.items().front().data).object();
    EXPECT_EQ(stored.value(u"expiresAt"_s).toDouble(), 1.5);
    EXPECT_EQ(stored.keys(), (QStringList{u"accessToken"_s, u"configuration"_s, u"expiresAt"_s}));
}

TEST(SessionTokenStoreTest, SecondSaveChangesOnlyTheData) {
    SimulatedSecretStore secrets;
    secrets.plant(SessionTokenStore::item(), sampleTokens(std::nullopt).toJson());
    OAuthTokens newer = sampleTokens(u"refresh-2"_s);
    newer.accessToken = u"access-2"_s;

    SessionTokenStore(secrets).save(newer);

    ASSERT_EQ(secrets.items().size(), 1);
    EXPECT_EQ(secrets.items().front().label, u"planted"_s);
    EXPECT_EQ(SessionTokenStore(secrets).load(), newer);
}

TEST(SessionTokenStoreTest, UnreadableItemIsKeychainAndStaysInPlace) {
    const QByteArray payloads[] = {
        R"({"accessToken":"a","expiresAt":1.5})",
        R"({"accessToken":"a","expiresAt":"1.5","configuration":"c"})",
        R"({"accessToken":"a","refreshToken":7,"expiresAt":1.5,"configuration":"c"})",
        R"({"accessToken":null,"expiresAt":1.5,"configuration":"c"})",
        R"({"accessToken":"a","expiresAt":1e300,"configuration":"c"})",
        R"(["a"])",
        "not json",
        "",
        R"({"accessToken":")" + QByteArray(SessionTokenStore::maximumItemSize, 'a') +
            R"(","expiresAt":1.5,"configuration":"c"})",
    };
    for (const QByteArray& payload : payloads) {
        SimulatedSecretStore secrets;
        secrets.plant(SessionTokenStore::item(), payload);
        EXPECT_TRUE(failsWithKeychain([&secrets] { SessionTokenStore(secrets).load(); }))
            << payload.left(80).toStdString();
        EXPECT_EQ(secrets.items().front().data, payload);
    }
}

TEST(SessionTokenStoreTest, NullRefreshTokenAndUnknownMembersAreAccepted) {
    SimulatedSecretStore secrets;
    secrets.plant(SessionTokenStore::item(),
                  R"({"accessToken":"a","refreshToken":null,"expiresAt":-0.25,)"
                  R"("configuration":"c","extra":[1]})");
    const auto tokens = SessionTokenStore(secrets).load();
    ASSERT_TRUE(tokens.has_value());
    EXPECT_EQ(tokens->refreshToken, std::nullopt);
    EXPECT_EQ(tokens->expiresAt, QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59, 750), Qt::UTC));
}

TEST(SessionTokenStoreTest, StoreFailuresAreKeychain) {
    constexpr auto failure = SecretStore::Status::failure;
    constexpr auto notFound = SecretStore::Status::notFound;
    const struct {
        const char* name;
        Operation operation;
        SecretStore::Status status;
        bool loadFails;
        bool saveFails;
        bool deleted;
    } cases[] = {
        {"FindFails", Operation::find, failure, true, false, true},
        {"UpdateFails", Operation::update, failure, false, true, true},
        {"AddFails", Operation::add, failure, false, true, true},
        {"AddFindsNothing", Operation::add, notFound, false, true, true},
        {"RemoveFails", Operation::remove, failure, false, false, false},
        {"RemoveFindsNothing", Operation::remove, notFound, false, false, true},
    };
    for (const auto& test : cases) {
        SimulatedSecretStore secrets;
        secrets.failWith(test.operation, test.status);
        const SessionTokenStore store(secrets);
        EXPECT_EQ(failsWithKeychain([&store] { store.load(); }), test.loadFails) << test.name;
        EXPECT_EQ(failsWithKeychain([&store] { store.save(sampleTokens(std::nullopt)); }),
                  test.saveFails)
            << test.name;
        EXPECT_EQ(store.deleteItem(), test.deleted) << test.name;
    }
}

TEST(SessionTokenStoreTest, FailedUpdateDoesNotAddASecondItem) {
    SimulatedSecretStore secrets;
    secrets.plant(SessionTokenStore::item(), "old");
    secrets.failWith(Operation::update, SecretStore::Status::failure);
    EXPECT_TRUE(failsWithKeychain(
        [&secrets] { SessionTokenStore(secrets).save(sampleTokens(std::nullopt)); }));
    ASSERT_EQ(secrets.items().size(), 1);
    EXPECT_EQ(secrets.items().front().data, "old");
}

}  // namespace
}  // namespace tidyword
