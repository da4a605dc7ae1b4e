// The session against the stand-in identity provider over real HTTP, with a simulated browser
// that follows the authorization URL, the simulated secret store and the virtual clock.
#include "platform/SystemClock.h"
#include "platform/linux/SystemRandomSource.h"
#include "platform/sim/SimulatedSecretStore.h"
#include "platform/sim/SimulatedWebAuthenticator.h"
#include "platform/sim/VirtualClock.h"
#include "service/BetaError.h"
#include "service/BetaHTTP.h"
#include "signin/BetaSession.h"
#include "support/Errors.h"
#include "support/EventLoop.h"
#include "support/FollowingBrowser.h"
#include "support/HeldAnswers.h"
#include "support/Printers.h"
#include "support/StandInServer.h"

#include <QJsonDocument>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace std::chrono_literals;
using namespace Qt::Literals::StringLiterals;
using platform::sim::SimulatedWebAuthenticator;

class BetaSessionTest : public ::testing::TestWithParam<IdentityProvider> {
protected:
    BetaSessionTest() { authenticator.setBehaviour(test::followingWith(http.transport())); }

    void TearDown() override {
        held.letThrough();
        session.reset();
        test::processEventsFor(20ms);  // callers released by the session's end finish here
    }

    BetaConfig config() const {
        BetaConfig config;
        config.provider = GetParam();
        config.apiBaseURL = server.baseURL();
        config.clientID = u"app"_s;
        config.redirectURI = QUrl(u"com.tidyword.beta://oauth/callback"_s);
        if (GetParam() == IdentityProvider::entra) {
            config.authority = server.url(u"contoso"_s);
            config.scope = u"api://tidyword/access_as_user"_s;
        } else {
            config.authority = server.baseURL();
            config.audience = u"urn:tidyword"_s;
            config.scope = u"openid offline_access access_as_user"_s;
        }
        return config;
    }

    std::unique_ptr<BetaSession> openSession() {
        return std::make_unique<BetaSession>(
            config(), BetaSession::Platform{secrets, authenticator, clock, random, transport,
                                            [this] { return &window; }});
    }

    QJsonArray tokenRequests() const {
        QJsonArray found;
        for (const auto& request : server.requests()) {
            if (request.toObject().value(u"path"_s).toString().endsWith(u"/token")) {
                found.append(request);
            }
        }
        return found;
    }

    QString lastTokenForm() const {
        const QJsonArray requests = tokenRequests();
        return requests.isEmpty() ? QString()
                                  : requests.last().toObject().value(u"body"_s).toString();
    }

    std::optional<OAuthTokens> stored() const {
        return secrets.items().isEmpty() ? std::nullopt
                                         : OAuthTokens::fromJson(secrets.items().front().data);
    }

    // Starts accessToken() as a task of its own.
    QCoro::Task<QString> accessToken() { return session->accessToken(); }

    test::StandInServer server;
    platform::SystemClock realClock;
    BetaHTTP http{realClock};
    test::HeldAnswers held;
    HTTPTransport transport = held.around(http.transport());
    platform::sim::VirtualClock clock;
    platform::sim::SimulatedSecretStore secrets;
    SimulatedWebAuthenticator authenticator;
    platform::linux_desktop::SystemRandomSource random;
    QObject window;
    std::unique_ptr<BetaSession> session = openSession();
};

// The scope the form carries under Entra; Auth0 token requests carry none.
QString scopeItem(IdentityProvider provider) {
    return provider == IdentityProvider::entra
               ? u"&scope=api%3A%2F%2Ftidyword%2Faccess_as_user%20offline_access"_s
               : QString();
}

