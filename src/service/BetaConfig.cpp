#include "service/BetaConfig.h"

#include "base/Characters.h"
#include "service/BetaError.h"
#include "service/StrictJson.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

// Host names of the two identity providers; only the labels in front of them vary.
constexpr auto kEntraGlobalHost = u"login.microsoftonline.com";
constexpr auto kEntraExternalIDDomain = u"ciamlogin.com";
constexpr auto kAuth0Domain = u"auth0.com";

constexpr qsizetype kMaximumScopeLength = 512;
constexpr qsizetype kMaximumAudienceLength = 512;
constexpr qsizetype kMaximumPathLength = 4096;

// Whether this build takes the stand-in on loopback for its deployment: only builds for
// `make run` and its tests do, and an installed build never has the option.
#ifdef TIDYWORD_LOCAL_TEST_SERVICE
constexpr bool kAcceptsLocalTestService = true;
#else
constexpr bool kAcceptsLocalTestService = false;
#endif

[[noreturn]] void reject() {
    throw BetaError(BetaError::notConfigured);
}

void require(bool condition) {
    if (!condition) {
        reject();
    }
}

// Patterns match the whole text; the host is lower-cased before it is matched.
bool matchesWhole(const QString& pattern, const QString& text) {
    const QRegularExpression expression(QRegularExpression::anchoredPattern(pattern));
    return expression.match(text).hasMatch();
}

QString escapedDomain(const char16_t* domain) {
    return QRegularExpression::escape(QString::fromUtf16(domain));
}

std::optional<QUrl> urlFrom(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid()) {
        return std::nullopt;
    }
    return url;
}

QUrl requiredURL(const QString& text) {
    const auto url = urlFrom(text);
    require(url.has_value());
    return *url;
}

// HTTPS with a host, no credentials, query or fragment, and no port but 443. The scheme is
// checked in the text as written, since URL parsing folds its case.
bool secureURL(const QString& text) {
    const auto url = urlFrom(text);
    return url && text.startsWith(u"https:") && url->scheme() == u"https" &&
           !url->host().isEmpty() && !url->authority(QUrl::FullyEncoded).contains(u'@') &&
           !url->hasQuery() && !url->hasFragment() && (url->port() == -1 || url->port() == 443);
}

// HTTPS to a loopback host name with an explicit port, and nothing else: no credentials, path,
// query or fragment.
bool loopbackURL(const QString& text) {
    const auto url = urlFrom(text);
    if (!url || !text.startsWith(u"https:") || url->scheme() != u"https" || url->port() <= 0) {
        return false;
    }
    const QString host = url->host(QUrl::FullyEncoded).toLower();
    const QString path = url->path(QUrl::FullyEncoded);
    return (host == u"127.0.0.1" || host == u"localhost") &&
           !url->authority(QUrl::FullyEncoded).contains(u'@') && !url->hasQuery() &&
           !url->hasFragment() && (path.isEmpty() || path == u"/");
}

bool validAudience(const QString& audience) {
    if (characterCount(audience) > kMaximumAudienceLength) {
        return false;
    }
    return matchesWhole(u"urn:[A-Za-z0-9][A-Za-z0-9:._/-]*"_s, audience) || secureURL(audience);
}

bool containsWhitespace(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar character) { return character.isSpace(); });
}

// What Auth0's protocol asks of the client: its identifier, audience and scope.
void checkAuth0Client(const BetaConfig& config) {
    require(matchesWhole(u"[A-Za-z0-9_-]{1,128}"_s, config.clientID));
    require(config.audience && validAudience(*config.audience));

    const QStringList tokens = config.scope.split(u' ', Qt::SkipEmptyParts);
    require(tokens.join(u' ') == config.scope);
    const QSet<QString> distinct(tokens.begin(), tokens.end());
    require(distinct.size() == tokens.size());
    const QSet<QString> required{u"openid"_s, u"offline_access"_s, u"access_as_user"_s};
    const QSet<QString> allowed = required + QSet<QString>{u"profile"_s, u"email"_s};
    require(distinct.contains(required) && allowed.contains(distinct));
}

void checkAuth0(const BetaConfig& config, const QString& host) {
    require(matchesWhole(u"[a-z0-9][a-z0-9-]*(\\.[a-z0-9-]+)?\\."_s + escapedDomain(kAuth0Domain),
                         host));
    const QString path = config.authority.path(QUrl::FullyDecoded);
    require(path.isEmpty() || path == u"/");
    checkAuth0Client(config);
}

