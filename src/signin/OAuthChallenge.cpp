#include "signin/OAuthChallenge.h"

#include "base/Characters.h"
#include "service/BetaError.h"

#include <QCryptographicHash>
#include <QList>
#include <QStringList>

#include <array>
#include <optional>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

// What an Auth0 post-login rule sends back for an address that is not verified yet.
constexpr auto kUnverifiedEmailDescription = u"Verify your email, then sign in to Tidyword again.";

QString base64URL(const QByteArray& bytes) {
    return QString::fromLatin1(
        bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

// Percent-encodes a query name or value: everything but the unreserved characters and the
// delimiters a query may carry, except "&", "=" and "+", which a form decoder would misread.
QString queryComponent(const QString& text) {
    return QString::fromLatin1(QUrl::toPercentEncoding(text, ":/?@!$'()*,;"));
}

struct QueryItem {
    QString name;
    std::optional<QString> value;  // none without "=", or when it is not UTF-8 once decoded
};

// The callback's query items; a "+" is a space, as the provider may write it form-style.
QList<QueryItem> queryItems(const QUrl& url) {
    QString encoded = url.query(QUrl::FullyEncoded);
    encoded.replace(u'+', u"%20"_s);
    QList<QueryItem> items;
    for (const QString& part : encoded.split(u'&', Qt::SkipEmptyParts)) {
        const qsizetype equals = part.indexOf(u'=');
        // Bytes that are not UTF-8 would decode to U+FFFD: such a value says nothing.
        const auto decode = [](QStringView text) -> std::optional<QString> {
            const QByteArray bytes = QByteArray::fromPercentEncoding(text.toLatin1());
            if (!QUtf8StringView(bytes).isValidUtf8()) {
                return std::nullopt;
            }
            return QString::fromUtf8(bytes);
        };
        if (equals < 0) {
            items.append({decode(part).value_or(QString()), std::nullopt});
        } else {
            items.append({decode(QStringView(part).left(equals)).value_or(QString()),
                          decode(QStringView(part).sliced(equals + 1))});
        }
    }
    return items;
}

QList<const QueryItem*> itemsNamed(const QList<QueryItem>& items, QStringView name) {
    QList<const QueryItem*> named;
    for (const auto& item : items) {
        if (item.name == name) {
            named.append(&item);
        }
    }
    return named;
}

// The value of the one item called `name`; none when it is missing, repeated or has no value.
std::optional<QString> soleValue(const QList<QueryItem>& items, QStringView name) {
    const auto named = itemsNamed(items, name);
    if (named.size() != 1) {
        return std::nullopt;
    }
    return named.front()->value;
}

[[noreturn]] void fail(BetaError::Code code) {
    throw BetaError(code);
}

bool isUnverifiedEmailSignal(const QList<QueryItem>& items) {
    return itemsNamed(items, u"error").size() == 1 &&
           soleValue(items, u"error") == u"access_denied"_s &&
           soleValue(items, u"error_description") ==
               QString::fromUtf16(kUnverifiedEmailDescription) &&
           itemsNamed(items, u"code").isEmpty();
}

}  // namespace

QString OAuthChallenge::randomString(platform::RandomSource& random) {
    std::array<std::byte, 32> bytes{};
    if (!random.fill(bytes)) {
        fail(BetaError::signInFailed);
    }
    return base64URL(QByteArray(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

QString OAuthChallenge::challenge() const {
    return base64URL(QCryptographicHash::hash(verifier.toUtf8(), QCryptographicHash::Sha256));
}

QUrl OAuthChallenge::authorizationURL(const BetaConfig& config) const {
    const QString scope = config.provider == IdentityProvider::entra
                              ? config.scope + u" offline_access"_s
                              : config.scope;
    QList<std::pair<QString, QString>> items{
        {u"client_id"_s, config.clientID},
        {u"response_type"_s, u"code"_s},
        {u"response_mode"_s, u"query"_s},
        {u"redirect_uri"_s, config.redirectURI.toString(QUrl::FullyEncoded)},
        {u"scope"_s, scope},
        {u"code_challenge"_s, challenge()},
        {u"code_challenge_method"_s, u"S256"_s},
        {u"state"_s, state},
    };
    if (config.audience) {
        items.append({u"audience"_s, *config.audience});
    }
    QStringList pairs;
    for (const auto& [name, value] : items) {
        pairs << queryComponent(name) + u'=' + queryComponent(value);
    }
    QUrl url = config.authorizationEndpoint();
    url.setQuery(pairs.join(u'&'), QUrl::StrictMode);
    return url;
}

QString OAuthChallenge::authorizationCode(const QUrl& callback, const BetaConfig& config) const {
    if (!callback.isValid() || callback.hasFragment()) {
        fail(BetaError::invalidSignIn);
    }
    const QList<QueryItem> items = queryItems(callback);
    QUrl withoutQuery = callback;
    withoutQuery.setQuery(QString());
    if (withoutQuery.toString(QUrl::FullyEncoded) !=
        config.redirectURI.toString(QUrl::FullyEncoded)) {
        fail(BetaError::invalidSignIn);
    }

    // The state first: nothing the callback says counts until it is proven to be this attempt's.
    if (soleValue(items, u"state") != state) {
        fail(BetaError::invalidSignIn);
    }

    if (!itemsNamed(items, u"error").isEmpty()) {
        if (config.dialect() == IdentityProvider::auth0 && isUnverifiedEmailSignal(items)) {
            fail(BetaError::emailVerificationRequired);
        }
        fail(BetaError::signInFailed);
    }

    const auto code = soleValue(items, u"code");
    if (!code || code->isEmpty() || characterCount(*code) > maximumCodeLength) {
        fail(BetaError::invalidSignIn);
    }
    return *code;
}

}  // namespace tidyword
