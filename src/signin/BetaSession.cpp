#include "signin/BetaSession.h"

#include "service/BetaAPI.h"
#include "service/BetaError.h"
#include "signin/OAuthChallenge.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace tidyword {

namespace {

using namespace Qt::Literals::StringLiterals;

[[noreturn]] void fail(BetaError::Code code) {
    throw BetaError(code);
}

bool acceptableToken(const QString& token) {
    return !token.isEmpty() && token.size() <= BetaAPI::maximumTokenLength &&
           BetaAPI::validToken(token);
}

}  // namespace

BetaSession::BetaSession(BetaConfig config, Platform platform)
    : config_(std::move(config)),
      store_(platform.secrets, config_.provider == IdentityProvider::local),
      clock_(platform.clock),
      random_(platform.random),
      transport_(std::move(platform.transport)),
      browser_(platform.authenticator, platform.clock, std::move(platform.anchor)) {
    try {
        loadStoredSet();
    } catch (const BetaError&) {
        // A keyring that is locked or missing at start is no reason to give up the sign-in for
        // the whole run: the set is read again once a token is needed.
        storedSetUnread_ = true;
    }
}

void BetaSession::loadStoredSet() {
    auto stored = store_.load();
    storedSetUnread_ = false;
    // A set obtained under another configuration is left where it is, unused.
    if (stored && stored->configuration == config_.sessionIdentifier()) {
        tokens_ = std::move(stored);
    }
}

QCoro::Task<void> BetaSession::signIn() {
    const QUuid generation = QUuid::createUuid();
    revision_ = generation;
    refreshTask_.cancel();
    refreshTask_ = {};
    browser_.finish(BetaError(BetaError::signInCancelled), browser_.authenticationID());
    if (!store_.deleteItem()) {
        fail(BetaError::keychain);
    }
    storedSetUnread_ = false;
    tokens_.reset();

    OAuthChallenge challenge;
    challenge.verifier = OAuthChallenge::randomString(random_);
    challenge.state = OAuthChallenge::randomString(random_);
    const QUrl callback = co_await browser_.authenticate(challenge.authorizationURL(config_),
                                                         config_.redirectURI.scheme());
    // Built before the co_await: GCC 12 cannot keep a braced list alive across it.
    FormFields fields{{u"grant_type"_s, u"authorization_code"_s},
                      {u"code"_s, challenge.authorizationCode(callback, config_)},
                      {u"redirect_uri"_s, config_.redirectURI.toString(QUrl::FullyEncoded)},
                      {u"code_verifier"_s, challenge.verifier}};
    OAuthTokens tokens = co_await exchange(std::move(fields), std::nullopt, {});
    if (revision_ != generation) {
        throw Cancelled{};
    }
    store_.save(tokens);
    tokens_ = std::move(tokens);
}

void BetaSession::signOut() {
    revision_ = QUuid::createUuid();
    browser_.finish(BetaError(BetaError::signInCancelled), browser_.authenticationID());
    refreshTask_.cancel();
    refreshTask_ = {};
    tokens_.reset();
    // Signed out means signed out: a set the store could not hand over earlier must not sign the
    // user back in once it can.
    storedSetUnread_ = false;
    if (!store_.deleteItem()) {
        fail(BetaError::keychain);
    }
}

void BetaSession::tokenRefused(const QString& accessToken) {
    if (!tokens_ || tokens_->accessToken != accessToken) {
        return;  // a newer set took its place meanwhile
    }
    tokens_.reset();
    // Whether the item goes or not, the user is signed out now; a set left behind is refused
    // again at the next start.
    store_.deleteItem();
}

QCoro::Task<QString> BetaSession::accessToken() {
    const QUuid generation = revision_;
    if (!refreshTask_.isEmpty()) {
        // Another caller's refresh is running: share its outcome.
        const TaskHandle<OAuthTokens> running = refreshTask_;
        const OAuthTokens refreshed = co_await running.result();
        if (revision_ != generation) {
            throw Cancelled{};
        }
        co_return refreshed.accessToken;
    }
    if (!tokens_ && storedSetUnread_) {
        loadStoredSet();
    }
    if (!tokens_) {
        fail(BetaError::signInRequired);
    }
    if (tokens_->expiresAt > clock_.now().addSecs(refreshMargin.count())) {
        // A copy: QCoro moves from whatever lvalue is returned, and this one is the session's.
        co_return QString(tokens_->accessToken);
    }
    if (!tokens_->refreshToken) {
        fail(BetaError::signInRequired);
    }
    // The refresh token is used once: it leaves the store before it is sent.
    const QString refreshToken = *tokens_->refreshToken;
    if (!store_.deleteItem()) {
        fail(BetaError::keychain);
    }
    tokens_.reset();
    refreshTask_ = TaskHandle<OAuthTokens>::start(
        [this, generation, refreshToken](CancellationToken cancellation) {
            return refresh(generation, refreshToken, std::move(cancellation));
        });
    const TaskHandle<OAuthTokens> started = refreshTask_;
    std::optional<OAuthTokens> refreshed;
    std::exception_ptr error;
    try {
        refreshed = co_await started.result();
    } catch (...) {
        error = std::current_exception();
    }
    if (revision_ == generation) {
        refreshTask_ = {};
    }
    if (error) {
        std::rethrow_exception(error);
    }
    if (revision_ != generation) {
        throw Cancelled{};
    }
    co_return refreshed->accessToken;
}

