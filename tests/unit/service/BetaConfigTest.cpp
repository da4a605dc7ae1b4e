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

bool parses(const QByteArray& file) {
    const auto error = test::codeThrownBy<BetaError>([&file] { BetaConfig::parse(file); });
    EXPECT_TRUE(!error || *error == BetaError::notConfigured);
    return !error;
}

struct MemberCase {
    const char* name;
    bool accepted;
    std::function<ConfigMembers()> base;
    ConfigMembers changes;

    // The same row with one more member changed.
    MemberCase with(const QString& key, const std::optional<QString>& value) const {
        MemberCase changed = *this;
        changed.changes[key] = value;
        return changed;
    }
    friend void PrintTo(const MemberCase& row, std::ostream* out) { *out << row.name; }
};

class BetaConfigMemberTest : public ::testing::TestWithParam<MemberCase> {};

TEST_P(BetaConfigMemberTest, AcceptsOnlyValidMembers) {
    EXPECT_EQ(parses(configFile(GetParam().base(), GetParam().changes)), GetParam().accepted);
}

const auto entra = entraMembers;
const auto auth0 = auth0Members;
const auto local = localMembers;
const std::optional<QString> absent;
constexpr bool accepted = true;
constexpr bool refused = false;

// The valid file of `base` with `key` set to `value`, or left out when it has none.
MemberCase row(const char* name, bool accepts, std::function<ConfigMembers()> base,
               const QString& key = {}, const std::optional<QString>& value = {}) {
    MemberCase made{name, accepts, std::move(base), {}};
    return key.isEmpty() ? made : made.with(key, value);
}

QString repeated(QChar character, int count) {
    return QString(count, character);
}

const MemberCase kCommonMembers[] = {
    row("EntraAsGiven", accepted, entra),
    row("Auth0AsGiven", accepted, auth0),
    row("NoProviderMeansEntra", accepted, entra, "provider", absent),
    row("NoProviderIsNotAuth0", refused, auth0, "provider", absent),
    row("ProviderInCapitals", refused, entra, "provider", "Entra"),
    row("UnknownProvider", refused, entra, "provider", "okta"),
    row("NoApiBaseURL", refused, entra, "api_base_url", absent),
    row("NoAuthority", refused, entra, "authority", absent),
    row("NoClientID", refused, entra, "client_id", absent),
    row("NoScope", refused, entra, "scope", absent),
    row("NoRedirectURI", refused, entra, "redirect_uri", absent),
    row("HttpService", refused, entra, "api_base_url", "http://api.tidyword.example/"),
    row("HttpsInCapitals", refused, entra, "api_base_url", "HTTPS://api.tidyword.example/"),
    row("EmptyUserInfo", refused, entra, "api_base_url", "https://@api.tidyword.example/"),
    row("EmptyQuery", refused, entra, "api_base_url", "https://api.tidyword.example/?"),
    row("Fragment", refused, entra, "api_base_url", "https://api.tidyword.example/#top"),
    row("Port443", accepted, entra, "api_base_url", "https://api.tidyword.example:443/"),
    row("Port8443", refused, entra, "api_base_url", "https://api.tidyword.example:8443/"),
    row("NoHost", refused, entra, "api_base_url", "https:///v1"),
    row("EmptyURL", refused, entra, "api_base_url", ""),
    row("NotAURL", refused, entra, "api_base_url", "https://api tidyword"),
    row("AuthorityPort", refused, entra, "authority",
        "https://login.microsoftonline.com:444/contoso"),
    row("RedirectInCapitals", refused, entra, "redirect_uri", "COM.tidyword.beta://oauth/callback"),
    row("Scope512", accepted, entra, "scope", "api://" + repeated(u'a', 506)),
    row("Scope513", refused, entra, "scope", "api://" + repeated(u'a', 507)),
};
INSTANTIATE_TEST_SUITE_P(Common, BetaConfigMemberTest, ::testing::ValuesIn(kCommonMembers),
                         test::rowName);

const MemberCase kEntraMembers[] = {
    row("TenantWithTrailingSlash", accepted, entra, "authority",
        "https://login.microsoftonline.com/contoso.onmicrosoft.com/"),
    row("TenantAndVersion", refused, entra, "authority",
        "https://login.microsoftonline.com/contoso/v2.0"),
    row("NoTenant", refused, entra, "authority", "https://login.microsoftonline.com/"),
    row("OrganizationsInCapitals", refused, entra, "authority",
        "https://login.microsoftonline.com/ORGANIZATIONS"),
    row("ConsumersMixedCase", refused, entra, "authority",
        "https://login.microsoftonline.com/Consumers/"),
    row("EncodedCommon", refused, entra, "authority", "https://login.microsoftonline.com/%63ommon"),
    row("HostInCapitals", accepted, entra, "authority",
        "https://LOGIN.microsoftonline.com/contoso"),
    row("ExternalIDTenant", accepted, entra, "authority",
        "https://contoso.ciamlogin.com/contoso.onmicrosoft.com"),
    row("ExternalIDTwoLabels", refused, entra, "authority",
        "https://a.contoso.ciamlogin.com/contoso"),
    row("LookalikeHost", refused, entra, "authority",
        "https://login.microsoftonline.com.evil.example/contoso"),
    row("ClientIDInCapitals", accepted, entra, "client_id", "8F0E5C1A-3B2D-4C5E-9F7A-1B2C3D4E5F60"),
    row("ClientIDInBraces", refused, entra, "client_id", "{8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60}"),
    row("Audience", refused, entra, "audience", "https://api.tidyword.example"),
    row("HttpsScope", accepted, entra, "scope", "https://api.tidyword.example/user"),
    row("OpenIDScope", refused, entra, "scope", "openid"),
    row("ScopeWithNoBreakSpace", refused, entra, "scope", u"api://x/a\u00A0b"_s),
};
INSTANTIATE_TEST_SUITE_P(Entra, BetaConfigMemberTest, ::testing::ValuesIn(kEntraMembers),
                         test::rowName);

