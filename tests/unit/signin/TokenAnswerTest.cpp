// How the session reads a token answer and writes a token request, without a server.
#include "service/BetaError.h"
#include "signin/BetaSession.h"
#include "support/Errors.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;

BetaConfig configFor(IdentityProvider provider) {
    BetaConfig config;
    config.provider = provider;
    config.clientID = u"app"_s;
    config.scope = u"openid offline_access access_as_user"_s;
    return config;
}

const QDateTime kNow(QDate(2026, 12, 6), QTime(12, 0), Qt::UTC);

struct AnswerCase {
    const char* name;
    IdentityProvider provider;
    QByteArray body;
    std::optional<QString> previousRefresh;
    std::optional<QString> keptRefresh;  // when accepted
    bool accepted;

    friend void PrintTo(const AnswerCase& test, std::ostream* out) { *out << test.name; }
};

class TokenAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(TokenAnswerTest, OnlyAValidAnswerBecomesATokenSet) {
    const auto& answer = GetParam();
    const BetaConfig config = configFor(answer.provider);
    std::optional<OAuthTokens> tokens;
    const auto error = test::codeThrownBy<BetaError>([&] {
        tokens = BetaSession::validatedTokens(answer.body, config, answer.previousRefresh, kNow);
    });
    if (!answer.accepted) {
        EXPECT_EQ(error, BetaError::invalidSignIn);
        return;
    }
    ASSERT_TRUE(tokens.has_value());
    EXPECT_EQ(tokens->refreshToken, answer.keptRefresh);
    EXPECT_EQ(tokens->expiresAt, kNow.addSecs(60));
    EXPECT_EQ(tokens->configuration, config.sessionIdentifier());
}

QByteArray answerWith(const QByteArray& members) {
    return R"({"access_token":"A1","expires_in":60,"token_type":"Bearer")" + members + "}";
}

constexpr auto entra = IdentityProvider::entra;
constexpr auto auth0 = IdentityProvider::auth0;

INSTANTIATE_TEST_SUITE_P(
    Answers, TokenAnswerTest,
    ::testing::Values(
        AnswerCase{"WithRefresh", entra, answerWith(R"(,"refresh_token":"R1")"), {}, u"R1"_s, true},
        AnswerCase{"EntraKeepsPreviousRefresh", entra, answerWith(""), u"R0"_s, u"R0"_s, true},
        AnswerCase{"EntraNullRefreshKeepsPrevious", entra, answerWith(R"(,"refresh_token":null)"),
                   u"R0"_s, u"R0"_s, true},
        AnswerCase{"EntraSignInWithoutRefresh", entra, answerWith(""), {}, {}, true},
        AnswerCase{"Auth0Rotates", auth0, answerWith(R"(,"refresh_token":"R1")"), u"R0"_s, u"R1"_s,
                   true},
        AnswerCase{"Auth0WithoutRefresh", auth0, answerWith(""), u"R0"_s, {}, false},
        AnswerCase{
            "Auth0SameRefresh", auth0, answerWith(R"(,"refresh_token":"R0")"), u"R0"_s, {}, false},
        AnswerCase{"TokenTypeInCapitals",
                   entra,
                   R"({"access_token":"A1","expires_in":60,"token_type":"BEARER"})",
                   {},
                   {},
                   true},
        AnswerCase{"TokenTypeMac",
                   entra,
                   R"({"access_token":"A1","expires_in":60,"token_type":"mac"})",
                   {},
                   {},
                   false},
        AnswerCase{"NoTokenType", entra, R"({"access_token":"A1","expires_in":60})", {}, {}, false},
        AnswerCase{"ExpiresInZero",
                   entra,
                   R"({"access_token":"A1","expires_in":0,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"ExpiresIn172801",
                   entra,
                   R"({"access_token":"A1","expires_in":172801,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"ExpiresInFraction",
                   entra,
                   R"({"access_token":"A1","expires_in":60.5,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"ExpiresInString",
                   entra,
                   R"({"access_token":"A1","expires_in":"60","token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"AccessTokenWithSpace",
                   entra,
                   R"({"access_token":"A 1","expires_in":60,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"AccessTokenNonASCII",
                   entra,
                   R"({"access_token":"A\u00e91","expires_in":60,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"EmptyAccessToken",
                   entra,
                   R"({"access_token":"","expires_in":60,"token_type":"Bearer"})",
                   {},
                   {},
                   false},
        AnswerCase{"EmptyRefreshToken", entra, answerWith(R"(,"refresh_token":"")"), {}, {}, false},
        AnswerCase{"RefreshTokenWithLineBreak",
                   entra,
                   answerWith(R"(,"refresh_token":"R\n")"),
                   {},
                   {},
                   false},
        AnswerCase{"NotJson", entra, "access_token=A1", {}, {}, false},
        AnswerCase{"TooLarge",
                   entra,
                   answerWith(",\"pad\":\"" + QByteArray(262'144, 'x') + "\""),
                   {},
                   {},
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TokenAnswerBoundaryTest, LifetimeOfOneSecondToFortyEightHoursIsAccepted) {
    for (const int lifetime : {1, 172'800}) {
        const QByteArray body = R"({"access_token":"A1","token_type":"bearer","expires_in":)" +
                                QByteArray::number(lifetime) + "}";
        const auto tokens =
            BetaSession::validatedTokens(body, configFor(entra), std::nullopt, kNow);
        EXPECT_EQ(tokens.expiresAt, kNow.addSecs(lifetime));
    }
}

TEST(TokenRequestTest, FormBodyIsSortedAndStrictlyPercentEncoded) {
    EXPECT_EQ(BetaSession::formBody({{u"redirect_uri"_s, u"com.tidyword.beta://oauth/callback"_s},
                                     {u"code"_s, u"a b+c~d_e.f-g"_s},
                                     {u"client_id"_s, u"app"_s},
                                     {u"scope"_s, u"caf\u00E9 *"_s}}),
              "client_id=app&code=a%20b%2Bc~d_e.f-g"
              "&redirect_uri=com.tidyword.beta%3A%2F%2Foauth%2Fcallback&scope=caf%C3%A9%20%2A");
}

}  // namespace
}  // namespace tidyword
