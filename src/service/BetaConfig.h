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

enum class IdentityProvider { entra, auth0 };

template <>
struct EnumCases<IdentityProvider> {
    static constexpr std::array all{IdentityProvider::entra, IdentityProvider::auth0};
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

    // The largest configuration file read.
    static constexpr qsizetype maximumFileSize = 16'384;
    // The one redirect URI accepted; the sign-in callback comes back on it.
    static constexpr char16_t requiredRedirectURI[] = u"com.tidyword.beta://oauth/callback";

    // Validates the file's bytes; any failure, whatever its cause, throws
    // BetaError(notConfigured) and nothing else is reported.
    static BetaConfig parse(const QByteArray& data);

    QUrl authorizationEndpoint() const;
    QUrl tokenEndpoint() const;
    // All seven values joined with "|": a stored sign-in is used only under the same identifier.
    QString sessionIdentifier() const;

    friend bool operator==(const BetaConfig&, const BetaConfig&) = default;
};

// `base` with `component` appended to its path after exactly one "/".
QUrl appendingPathComponent(const QUrl& base, QStringView component);

}  // namespace tidyword
