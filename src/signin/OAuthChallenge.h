// The two per-attempt secrets of one sign-in (the PKCE verifier and the anti-forgery state),
// the authorization URL built from them, and the check of the callback that comes back.
#pragma once

#include "platform/RandomSource.h"
#include "service/BetaConfig.h"

#include <QString>
#include <QUrl>

namespace tidyword {

struct OAuthChallenge {
    QString verifier;
    QString state;

    // The longest authorization code accepted from a callback, in characters.
    static constexpr qsizetype maximumCodeLength = 16'384;

    // 32 random bytes as unpadded base64url: 43 characters. Throws BetaError(signInFailed) when
    // the source fails.
    static QString randomString(platform::RandomSource& random);

    // The PKCE "S256" challenge of `verifier`.
    QString challenge() const;

    // The provider's authorization endpoint with the nine query items of a PKCE request.
    QUrl authorizationURL(const BetaConfig& config) const;

    // The authorization code the callback carries, after checking, in this order, that it
    // comes back on the redirect URI, with this attempt's state, and without an error. Throws
    // BetaError: invalidSignIn, signInFailed, or emailVerificationRequired.
    QString authorizationCode(const QUrl& callback, const BetaConfig& config) const;
};

}  // namespace tidyword
