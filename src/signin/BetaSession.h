// The user's sign-in for one service configuration: the PKCE sign-in in the browser, the token
// exchange, the stored token set, a valid access token on demand (refreshed shortly before it
// expires, one refresh shared by every caller) and sign-out. Every sign-in and sign-out starts a
// new generation; work of an older generation ends in Cancelled without touching the newer state.
#pragma once

#include "async/TaskHandle.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/SecretStore.h"
#include "platform/WebAuthenticator.h"
#include "service/BetaConfig.h"
#include "service/HTTP.h"
#include "signin/OAuthBrowser.h"
#include "signin/OAuthTokens.h"
#include "signin/SessionTokenStore.h"

#include <QUuid>
#include <qcoro/qcorotask.h>

#include <optional>

namespace tidyword {

class BetaSession {
public:
    // A token is refreshed once it has this little time left.
    static constexpr std::chrono::seconds refreshMargin{90};
    static constexpr std::chrono::seconds tokenRequestTimeout{30};
    static constexpr qsizetype maximumTokenResponse = 262'144;
    static constexpr qint64 longestTokenLifetime = 172'800;  // 48 hours, in seconds

    // What the session works with; every reference must outlive the session.
    struct Platform {
        platform::SecretStore& secrets;
        platform::WebAuthenticator& authenticator;
        platform::Clock& clock;
        platform::RandomSource& random;
        HTTPTransport transport;
        OAuthBrowser::AnchorQuery anchor;
    };

    // Loads a stored token set and uses it when it belongs to `config`. A store that cannot be
    // read now (no Secret Service, a locked keyring) leaves the session signed out and is read
    // again when a token is next asked for.
    BetaSession(BetaConfig config, Platform platform);
    BetaSession(const BetaSession&) = delete;
    BetaSession& operator=(const BetaSession&) = delete;

    const BetaConfig& config() const { return config_; }
    bool hasTokens() const { return tokens_.has_value(); }
    // Whether a stored token set may still be waiting in a store that could not be read; the
    // next accessToken() reads it again.
    bool storedSetUnread() const { return storedSetUnread_; }

    // Signs in afresh in the browser. Throws BetaError (keychain, the browser's and the
    // callback's errors, the exchange's), or Cancelled when a newer sign-in or a sign-out ran
    // meanwhile. The session must outlive the call, as for every operation below.
    QCoro::Task<void> signIn();
    // Throws BetaError(keychain) when the stored item cannot be deleted; the user is signed out
    // all the same.
    void signOut();
    // A bearer token valid for more than refreshMargin. Throws BetaError(signInRequired,
    // keychain), or Cancelled when the sign-in state changed while it waited.
    QCoro::Task<QString> accessToken();
    // The service refused `accessToken` (HTTP 401): when it is still the current token, the set
    // is forgotten here and in the store, so that the next start does not begin signed in.
    void tokenRefused(const QString& accessToken);

    using FormFields = QList<std::pair<QString, QString>>;
    // Fields sorted by name, each name and value percent-encoded (all but the RFC 3986
    // unreserved characters, as "%" and two upper-case hexadecimal digits), joined by "&".
    static QByteArray formBody(FormFields fields);
    // The token set a successful token answer carries, or BetaError(invalidSignIn).
    static OAuthTokens validatedTokens(const QByteArray& body, const BetaConfig& config,
                                       const std::optional<QString>& previousRefresh,
                                       const QDateTime& now);

private:
    // Adopts the stored set when it belongs to this configuration. Throws BetaError(keychain).
    void loadStoredSet();
    QCoro::Task<OAuthTokens> exchange(FormFields fields, std::optional<QString> previousRefresh,
                                      CancellationToken cancellation);
    QCoro::Task<OAuthTokens> refresh(QUuid generation, QString refreshToken,
                                     CancellationToken cancellation);

    BetaConfig config_;
    SessionTokenStore store_;
    platform::Clock& clock_;
    platform::RandomSource& random_;
    HTTPTransport transport_;
    OAuthBrowser browser_;
    std::optional<OAuthTokens> tokens_;
    bool storedSetUnread_ = false;
    QUuid revision_ = QUuid::createUuid();
    TaskHandle<OAuthTokens> refreshTask_;  // empty when no refresh runs
};

}  // namespace tidyword