TEST_P(BetaSessionTest, SignInExchangesAVerifiedCodeAndStoresTheSet) {
    EXPECT_FALSE(session->hasTokens());
    test::runToCompletion(session->signIn());

    EXPECT_TRUE(session->hasTokens());
    const auto tokens = stored();
    ASSERT_TRUE(tokens.has_value());
    EXPECT_EQ(tokens->configuration, config().sessionIdentifier());
    EXPECT_EQ(tokens->expiresAt, clock.now().addSecs(3600));
    EXPECT_TRUE(tokens->refreshToken.has_value());

    const QRegularExpression form(QRegularExpression::anchoredPattern(
        u"client_id=app&code=[A-Za-z0-9_-]{43}&code_verifier=[A-Za-z0-9_-]{43}"
        "&grant_type=authorization_code&redirect_uri=com.tidyword.beta%3A%2F%2Foauth%2Fcallback"_s +
        QRegularExpression::escape(scopeItem(GetParam()))));
    EXPECT_TRUE(form.match(lastTokenForm()).hasMatch()) << lastTokenForm().toStdString();
    EXPECT_EQ(test::runToCompletion(accessToken()), tokens->accessToken);
}

TEST_P(BetaSessionTest, RefusedCodeExchangeAsksForASignInAndAFailedOneSaysSo) {
    for (const auto& [status, error] : {std::pair{400, BetaError::signInRequired},
                                        {401, BetaError::signInRequired},
                                        {503, BetaError::signInFailed}}) {
        server.queueFault({{u"path"_s, u"token"_s}, {u"status"_s, status}});
        EXPECT_EQ(
            test::codeThrownBy<BetaError>([this] { test::runToCompletion(session->signIn()); }),
            error)
            << status;
        EXPECT_FALSE(session->hasTokens()) << status;
    }
}

TEST_P(BetaSessionTest, TokenIsRefreshedOnceNoMoreThan90SecondsRemainOrItExpired) {
    test::runToCompletion(session->signIn());
    const OAuthTokens first = *stored();

    clock.advance(3600s - 91s);
    // Asked twice: handing the token out must not use it up.
    EXPECT_EQ(test::runToCompletion(accessToken()), first.accessToken);
    EXPECT_EQ(test::runToCompletion(accessToken()), first.accessToken);
    EXPECT_EQ(tokenRequests().size(), 1);

    clock.advance(1s);
    const QString refreshed = test::runToCompletion(accessToken());
    EXPECT_NE(refreshed, first.accessToken);
    EXPECT_EQ(tokenRequests().size(), 2);
    EXPECT_EQ(lastTokenForm(), u"client_id=app&grant_type=refresh_token&refresh_token="_s +
                                   *first.refreshToken + scopeItem(GetParam()));
    EXPECT_EQ(stored()->accessToken, refreshed);
    EXPECT_NE(stored()->refreshToken, first.refreshToken);

    clock.advance(2h);
    EXPECT_NE(test::runToCompletion(accessToken()), refreshed);
    EXPECT_EQ(tokenRequests().size(), 3);
}

// Two callers while one refresh is under way: they share it, or a sign-out ends them both.
TEST_P(BetaSessionTest, CallersDuringOneRefreshShareItUnlessASignOutEndsIt) {
    for (const bool signOut : {false, true}) {
        SCOPED_TRACE(signOut ? "SignedOut" : "Shared");
        session = openSession();
        test::runToCompletion(session->signIn());
        held.holdNext(u"/token"_s);
        clock.advance(3600s - 60s);
        auto first = accessToken();
        auto second = accessToken();
        test::runEventLoopUntil([this] { return held.waiting() == 1; });
        if (!signOut) {
            held.letThrough();
            const QString firstToken = test::runToCompletion(std::move(first));
            EXPECT_EQ(test::runToCompletion(std::move(second)), firstToken);
            EXPECT_EQ(tokenRequests().size(), 2);
            server.clearRequests();
            continue;
        }
        session->signOut();
        held.letThrough();  // the refresh's answer arrives after the sign-out, and is not kept
        EXPECT_THROW(test::runToCompletion(std::move(first)), Cancelled);
        EXPECT_THROW(test::runToCompletion(std::move(second)), Cancelled);
        EXPECT_FALSE(session->hasTokens());
        EXPECT_TRUE(secrets.items().isEmpty());
        EXPECT_EQ(test::codeThrownBy<BetaError>([this] { test::runToCompletion(accessToken()); }),
                  BetaError::signInRequired);
    }
}