const MemberCase kAuth0Members[] = {
    row("ScopeWithProfileAndEmail", accepted, auth0, "scope",
        "profile openid email offline_access access_as_user"),
    row("TrailingSpace", refused, auth0, "scope", "openid offline_access access_as_user "),
    row("DoubledSpace", refused, auth0, "scope", "openid  offline_access access_as_user"),
    row("RepeatedToken", refused, auth0, "scope", "openid offline_access access_as_user openid"),
    row("MissingAccessAsUser", refused, auth0, "scope", "openid offline_access"),
    row("UnknownToken", refused, auth0, "scope", "openid offline_access access_as_user phone"),
    row("AuthorityRootPath", accepted, auth0, "authority", "https://tidyword.eu.auth0.com/"),
    row("AuthorityLongerPath", refused, auth0, "authority", "https://tidyword.eu.auth0.com/x"),
    row("OneLabelTenant", accepted, auth0, "authority", "https://tidyword.auth0.com"),
    row("ThreeLabels", refused, auth0, "authority", "https://a.b.c.auth0.com"),
    row("LeadingHyphen", refused, auth0, "authority", "https://-tidyword.auth0.com"),
    row("LookalikeDomain", refused, auth0, "authority", "https://tidywordauth0.com"),
    row("ForeignDomain", refused, auth0, "authority", "https://tidyword.auth0.com.evil.example"),
    row("ClientID128", accepted, auth0, "client_id", repeated(u'a', 128)),
    row("ClientID129", refused, auth0, "client_id", repeated(u'a', 129)),
    row("EmptyClientID", refused, auth0, "client_id", ""),
    row("NoAudience", refused, auth0, "audience", absent),
    row("UrnAudience", accepted, auth0, "audience", "urn:tidyword:api"),
    row("BareUrn", refused, auth0, "audience", "urn:"),
    row("UrnWithTrailingLineBreak", refused, auth0, "audience", "urn:tidyword\n"),
    row("Urn512", accepted, auth0, "audience", "urn:" + repeated(u'a', 508)),
    row("Urn513", refused, auth0, "audience", "urn:" + repeated(u'a', 509)),
    row("HttpsAudienceWithPath", accepted, auth0, "audience", "https://api.tidyword.example/v1"),
    row("HttpAudience", refused, auth0, "audience", "http://api.tidyword.example"),
};
INSTANTIATE_TEST_SUITE_P(Auth0, BetaConfigMemberTest, ::testing::ValuesIn(kAuth0Members),
                         test::rowName);

// A valid local configuration is accepted by a build with the option alone; everything else
// about it is refused by both kinds of build.
const MemberCase kLocalMembers[] = {
    row("LocalAsGiven", kLocalBuild, local),
    row("Localhost", kLocalBuild, local, "api_base_url", "https://localhost:8443/")
        .with("authority", "https://LOCALHOST:8443"),
    row("ServiceAndAuthorityOnTwoPorts", refused, local, "authority", "https://127.0.0.1:8444"),
    row("NoPort", refused, local, "api_base_url", "https://127.0.0.1")
        .with("authority", "https://127.0.0.1"),
    row("OtherLoopbackAddress", refused, local, "api_base_url", "https://127.0.0.2:8443")
        .with("authority", "https://127.0.0.2:8443"),
    row("LookalikeHost", refused, local, "authority", "https://localhost.evil.example:8443"),
    row("Http", refused, local, "api_base_url", "http://127.0.0.1:8443"),
    row("Credentials", refused, local, "authority", "https://me@127.0.0.1:8443"),
    row("Path", refused, local, "api_base_url", "https://127.0.0.1:8443/v1"),
    row("Query", refused, local, "authority", "https://127.0.0.1:8443/?tenant=x"),
    row("Fragment", refused, local, "api_base_url", "https://127.0.0.1:8443/#x"),
    row("NoCertificateAuthority", refused, local, "certificate_authority", absent),
    row("PortZero", refused, local, "api_base_url", "https://127.0.0.1:0")
        .with("authority", "https://127.0.0.1:0"),
    row("RelativeCertificateAuthority", refused, local, "certificate_authority", "ca.pem"),
    row("CertificateAuthorityPathOf4096", kLocalBuild, local, "certificate_authority",
        "/" + repeated(u'a', 4095)),
    row("CertificateAuthorityPathOf4097", refused, local, "certificate_authority",
        "/" + repeated(u'a', 4096)),
    row("CertificateAuthorityWithLineBreak", refused, local, "certificate_authority",
        "/tmp/ca.pem\n"),
    row("ScopeWithoutAccessAsUser", refused, local, "scope", "openid offline_access"),
    row("NoAudience", refused, local, "audience", absent),
    row("Auth0WithCertificateAuthority", refused, auth0, "certificate_authority",
        "/run/tidyword-standin/ca.pem"),
};
INSTANTIATE_TEST_SUITE_P(Local, BetaConfigMemberTest, ::testing::ValuesIn(kLocalMembers),
                         test::rowName);

