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

// A token answer's text: each member's JSON value, left out when empty, and `more` members.
struct Answer {
    QByteArray access = R"("A1")";
    QByteArray expiresIn = "60";
    QByteArray type = R"("Bearer")";
    QByteArray more = {};

    QByteArray json() const {
        QByteArrayList members;
        for (const auto& [name, value] :
             {std::pair{"access_token", access}, {"expires_in", expiresIn}, {"token_type", type}}) {
            if (!value.isEmpty()) {
                members << '"' + QByteArray(name) + "\":" + value;
            }
        }
        return '{' + members.join(',') + more + '}';
    }
};

// A refresh token member, to follow the others.
QByteArray refresh(const QByteArray& value) {
    return R"(,"refresh_token":)" + value;
}

constexpr auto entra = IdentityProvider::entra;
constexpr auto auth0 = IdentityProvider::auth0;

struct AnswerCase {
    const char* name;
    bool accepted;
    Answer answer;
    IdentityProvider provider = entra;
    std::optional<QString> previousRefresh = {};
    std::optional<QString> keptRefresh = {};  // when accepted

    friend void PrintTo(const AnswerCase& row, std::ostream* out) { *out << row.name; }
};

class TokenAnswerTest : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(TokenAnswerTest, OnlyAValidAnswerBecomesATokenSet) {
    const auto& answer = GetParam();
    const BetaConfig config = configFor(answer.provider);
    std::optional<OAuthTokens> tokens;
    const auto error = test::codeThrownBy<BetaError>([&] {
        tokens = BetaSession::validatedTokens(answer.answer.json(), config, answer.previousRefresh,
                                              kNow);
    });
    if (!answer.accepted) {
        EXPECT_EQ(error, BetaError::invalidSignIn);
        return;
    }
    ASSERT_TRUE(tokens.has_value());
    EXPECT_EQ(tokens->refreshToken, answer.keptRefresh);
    EXPECT_EQ(tokens->expiresAt, kNow.addSecs(answer.answer.expiresIn.toInt()));
    EXPECT_EQ(tokens->configuration, config.sessionIdentifier());
}

const AnswerCase kAnswers[] = {
    {"WithRefresh", true, Answer{.more = refresh(R"("R1")")}, entra, {}, u"R1"_s},
    {"EntraKeepsPreviousRefresh", true, {}, entra, u"R0"_s, u"R0"_s},
    {"EntraNullRefreshKeepsPrevious", true, {.more = refresh("null")}, entra, u"R0"_s, u"R0"_s},
    {"EntraSignInWithoutRefresh", true, {}},
    {"Auth0Rotates", true, {.more = refresh(R"("R1")")}, auth0, u"R0"_s, u"R1"_s},
    {"Auth0WithoutRefresh", false, {}, auth0, u"R0"_s},
    {"Auth0SameRefresh", false, {.more = refresh(R"("R0")")}, auth0, u"R0"_s},
    {"TokenTypeInCapitals", true, {.type = R"("BEARER")"}},
    {"LivesOneSecond", true, {.expiresIn = "1", .type = R"("bearer")"}},
    {"LivesFortyEightHours", true, {.expiresIn = "172800"}},
    {"TokenTypeMac", false, {.type = R"("mac")"}},
    {"NoTokenType", false, {.type = {}}},
    {"ExpiresInZero", false, {.expiresIn = "0"}},
    {"ExpiresIn172801", false, {.expiresIn = "172801"}},
    {"ExpiresInFraction", false, {.expiresIn = "60.5"}},
    {"ExpiresInString", false, {.expiresIn = R"("60")"}},
    {"AccessTokenWithSpace", false, {.access = R"("A 1")"}},
    {"EmptyAccessToken", false, {.access = R"("")"}},
    {"EmptyRefreshToken", false, {.more = refresh(R"("")")}},
    {"NotJson", false, {.access = {}, .expiresIn = {}, .type = {}, .more = "access_token=A1"}},
    {"TooLarge", false, {.more = ",\"pad\":\"" + QByteArray(262'144, 'x') + "\""}},
};

INSTANTIATE_TEST_SUITE_P(Answers, TokenAnswerTest, ::testing::ValuesIn(kAnswers), test::rowName);

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