TEST_P(BetaSessionTest, NewSignInEndsTheOneStillWaiting) {
    authenticator.setBehaviour({});  // the first browser never comes back
    auto waiting = session->signIn();
    test::runEventLoopUntil([this] { return authenticator.isShowing(); });
    authenticator.setBehaviour(test::followingWith(http.transport()));
    auto newer = session->signIn();

    EXPECT_EQ(
        test::codeThrownBy<BetaError>([&waiting] { test::runToCompletion(std::move(waiting)); }),
        BetaError::signInCancelled);
    test::runToCompletion(std::move(newer));
    EXPECT_TRUE(session->hasTokens());
}

// What a refresh answer may leave out or repeat differs by provider: Auth0 must rotate.
TEST_P(BetaSessionTest, RefreshRefusedOrNotRotatedAsItMustBeSignsTheUserOut) {
    const bool auth0 = GetParam() == IdentityProvider::auth0;
    const auto fresh = [](const QString& more) {
        return QJsonObject{{u"status"_s, 200},
                           {u"body"_s,
                            uR"({"access_token":"fresh","token_type":"Bearer",)"
                            uR"("expires_in":3600)"_s +
                                more + u"}"_s}};
    };
    const struct {
        const char* name;
        std::function<QJsonObject(const OAuthTokens&)> answer;
        bool signsOut;
    } cases[] = {
        {"Refused",
         [](const OAuthTokens&) {
             return QJsonObject{{u"status"_s, 401}};
         },
         true},
        {"WithoutARefreshToken", [&](const OAuthTokens&) { return fresh({}); }, auth0},
        {"SameRefreshTokenAgain",
         [&](const OAuthTokens& tokens) {
             return fresh(uR"(,"refresh_token":")"_s + *tokens.refreshToken + u"\""_s);
         },
         auth0},
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        session = openSession();
        test::runToCompletion(session->signIn());
        const OAuthTokens first = *stored();
        QJsonObject fault = test.answer(first);
        fault.insert(u"path"_s, u"token"_s);
        server.queueFault(fault);
        clock.advance(3600s);
        if (!test.signsOut) {
            EXPECT_EQ(test::runToCompletion(accessToken()), u"fresh"_s);
            EXPECT_EQ(stored()->refreshToken, first.refreshToken);
            continue;
        }
        EXPECT_EQ(test::codeThrownBy<BetaError>([this] { test::runToCompletion(accessToken()); }),
                  BetaError::signInRequired);
        EXPECT_FALSE(session->hasTokens());
        EXPECT_TRUE(secrets.items().isEmpty());
    }
}

TEST_P(BetaSessionTest, StoredSetOfAnotherConfigurationIsLeftUnused) {
    test::runToCompletion(session->signIn());
    OAuthTokens other = *stored();
    other.configuration = u"another configuration"_s;
    secrets.plant(SessionTokenStore::item(), other.toJson());

    session = openSession();

    EXPECT_FALSE(session->hasTokens());
    EXPECT_EQ(test::codeThrownBy<BetaError>([this] { test::runToCompletion(accessToken()); }),
              BetaError::signInRequired);
    EXPECT_EQ(secrets.items().size(), 1);
}

TEST_P(BetaSessionTest, ASignInToTheLocalTestServiceLeavesTheRealOneStored) {
    if (GetParam() != IdentityProvider::auth0) {
        GTEST_SKIP() << "the local test service speaks Auth0's protocol";
    }
    secrets.plant(SessionTokenStore::item(), "the user's real sign-in");
    BetaConfig local = config();
    local.provider = IdentityProvider::local;
    session = std::make_unique<BetaSession>(
        local, BetaSession::Platform{secrets, authenticator, clock, random, http.transport(),
                                     [this] { return &window; }});
    test::runToCompletion(session->signIn());
    ASSERT_EQ(secrets.items().size(), 2);
    for (const auto& item : secrets.items()) {
        EXPECT_EQ(item.data == "the user's real sign-in",
                  item.identity == SessionTokenStore::item());
    }
}

INSTANTIATE_TEST_SUITE_P(Providers, BetaSessionTest,
                         ::testing::Values(IdentityProvider::entra, IdentityProvider::auth0),
                         [](const auto& info) { return rawValue(info.param).toStdString(); });

}  // namespace
}  // namespace tidyword