// The file's bytes as written, for what a member map cannot express.
struct FileCase {
    const char* name;
    QByteArray file;
    bool accepted;

    friend void PrintTo(const FileCase& row, std::ostream* out) { *out << row.name; }
};

class BetaConfigFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(BetaConfigFileTest, AcceptsOnlyOneObjectOfStrings) {
    EXPECT_EQ(parses(GetParam().file), GetParam().accepted);
}

// The valid Entra file with `text` spliced in before its closing brace.
QByteArray entraWith(const QByteArray& text, const ConfigMembers& changes = {}) {
    QByteArray file = configFile(entraMembers(), changes).trimmed();
    file.chop(1);
    return file + text + "}";
}

// The valid Entra file with its scope written as the JSON value `json`: any scope without
// whitespace is valid, so only the JSON decides.
QByteArray scopeWritten(const QByteArray& json) {
    return entraWith(R"(,"scope":)" + json, {{"scope", absent}});
}

QByteArray paddedTo(qsizetype size) {
    QByteArray file = configFile(entraMembers());
    return file + QByteArray(size - file.size(), ' ');
}

const FileCase kFiles[] = {
    {"Exactly16384Bytes", paddedTo(16'384), true},
    {"Over16384Bytes", paddedTo(16'385), false},
    {"Empty", "", false},
    {"EmptyObject", "{}", false},
    {"TopLevelArray", "[" + configFile(entraMembers()) + "]", false},
    {"NumberValue", scopeWritten("5"), false},
    {"NestedObject", scopeWritten(R"({"a":"b"})"), false},
    {"ExtraKey", entraWith(R"(,"prompt":"login")"), false},
    {"DuplicateKey", entraWith(R"(,"provider":"entra")"), false},
    {"TrailingComma", entraWith(","), false},
    {"TrailingGarbage", configFile(entraMembers()) + "x", false},
    {"TrailingWhitespace", configFile(entraMembers()) + "\r\n\t ", true},
    {"EscapedCharacters", scopeWritten(R"("\u0061pi:\/\/x\/\u006f\u0079\ud83d\ude00")"), true},
    {"LoneHighSurrogateEscape", scopeWritten(R"("api://x\ud800")"), false},
    {"HighSurrogateBeforeAnotherEscape", scopeWritten(R"("api://x\ud800\u0041")"), false},
    {"LoneLowSurrogateEscape", scopeWritten(R"("api://x\udc00")"), false},
    {"InvalidEscape", scopeWritten(R"("api://x\q")"), false},
    {"RawControlCharacter", scopeWritten("\"api://x\x01\""), false},
    {"InvalidUTF8", scopeWritten("\"api://x\xC3\x28\""), false},
};
INSTANTIATE_TEST_SUITE_P(Files, BetaConfigFileTest, ::testing::ValuesIn(kFiles), test::rowName);

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
        EXPECT_EQ(config.authorizationEndpoint().toString(), expected.authorization)
            << expected.authority;
        EXPECT_EQ(config.tokenEndpoint().toString(), expected.token) << expected.authority;
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

    const std::pair<const char*, std::function<void(BetaConfig&)>> changes[] = {
        {"provider", [](BetaConfig& c) { c.provider = IdentityProvider::entra; }},
        {"api_base_url",
         [](BetaConfig& c) { c.apiBaseURL = QUrl("https://api2.tidyword.example"); }},
        {"authority", [](BetaConfig& c) { c.authority = QUrl("https://other.eu.auth0.com"); }},
        {"client_id", [](BetaConfig& c) { c.clientID += u'x'; }},
        {"audience", [](BetaConfig& c) { c.audience.reset(); }},
        {"scope", [](BetaConfig& c) { c.scope += u" email"_s; }},
        {"redirect_uri",
         [](BetaConfig& c) { c.redirectURI = QUrl("com.tidyword.beta://oauth/x"); }},
    };
    for (const auto& [member, change] : changes) {
        BetaConfig changed = base;
        change(changed);
        EXPECT_NE(changed.sessionIdentifier(), base.sessionIdentifier()) << member;
    }
}

}  // namespace
}  // namespace tidyword
