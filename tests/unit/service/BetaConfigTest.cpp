#include "service/BetaConfig.h"
#include "service/BetaError.h"
#include "support/ConfigFiles.h"
#include "support/Errors.h"
#include "support/Printers.h"

#include <gtest/gtest.h>

#include <functional>

namespace tidyword {
namespace {

using namespace Qt::Literals::StringLiterals;
using test::auth0Members;
using test::configFile;
using test::ConfigMembers;
using test::entraMembers;
using test::localMembers;

// This program is compiled twice, as a build with the local test service option and as one
// without, and checks the configuration parser of the same kind of build.
#ifdef TIDYWORD_LOCAL_TEST_SERVICE
constexpr bool kLocalBuild = true;
#else
constexpr bool kLocalBuild = false;
#endif

bool accepts(const QByteArray& file) {
    const auto error = test::codeThrownBy<BetaError>([&file] { BetaConfig::parse(file); });
    EXPECT_TRUE(!error || *error == BetaError::notConfigured);
    return !error;
}

struct MemberCase {
    const char* name;
    std::function<ConfigMembers()> base;
    ConfigMembers changes;
    bool accepted;

    friend void PrintTo(const MemberCase& test, std::ostream* out) { *out << test.name; }
};

class BetaConfigMemberTest : public ::testing::TestWithParam<MemberCase> {};

TEST_P(BetaConfigMemberTest, AcceptsOnlyValidMembers) {
    EXPECT_EQ(accepts(configFile(GetParam().base(), GetParam().changes)), GetParam().accepted);
}

const auto entra = entraMembers;
const auto auth0 = auth0Members;
const auto local = localMembers;
const std::optional<QString> absent;

QString repeated(QChar character, int count) {
    return QString(count, character);
}

INSTANTIATE_TEST_SUITE_P(
    Common, BetaConfigMemberTest,
    ::testing::Values(
        MemberCase{"EntraAsGiven", entra, {}, true}, MemberCase{"Auth0AsGiven", auth0, {}, true},
        MemberCase{"NoProviderMeansEntra", entra, {{"provider", absent}}, true},
        MemberCase{"NoProviderIsNotAuth0", auth0, {{"provider", absent}}, false},
        MemberCase{"ProviderInCapitals", entra, {{"provider", "Entra"}}, false},
        MemberCase{"UnknownProvider", entra, {{"provider", "okta"}}, false},
        MemberCase{"NoApiBaseURL", entra, {{"api_base_url", absent}}, false},
        MemberCase{"NoAuthority", entra, {{"authority", absent}}, false},
        MemberCase{"NoClientID", entra, {{"client_id", absent}}, false},
        MemberCase{"NoScope", entra, {{"scope", absent}}, false},
        MemberCase{"NoRedirectURI", entra, {{"redirect_uri", absent}}, false},
        MemberCase{"HttpService", entra, {{"api_base_url", "http://api.tidyword.example/"}}, false},
        MemberCase{
            "HttpsInCapitals", entra, {{"api_base_url", "HTTPS://api.tidyword.example/"}}, false},
        MemberCase{
            "UserName", entra, {{"api_base_url", "https://me@api.tidyword.example/"}}, false},
        MemberCase{
            "EmptyUserInfo", entra, {{"api_base_url", "https://@api.tidyword.example/"}}, false},
        MemberCase{
            "Password", entra, {{"api_base_url", "https://me:pw@api.tidyword.example/"}}, false},
        MemberCase{"Query", entra, {{"api_base_url", "https://api.tidyword.example/?v=1"}}, false},
        MemberCase{
            "EmptyQuery", entra, {{"api_base_url", "https://api.tidyword.example/?"}}, false},
        MemberCase{
            "Fragment", entra, {{"api_base_url", "https://api.tidyword.example/#top"}}, false},
        MemberCase{"Port443", entra, {{"api_base_url", "https://api.tidyword.example:443/"}}, true},
        MemberCase{
            "Port8443", entra, {{"api_base_url", "https://api.tidyword.example:8443/"}}, false},
        MemberCase{"NoHost", entra, {{"api_base_url", "https:///v1"}}, false},
        MemberCase{"EmptyURL", entra, {{"api_base_url", ""}}, false},
        MemberCase{"NotAURL", entra, {{"api_base_url", "https://api tidyword"}}, false},
        MemberCase{"HttpAuthority",
                   entra,
                   {{"authority", "http://login.microsoftonline.com/contoso"}},
                   false},
        MemberCase{"AuthorityPort",
                   entra,
                   {{"authority", "https://login.microsoftonline.com:444/contoso"}},
                   false},
        MemberCase{"RedirectWithSlash",
                   entra,
                   {{"redirect_uri", "com.tidyword.beta://oauth/callback/"}},
                   false},
        MemberCase{"RedirectInCapitals",
                   entra,
                   {{"redirect_uri", "COM.tidyword.beta://oauth/callback"}},
                   false},
        MemberCase{"OtherRedirect",
                   auth0,
                   {{"redirect_uri", "com.tidyword.beta://oauth/Callback"}},
                   false},
        MemberCase{"Scope512", entra, {{"scope", "api://" + repeated(u'a', 506)}}, true},
        MemberCase{"Scope513", entra, {{"scope", "api://" + repeated(u'a', 507)}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Entra, BetaConfigMemberTest,
    ::testing::Values(
        MemberCase{"TenantWithTrailingSlash",
                   entra,
                   {{"authority", "https://login.microsoftonline.com/contoso.onmicrosoft.com/"}},
                   true},
        MemberCase{"TenantAndVersion",
                   entra,
                   {{"authority", "https://login.microsoftonline.com/contoso/v2.0"}},
                   false},
        MemberCase{"NoTenant", entra, {{"authority", "https://login.microsoftonline.com/"}}, false},
        MemberCase{
            "Common", entra, {{"authority", "https://login.microsoftonline.com/common"}}, false},
        MemberCase{"OrganizationsInCapitals",
                   entra,
                   {{"authority", "https://login.microsoftonline.com/ORGANIZATIONS"}},
                   false},
        MemberCase{"ConsumersMixedCase",
                   entra,
                   {{"authority", "https://login.microsoftonline.com/Consumers/"}},
                   false},
        MemberCase{"EncodedCommon",
                   entra,
                   {{"authority", "https://login.microsoftonline.com/%63ommon"}},
                   false},
        MemberCase{"HostInCapitals",
                   entra,
                   {{"authority", "https://LOGIN.microsoftonline.com/contoso"}},
                   true},
        MemberCase{"ExternalIDTenant",
                   entra,
                   {{"authority", "https://contoso.ciamlogin.com/contoso.onmicrosoft.com"}},
                   true},
        MemberCase{"ExternalIDTwoLabels",
                   entra,
                   {{"authority", "https://a.contoso.ciamlogin.com/contoso"}},
                   false},
        MemberCase{"LookalikeHost",
                   entra,
                   {{"authority", "https://login.microsoftonline.com.evil.example/contoso"}},
                   false},
        MemberCase{"ClientIDInCapitals",
                   entra,
                   {{"client_id", "8F0E5C1A-3B2D-4C5E-9F7A-1B2C3D4E5F60"}},
                   true},
        MemberCase{"ClientIDWithoutHyphens",
                   entra,
                   {{"client_id", "8f0e5c1a3b2d4c5e9f7a1b2c3d4e5f60"}},
                   false},
        MemberCase{"ClientIDInBraces",
                   entra,
                   {{"client_id", "{8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60}"}},
                   false},
        MemberCase{"Audience", entra, {{"audience", "https://api.tidyword.example"}}, false},
        MemberCase{"HttpsScope", entra, {{"scope", "https://api.tidyword.example/user"}}, true},
        MemberCase{"OpenIDScope", entra, {{"scope", "openid"}}, false},
        MemberCase{"ScopeWithSpace", entra, {{"scope", "api://x/access_as_user openid"}}, false},
        MemberCase{"ScopeWithLineBreak", entra, {{"scope", "api://x/access_as_user\n"}}, false},
        MemberCase{"ScopeWithNoBreakSpace", entra, {{"scope", u"api://x/a\u00A0b"_s}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Auth0, BetaConfigMemberTest,
    ::testing::Values(
        MemberCase{"ScopeWithEmail",
                   auth0,
                   {{"scope", "openid offline_access access_as_user email"}},
                   true},
        MemberCase{"ScopeWithProfileAndEmail",
                   auth0,
                   {{"scope", "profile openid email offline_access access_as_user"}},
                   true},
        MemberCase{
            "LeadingSpace", auth0, {{"scope", " openid offline_access access_as_user"}}, false},
        MemberCase{
            "TrailingSpace", auth0, {{"scope", "openid offline_access access_as_user "}}, false},
        MemberCase{
            "DoubledSpace", auth0, {{"scope", "openid  offline_access access_as_user"}}, false},
        MemberCase{
            "TabSeparator", auth0, {{"scope", "openid\toffline_access access_as_user"}}, false},
        MemberCase{"RepeatedToken",
                   auth0,
                   {{"scope", "openid offline_access access_as_user openid"}},
                   false},
        MemberCase{"MissingAccessAsUser", auth0, {{"scope", "openid offline_access"}}, false},
        MemberCase{"UnknownToken",
                   auth0,
                   {{"scope", "openid offline_access access_as_user phone"}},
                   false},
        MemberCase{
            "AuthorityRootPath", auth0, {{"authority", "https://tidyword.eu.auth0.com/"}}, true},
        MemberCase{"AuthorityLongerPath",
                   auth0,
                   {{"authority", "https://tidyword.eu.auth0.com/x"}},
                   false},
        MemberCase{"OneLabelTenant", auth0, {{"authority", "https://tidyword.auth0.com"}}, true},
        MemberCase{"ThreeLabels", auth0, {{"authority", "https://a.b.c.auth0.com"}}, false},
        MemberCase{"LeadingHyphen", auth0, {{"authority", "https://-tidyword.auth0.com"}}, false},
        MemberCase{"LookalikeDomain", auth0, {{"authority", "https://tidywordauth0.com"}}, false},
        MemberCase{"ForeignDomain",
                   auth0,
                   {{"authority", "https://tidyword.auth0.com.evil.example"}},
                   false},
        MemberCase{"ClientID128", auth0, {{"client_id", repeated(u'a', 128)}}, true},
        MemberCase{"ClientID129", auth0, {{"client_id", repeated(u'a', 129)}}, false},
        MemberCase{"ClientIDPunctuation", auth0, {{"client_id", "abc.def"}}, false},
        MemberCase{"EmptyClientID", auth0, {{"client_id", ""}}, false},
        MemberCase{"NoAudience", auth0, {{"audience", absent}}, false},
        MemberCase{"UrnAudience", auth0, {{"audience", "urn:tidyword:api"}}, true},
        MemberCase{"BareUrn", auth0, {{"audience", "urn:"}}, false},
        MemberCase{"EmptyAudience", auth0, {{"audience", ""}}, false},
        MemberCase{"UrnWithSpace", auth0, {{"audience", "urn:tidyword api"}}, false},
        MemberCase{"UrnWithTrailingLineBreak", auth0, {{"audience", "urn:tidyword\n"}}, false},
        MemberCase{"Urn512", auth0, {{"audience", "urn:" + repeated(u'a', 508)}}, true},
        MemberCase{"Urn513", auth0, {{"audience", "urn:" + repeated(u'a', 509)}}, false},
        MemberCase{"HttpsAudienceWithPath",
                   auth0,
                   {{"audience", "https://api.tidyword.example/v1"}},
                   true},
        MemberCase{"HttpAudience", auth0, {{"audience", "http://api.tidyword.example"}}, false},
        MemberCase{
            "AudienceWithPort", auth0, {{"audience", "https://api.tidyword.example:8443"}}, false},
        MemberCase{
            "AudienceWithQuery", auth0, {{"audience", "https://api.tidyword.example?x=1"}}, false}),
    [](const auto& info) { return std::string(info.param.name); });

// A valid local configuration is accepted by a build with the option alone; everything else
// about it is refused by both kinds of build.
INSTANTIATE_TEST_SUITE_P(
    Local, BetaConfigMemberTest,
    ::testing::Values(
        MemberCase{"LocalAsGiven", local, {}, kLocalBuild},
        MemberCase{
            "Localhost",
            local,
            {{"api_base_url", "https://localhost:8443/"}, {"authority", "https://LOCALHOST:8443"}},
            kLocalBuild},
        MemberCase{"ServiceAndAuthorityOnTwoPorts",
                   local,
                   {{"authority", "https://127.0.0.1:8444"}},
                   false},
        MemberCase{"NoPort",
                   local,
                   {{"api_base_url", "https://127.0.0.1"}, {"authority", "https://127.0.0.1"}},
                   false},
        MemberCase{
            "OtherLoopbackAddress",
            local,
            {{"api_base_url", "https://127.0.0.2:8443"}, {"authority", "https://127.0.0.2:8443"}},
            false},
        MemberCase{
            "RemoteHost", local, {{"api_base_url", "https://api.tidyword.example:8443"}}, false},
        MemberCase{
            "LookalikeHost", local, {{"authority", "https://localhost.evil.example:8443"}}, false},
        MemberCase{"Http", local, {{"api_base_url", "http://127.0.0.1:8443"}}, false},
        MemberCase{"Credentials", local, {{"authority", "https://me@127.0.0.1:8443"}}, false},
        MemberCase{"Path", local, {{"api_base_url", "https://127.0.0.1:8443/v1"}}, false},
        MemberCase{"Query", local, {{"authority", "https://127.0.0.1:8443/?tenant=x"}}, false},
        MemberCase{"Fragment", local, {{"api_base_url", "https://127.0.0.1:8443/#x"}}, false},
        MemberCase{"NoCertificateAuthority", local, {{"certificate_authority", absent}}, false},
        MemberCase{
            "RelativeCertificateAuthority", local, {{"certificate_authority", "ca.pem"}}, false},
        MemberCase{"CertificateAuthorityWithLineBreak",
                   local,
                   {{"certificate_authority", "/tmp/ca.pem\n"}},
                   false},
        MemberCase{"ScopeWithoutAccessAsUser", local, {{"scope", "openid offline_access"}}, false},
        MemberCase{"NoAudience", local, {{"audience", absent}}, false},
        MemberCase{"Auth0WithCertificateAuthority",
                   auth0,
                   {{"certificate_authority", "/run/tidyword-standin/ca.pem"}},
                   false},
        MemberCase{"EntraWithCertificateAuthority",
                   entra,
                   {{"certificate_authority", "/run/tidyword-standin/ca.pem"}},
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

// The file's bytes as written, for what a member map cannot express.
struct FileCase {
    const char* name;
    QByteArray file;
    bool accepted;

    friend void PrintTo(const FileCase& test, std::ostream* out) { *out << test.name; }
};

class BetaConfigFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(BetaConfigFileTest, AcceptsOnlyOneObjectOfStrings) {
    EXPECT_EQ(accepts(GetParam().file), GetParam().accepted);
}

// The valid Entra file with `text` spliced in before its closing brace.
QByteArray entraWith(const QByteArray& text) {
    QByteArray file = configFile(entraMembers()).trimmed();
    file.chop(1);
    return file + text + "}";
}

QByteArray paddedTo(qsizetype size) {
    QByteArray file = configFile(entraMembers());
    return file + QByteArray(size - file.size(), ' ');
}

INSTANTIATE_TEST_SUITE_P(
    Files, BetaConfigFileTest,
    ::testing::Values(FileCase{"Exactly16384Bytes", paddedTo(16'384), true},
                      FileCase{"Over16384Bytes", paddedTo(16'385), false},
                      FileCase{"Empty", "", false}, FileCase{"EmptyObject", "{}", false},
                      FileCase{"TopLevelArray", "[" + configFile(entraMembers()) + "]", false},
                      FileCase{"TopLevelString", "\"https://api.tidyword.example\"", false},
                      FileCase{"NumberValue", entraWith(R"(,"audience":5)"), false},
                      FileCase{"NullAudience", entraWith(R"(,"audience":null)"), false},
                      FileCase{"BooleanValue", entraWith(R"(,"audience":true)"), false},
                      FileCase{"NestedObject", entraWith(R"(,"audience":{"a":"b"})"), false},
                      FileCase{"ArrayValue", entraWith(R"(,"audience":["a"])"), false},
                      FileCase{"ExtraKey", entraWith(R"(,"prompt":"login")"), false},
                      FileCase{"DuplicateKey", entraWith(R"(,"provider":"entra")"), false},
                      FileCase{"TrailingComma", entraWith(","), false},
                      FileCase{"TrailingGarbage", configFile(entraMembers()) + "x", false},
                      FileCase{"SecondObject", configFile(entraMembers()) + "{}", false},
                      FileCase{"TrailingWhitespace", configFile(entraMembers()) + "\r\n\t ", true},
                      FileCase{
                          "EscapedCharacters",
                          configFile(entraMembers(), {{"scope", absent}}).trimmed().chopped(1) +
                              R"(,"scope":"\u0061pi:\/\/x\/access_as_user"})",
                          true},
                      FileCase{"LoneSurrogateEscape", entraWith(R"(,"audience":"\ud800")"), false},
                      FileCase{"InvalidEscape", entraWith(R"(,"audience":"\q")"), false},
                      FileCase{"RawControlCharacter", entraWith(",\"audience\":\"a\tb\""), false},
                      FileCase{"InvalidUTF8", entraWith(",\"audience\":\"\xC3\x28\""), false},
                      FileCase{"SingleQuotes", "{'provider':'entra'}", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BetaConfigTest, DerivesEndpointsWithOneSlash) {
    const struct {
        std::function<ConfigMembers()> base;
        const char* authority;
        const char* authorization;
        const char* token;
    } cases[] = {
        {entra, "https://login.microsoftonline.com/contoso",
         "https://login.microsoftonline.com/contoso/oauth2/v2.0/authorize",
         "https://login.microsoftonline.com/contoso/oauth2/v2.0/token"},
        {entra, "https://login.microsoftonline.com/contoso/",
         "https://login.microsoftonline.com/contoso/oauth2/v2.0/authorize",
         "https://login.microsoftonline.com/contoso/oauth2/v2.0/token"},
        {auth0, "https://tidyword.eu.auth0.com", "https://tidyword.eu.auth0.com/authorize",
         "https://tidyword.eu.auth0.com/oauth/token"},
        {auth0, "https://tidyword.eu.auth0.com/", "https://tidyword.eu.auth0.com/authorize",
         "https://tidyword.eu.auth0.com/oauth/token"},
    };
    for (const auto& expected : cases) {
        const auto config =
            BetaConfig::parse(configFile(expected.base(), {{"authority", expected.authority}}));
        EXPECT_EQ(config.authorizationEndpoint().toString(), expected.authorization);
        EXPECT_EQ(config.tokenEndpoint().toString(), expected.token);
    }
}

TEST(BetaConfigTest, SessionIdentifierJoinsTheSevenValuesAndFollowsEachOfThem) {
    const BetaConfig base = BetaConfig::parse(configFile(auth0Members()));
    EXPECT_EQ(base.sessionIdentifier(),
              "auth0|https://api.tidyword.example|https://tidyword.eu.auth0.com|"
              "AbCdEf0123456789_-xyz|https://api.tidyword.example|"
              "openid offline_access access_as_user|com.tidyword.beta://oauth/callback");
    EXPECT_EQ(BetaConfig::parse(configFile(auth0Members())).sessionIdentifier(),
              base.sessionIdentifier());

    const std::function<void(BetaConfig&)> changes[] = {
        [](BetaConfig& config) { config.provider = IdentityProvider::entra; },
        [](BetaConfig& config) { config.apiBaseURL = QUrl("https://api2.tidyword.example"); },
        [](BetaConfig& config) { config.authority = QUrl("https://other.eu.auth0.com"); },
        [](BetaConfig& config) { config.clientID += u'x'; },
        [](BetaConfig& config) { config.audience.reset(); },
        [](BetaConfig& config) { config.scope += u" email"_s; },
        [](BetaConfig& config) { config.redirectURI = QUrl("com.tidyword.beta://oauth/other"); },
    };
    for (const auto& change : changes) {
        BetaConfig changed = base;
        change(changed);
        EXPECT_NE(changed.sessionIdentifier(), base.sessionIdentifier());
    }
}

}  // namespace
}  // namespace tidyword
