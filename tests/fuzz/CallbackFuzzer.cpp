// Arbitrary text as the sign-in callback URL, under both providers: the check either yields a
// code or one of its three errors.
#include "service/BetaError.h"
#include "signin/OAuthChallenge.h"

#include <cstdint>
#include <cstdlib>

namespace {

using tidyword::BetaConfig;
using tidyword::BetaError;

BetaConfig configFor(const char* provider, const char* extra) {
    return BetaConfig::parse(QByteArray(R"({"provider":")") + provider +
                             R"(","redirect_uri":"com.tidyword.beta://oauth/callback",)" + extra +
                             "}");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const BetaConfig configs[] = {
        configFor("entra", R"("api_base_url":"https://api.tidyword.example",)"
                           R"("authority":"https://login.microsoftonline.com/contoso",)"
                           R"("client_id":"8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60",)"
                           R"("scope":"api://tidyword/access_as_user")"),
        configFor("auth0",
                  R"("api_base_url":"https://api.tidyword.example",)"
                  R"("authority":"https://tidyword.auth0.com","client_id":"abc",)"
                  R"("audience":"urn:tidyword","scope":"openid offline_access access_as_user")"),
    };
    static const tidyword::OAuthChallenge challenge{QStringLiteral("verifier"),
                                                    QStringLiteral("S")};
    const QUrl callback(
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    for (const auto& config : configs) {
        try {
            const QString code = challenge.authorizationCode(callback, config);
            if (code.isEmpty()) {
                std::abort();
            }
        } catch (const BetaError& error) {
            if (error.code() != BetaError::invalidSignIn &&
                error.code() != BetaError::signInFailed &&
                error.code() != BetaError::emailVerificationRequired) {
                std::abort();
            }
        }
    }
    return 0;
}