QCoro::Task<OAuthTokens> BetaSession::refresh(QUuid generation, QString refreshToken,
                                              CancellationToken cancellation) {
    try {
        FormFields fields{{u"grant_type"_s, u"refresh_token"_s},
                          {u"refresh_token"_s, refreshToken}};
        OAuthTokens tokens = co_await exchange(std::move(fields), refreshToken, cancellation);
        if (revision_ != generation) {
            throw Cancelled{};
        }
        store_.save(tokens);
        tokens_ = tokens;
        co_return tokens;
    } catch (...) {
        if (revision_ != generation) {
            throw Cancelled{};
        }
        // A failed refresh signs the user out: refresh tokens are never retried.
        tokens_.reset();
        store_.deleteItem();
        if (cancellation.isCancelled()) {
            throw Cancelled{};
        }
        fail(BetaError::signInRequired);
    }
}

QCoro::Task<OAuthTokens> BetaSession::exchange(FormFields fields,
                                               std::optional<QString> previousRefresh,
                                               CancellationToken cancellation) {
    fields.append({u"client_id"_s, config_.clientID});
    if (config_.provider == IdentityProvider::entra) {
        fields.append({u"scope"_s, config_.scope + u" offline_access"_s});
    }
    HTTPRequest request;
    request.method = "POST";
    request.url = config_.tokenEndpoint();
    request.headers = {{"Content-Type", "application/x-www-form-urlencoded"},
                       {"Accept", "application/json"}};
    request.body = formBody(std::move(fields));

    const HTTPResponse response =
        co_await sendBounded(transport_, std::move(request), tokenRequestTimeout,
                             maximumTokenResponse, BetaError::invalidSignIn, cancellation);
    if (response.status == 200) {
        co_return validatedTokens(response.body, config_, previousRefresh, clock_.now());
    }
    if (response.status == 400 || response.status == 401) {
        fail(BetaError::signInRequired);
    }
    fail(BetaError::signInFailed);
}

QByteArray BetaSession::formBody(FormFields fields) {
    std::sort(fields.begin(), fields.end(),
              [](const auto& lhs, const auto& rhs) { return lhs.first < rhs.first; });
    QByteArrayList pairs;
    for (const auto& [name, value] : fields) {
        // toPercentEncoding keeps exactly the unreserved characters and writes upper-case hex.
        pairs << QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    }
    return pairs.join('&');
}

OAuthTokens BetaSession::validatedTokens(const QByteArray& body, const BetaConfig& config,
                                         const std::optional<QString>& previousRefresh,
                                         const QDateTime& now) {
    if (body.size() > maximumTokenResponse) {
        fail(BetaError::invalidSignIn);
    }
    QJsonParseError parseError{};
    const QJsonObject answer = QJsonDocument::fromJson(body, &parseError).object();
    const QJsonValue accessToken = answer.value(u"access_token"_s);
    const QJsonValue refreshToken = answer.value(u"refresh_token"_s);
    const QJsonValue tokenType = answer.value(u"token_type"_s);
    const QJsonValue expiresIn = answer.value(u"expires_in"_s);
    if (parseError.error != QJsonParseError::NoError || !accessToken.isString() ||
        !tokenType.isString() || !expiresIn.isDouble() ||
        !(refreshToken.isString() || refreshToken.isNull() || refreshToken.isUndefined())) {
        fail(BetaError::invalidSignIn);
    }
    const double lifetime = expiresIn.toDouble();
    if (tokenType.toString().toLower() != u"bearer" || std::trunc(lifetime) != lifetime ||
        lifetime < 1 || lifetime > longestTokenLifetime ||
        !acceptableToken(accessToken.toString()) ||
        (refreshToken.isString() && !acceptableToken(refreshToken.toString()))) {
        fail(BetaError::invalidSignIn);
    }
    std::optional<QString> received;
    if (refreshToken.isString()) {
        received = refreshToken.toString();
    }
    std::optional<QString> kept = received ? received : previousRefresh;
    if (config.dialect() == IdentityProvider::auth0 &&
        (!received || (previousRefresh && *received == *previousRefresh))) {
        // Auth0 rotates refresh tokens: each answer must bring a new one.
        fail(BetaError::invalidSignIn);
    }
    return {accessToken.toString(), kept, now.addSecs(static_cast<qint64>(lifetime)),
            config.sessionIdentifier()};
}

}  // namespace tidyword
