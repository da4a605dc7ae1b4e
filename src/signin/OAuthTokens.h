// The token set of a signed-in user, and the JSON form in which it is stored between launches.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

namespace tidyword {

struct OAuthTokens {
    QString accessToken;
    std::optional<QString> refreshToken;
    QDateTime expiresAt;  // UTC, millisecond precision
    // The sessionIdentifier of the configuration the tokens were issued under; they are never
    // presented under another.
    QString configuration;

    // {"accessToken", "refreshToken" (left out when absent), "expiresAt" (seconds with fraction
    // since 2001-01-01T00:00:00Z), "configuration"}.
    QByteArray toJson() const;
    // None when the members are missing or of the wrong kind; unknown members are ignored.
    static std::optional<OAuthTokens> fromJson(const QByteArray& json);

    friend bool operator==(const OAuthTokens&, const OAuthTokens&) = default;
};

}  // namespace tidyword
