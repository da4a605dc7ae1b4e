#include "platform/linux/SystemRandomSource.h"
#include "service/BetaError.h"
#include "signin/OAuthChallenge.h"
#include "support/ConfigFiles.h"
#include "support/Errors.h"
#include "support/Printers.h"

#include <QSet>

#include <gtest/gtest.h>

#include <cstring>
#include <optional>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::auth0Members;
using test::configFile;
using test::entraMembers;

// A random source that repeats a byte pattern, or fails.
class PatternSource final : public platform::RandomSource {
public:
    explicit PatternSource(std::optional<QByteArray> pattern) : pattern_(std::move(pattern)) {}
    bool fill(std::span<std::byte> bytes) override {
        if (!pattern_) {
            return false;
        }
        qsizetype next = 0;
        for (std::byte& byte : bytes) {
            byte = static_cast<std::byte>(pattern_->at(next));
            next = (next + 1) % pattern_->size();
        }
        return true;
    }

private:
    std::optional<QByteArray> pattern_;
};

// The system's source gives a different string each time; what one is made of is pinned below.
TEST(OAuthChallengeTest, RandomStringsFromTheSystemDiffer) {
    platform::linux_desktop::SystemRandomSource random;
    QSet<QString> seen;
    for (int draw = 0; draw < 200; ++draw) {
        seen.insert(OAuthChallenge::randomString(random));
    }
    EXPECT_EQ(seen.size(), 200);
}

TEST(OAuthChallengeTest, RandomStringIs32BytesAsUnpaddedBase64URLOrSignInFailed) {
    const struct {
        std::optional<QByteArray> pattern;
        std::optional<QString> expected;
    } cases[] = {
        {QByteArray(1, '\0'), QString(43, u'A')},
        // 0xFB 0xEF 0xBE is "++++" in standard Base64, 0xFF 0xFF 0xFF is "////".
        {"\xFB\xEF\xBE", QString(42, u'-') + u"8"_s},
        {"\xFF", QString(42, u'_') + u"8"_s},
        {std::nullopt, std::nullopt},
    };
    for (const auto& [pattern, expected] : cases) {
        PatternSource source(pattern);
        std::optional<QString> drawn;
        const auto error =
            test::codeThrownBy<BetaError>([&] { drawn = OAuthChallenge::randomString(source); });
        EXPECT_EQ(drawn, expected) << pattern.value_or("failing").toHex().toStdString();
        EXPECT_EQ(error, expected ? std::nullopt : std::optional(BetaError::signInFailed));
    }
}

// The verifier of the PKCE example, whose S256 challenge is "E9Melhoa...-cM".
const OAuthChallenge kChallenge{u"dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"_s,
                                u"Xq3_state-value"_s};

TEST(OAuthChallengeTest, AuthorizationURLCarriesTheNineItemsInOrder) {
    const QString commonItems =
        "&response_type=code&response_mode=query&redirect_uri=com.tidyword.beta://oauth/callback";
    const QString pkceItems =
        "&code_challenge=E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM"
        "&code_challenge_method=S256&state=Xq3_state-value";
    const QString auth0Start =
        "https://tidyword.eu.auth0.com/authorize?client_id=AbCdEf0123456789_-xyz" + commonItems +
        "&scope=openid%20offline_access%20access_as_user" + pkceItems;
    const struct {
        QByteArray config;
        QString expected;
    } cases[] = {
        {configFile(entraMembers()),
         "https://login.microsoftonline.com/contoso.onmicrosoft.com/oauth2/v2.0/authorize"
         "?client_id=8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60" +
             commonItems +
             "&scope=api://8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60/access_as_user%20offline_access" +
             pkceItems},
        {configFile(auth0Members()), auth0Start + "&audience=https://api.tidyword.example"},
        // A "+", "&" or "=" in a value must not read as a space or a new item.
        {configFile(auth0Members(), {{"audience", "https://api.tidyword.example/a+b&c=d"}}),
         auth0Start + "&audience=https://api.tidyword.example/a%2Bb%26c%3Dd"},
    };
    for (const auto& [config, expected] : cases) {
        EXPECT_EQ(
            kChallenge.authorizationURL(BetaConfig::parse(config)).toString(QUrl::FullyEncoded),
            expected);
    }
}

struct CallbackCase {
    const char* name;
    bool auth0;
    QString callback;
    std::optional<QString> code;  // the code, or else
    BetaError::Code error;        // the error

    friend void PrintTo(const CallbackCase& row, std::ostream* out) { *out << row.name; }
};

class AuthorizationCodeTest : public ::testing::TestWithParam<CallbackCase> {};