// The stand-in: service and identity provider on one loopback port, over HTTPS with the
// certificate authority it made, which the configuration names.
void checkLocal(const BetaConfig& config, const QString& apiBaseURL, const QString& authority) {
    require(loopbackURL(apiBaseURL) && loopbackURL(authority));
    require(config.apiBaseURL.port() == config.authority.port());
    require(config.certificateAuthority.has_value());
    const QString& file = *config.certificateAuthority;
    require(QDir::isAbsolutePath(file) && characterCount(file) <= kMaximumPathLength);
    require(std::none_of(file.begin(), file.end(), [](QChar character) {
        return character.category() == QChar::Other_Control;
    }));
    checkAuth0Client(config);
}

void checkEntra(const BetaConfig& config, const QString& host) {
    require(host == kEntraGlobalHost ||
            matchesWhole(u"[a-z0-9-]+\\."_s + escapedDomain(kEntraExternalIDDomain), host));
    const QStringList segments =
        config.authority.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
    require(segments.size() == 1);
    const QString tenant = segments.front().toLower();
    require(tenant != u"common" && tenant != u"organizations" && tenant != u"consumers");
    require(matchesWhole(
        u"[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"_s,
        config.clientID));
    require(!config.audience);
    require(config.scope.startsWith(u"api://") || config.scope.startsWith(u"https://"));
    require(!containsWhitespace(config.scope));
}

}  // namespace

QUrl appendingPathComponent(const QUrl& base, QStringView component) {
    QUrl url = base;
    QString path = base.path(QUrl::FullyEncoded);
    if (!path.endsWith(u'/')) {
        path += u'/';
    }
    url.setPath(path + component.toString(), QUrl::StrictMode);
    return url;
}

QString rawValue(IdentityProvider provider) {
    switch (provider) {
        case IdentityProvider::entra:
            return QStringLiteral("entra");
        case IdentityProvider::auth0:
            return QStringLiteral("auth0");
        case IdentityProvider::local:
            return QStringLiteral("local");
    }
    Q_UNREACHABLE();
}

BetaConfig BetaConfig::parse(const QByteArray& data) {
    require(data.size() <= maximumFileSize);
    // Shape, value types and keys: one object of strings, with known keys only.
    const auto members = parseStringObject(data);
    require(members.has_value());
    static const QSet<QString> known{
        u"provider"_s, u"api_base_url"_s, u"authority"_s,    u"client_id"_s,
        u"audience"_s, u"scope"_s,        u"redirect_uri"_s, u"certificate_authority"_s};
    for (const QString& key : members->keys()) {
        require(known.contains(key));
    }

    // Decoding: the required members, as their types.
    const auto member = [&members](const QString& key) {
        const auto found = members->constFind(key);
        require(found != members->constEnd());
        return found.value();
    };
    BetaConfig config;
    if (members->contains(u"provider"_s)) {
        const auto provider = fromRawValue<IdentityProvider>(members->value(u"provider"_s));
        require(provider.has_value());
        require(*provider != IdentityProvider::local || kAcceptsLocalTestService);
        config.provider = *provider;
    }
    const QString apiBaseURL = member(u"api_base_url"_s);
    const QString authority = member(u"authority"_s);
    const QString redirectURI = member(u"redirect_uri"_s);
    config.clientID = member(u"client_id"_s);
    config.scope = member(u"scope"_s);
    if (members->contains(u"audience"_s)) {
        config.audience = members->value(u"audience"_s);
    }
    if (members->contains(u"certificate_authority"_s)) {
        config.certificateAuthority = members->value(u"certificate_authority"_s);
    }
    config.apiBaseURL = requiredURL(apiBaseURL);
    config.authority = requiredURL(authority);
    config.redirectURI = requiredURL(redirectURI);

    // Validation.
    require(characterCount(config.scope) <= kMaximumScopeLength);
    require(redirectURI == QStringView(requiredRedirectURI));
    if (config.provider == IdentityProvider::local) {
        checkLocal(config, apiBaseURL, authority);
        return config;
    }
    require(!config.certificateAuthority);
    require(secureURL(apiBaseURL));
    require(secureURL(authority));
    const QString host = config.authority.host(QUrl::FullyEncoded).toLower();
    if (config.provider == IdentityProvider::auth0) {
        checkAuth0(config, host);
    } else {
        checkEntra(config, host);
    }
    return config;
}

QUrl BetaConfig::authorizationEndpoint() const {
    return appendingPathComponent(
        authority, dialect() == IdentityProvider::entra ? u"oauth2/v2.0/authorize" : u"authorize");
}

QUrl BetaConfig::tokenEndpoint() const {
    return appendingPathComponent(
        authority, dialect() == IdentityProvider::entra ? u"oauth2/v2.0/token" : u"oauth/token");
}

QString BetaConfig::sessionIdentifier() const {
    return QStringList{rawValue(provider),
                       apiBaseURL.toString(QUrl::FullyEncoded),
                       authority.toString(QUrl::FullyEncoded),
                       clientID,
                       audience.value_or(QString()),
                       scope,
                       redirectURI.toString(QUrl::FullyEncoded)}
        .join(u'|');
}

}  // namespace tidyword
