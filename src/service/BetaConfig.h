// Which editing service Tidyword talks to and which identity provider it signs in with: the
// deployment's configuration file, validated strictly and then immutable.
#pragma once

#include "base/RawValueEnum.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

namespace tidyword {

// `local` is the stand-in on this computer, which only a build made for `make run` and its tests
// accepts (the TIDYWORD_LOCAL_TEST_SERVICE option); it speaks Auth0's protocol.
enum class IdentityProvider { entra, auth0, local };

template <>
struct EnumCases<IdentityProvider> {
    static constexpr std::array all{IdentityProvider::entra, IdentityProvider::auth0,
                                    IdentityProvider::local};
};

QString rawValue(IdentityProvider provider);

struct BetaConfig {
    IdentityProvider provider = IdentityProvider::entra;
    QUrl apiBaseURL;
    QUrl authority;
    QString clientID;
    std::optional<QString> audience;
    QString scope;
    QUrl redirectURI;
    // A local test service's own certificate authority (an absolute path): trusted for its
    // loopback host names only, and never by any other provider's configuration.
    std::optional<QString> certificateAuthority;

    // The largest configuration file read.
    static constexpr qsizetype maximumFileSize = 16'384;
    // The one redirect URI accepted; the sign-in callback comes back on it.
    static constexpr char16_t requiredRedirectURI[] = u"com.tidyword.beta://oauth/callback";

    // Validates the file's bytes; any failure, whatever its cause, throws
    // BetaError(notConfigured) and nothing else is reported.
    static BetaConfig parse(const QByteArray& data);

    // The provider whose protocol this configuration speaks.
    IdentityProvider dialect() const {
        return provider == IdentityProvider::local ? IdentityProvider::auth0 : provider;
    }
    QUrl authorizationEndpoint() const;
    QUrl tokenEndpoint() const;
    // The seven values up to the redirect URI joined with "|": a stored sign-in is used only under
    // the same identifier.
    QString sessionIdentifier() const;

    friend bool operator==(const BetaConfig&, const BetaConfig&) = default;
};

// `base` with `component` appended to its path after exactly one "/".
QUrl appendingPathComponent(const QUrl& base, QStringView component);

}  // namespace tidyword