TEST_P(AuthorizationCodeTest, ChecksTheCallbackInOrder) {
    const auto& expected = GetParam();
    const auto config =
        BetaConfig::parse(configFile(expected.auth0 ? auth0Members() : entraMembers()));
    const QUrl callback(expected.callback);
    if (expected.code) {
        EXPECT_EQ(kChallenge.authorizationCode(callback, config), *expected.code);
    } else {
        EXPECT_EQ(
            test::codeThrownBy<BetaError>([&] { kChallenge.authorizationCode(callback, config); }),
            expected.error);
    }
}

const QString kRedirect = u"com.tidyword.beta://oauth/callback"_s;
const QString kState = u"state=Xq3_state-value"_s;
const QString kVerify = u"error_description=Verify+your+email,+then+sign+in+to+Tidyword+again."_s;
const QString kDenied = u"error=access_denied&"_s;
constexpr auto invalid = BetaError::invalidSignIn;
constexpr auto failed = BetaError::signInFailed;
constexpr auto verify = BetaError::emailVerificationRequired;

// The callback with the right state, then `items`.
QString stated(const QString& items) {
    return kRedirect + u"?"_s + kState + (items.isEmpty() ? QString() : u"&"_s + items);
}

CallbackCase accepted(const char* name, bool auth0, const QString& callback, const QString& code) {
    return {name, auth0, callback, code, BetaError::notConfigured};
}
CallbackCase refused(const char* name, bool auth0, const QString& callback, BetaError::Code code) {
    return {name, auth0, callback, std::nullopt, code};
}

const CallbackCase kCallbacks[] = {
    accepted("CodeAmongOtherItems", false,
             kRedirect + "?session_state=x&" + kState + "&code=abc&extra", "abc"),
    accepted("PercentEncodedCode", true, stated("code=a%2Bb%20c"), "a+b c"),
    accepted("PlusIsSpace", true, kRedirect + "?code=a+b&" + kState, "a b"),
    accepted("Code16384", false, stated("code=" + QString(16'384, u'c')), QString(16'384, u'c')),
    accepted("CodeOfUtf8", false, stated("code=a%C3%A9"), u"a\u00e9"_s),
    refused("CodeNotUtf8", false, stated("code=a%C3"), invalid),
    refused("Code16385", false, stated("code=" + QString(16'385, u'c')), invalid),
    refused("TrailingSlash", false, kRedirect + "/?" + kState + "&code=abc", invalid),
    refused("OtherScheme", false, "https://oauth/callback?" + kState + "&code=abc", invalid),
    refused("Fragment", false, stated("code=abc#frag"), invalid),
    refused("NoQuery", false, kRedirect, invalid),
    refused("NoState", false, kRedirect + "?code=abc", invalid),
    refused("WrongState", false, kRedirect + "?state=other&code=abc", invalid),
    refused("StateInCapitals", false, kRedirect + "?STATE=Xq3_state-value&code=abc", invalid),
    refused("StateWithoutValue", false, kRedirect + "?state&code=abc", invalid),
    refused("DuplicateState", false, stated(kState + "&code=abc"), invalid),
    refused("WrongStateBeforeError", true, kRedirect + "?state=other&" + kDenied + kVerify,
            invalid),
    refused("EntraError", false, stated("error=access_denied"), failed),
    refused("UnverifiedEmail", true, stated(kDenied + kVerify), verify),
    refused("UnverifiedEmailPercentEncoded", true,
            stated(kDenied + "error_description=Verify%20your%20email,%20then%20"
                             "sign%20in%20to%20Tidyword%20again."),
            verify),
    refused("UnverifiedEmailWithCode", true, stated(kDenied + "code=abc&" + kVerify), failed),
    refused("UnverifiedEmailUnderEntra", false, stated(kDenied + kVerify), failed),
    refused("TwoErrors", true, stated(kDenied + kDenied + kVerify), failed),
    refused("OtherDescription", true, stated(kDenied + "error_description=Denied"), failed),
    refused("OtherAuth0Error", true, stated("error=login_required&" + kVerify), failed),
    refused("NoCode", false, stated({}), invalid),
    refused("TwoCodes", false, stated("code=a&code=b"), invalid),
    refused("EmptyCode", false, stated("code="), invalid),
    refused("CodeWithoutValue", false, stated("code"), invalid),
};

INSTANTIATE_TEST_SUITE_P(Callbacks, AuthorizationCodeTest, ::testing::ValuesIn(kCallbacks),
                         test::rowName);

}  // namespace
}  // namespace tidyword
