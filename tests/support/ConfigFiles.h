// Configuration files for tests: a valid one for each identity provider, with any member
// replaced or left out.
#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QString>

#include <optional>

namespace tidyword::test {

using ConfigMembers = QMap<QString, std::optional<QString>>;

inline ConfigMembers entraMembers() {
    return {
        {"provider", "entra"},
        {"api_base_url", "https://api.tidyword.example/"},
        {"authority", "https://login.microsoftonline.com/contoso.onmicrosoft.com"},
        {"client_id", "8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60"},
        {"scope", "api://8f0e5c1a-3b2d-4c5e-9f7a-1b2c3d4e5f60/access_as_user"},
        {"redirect_uri", "com.tidyword.beta://oauth/callback"},
    };
}

inline ConfigMembers auth0Members() {
    return {
        {"provider", "auth0"},
        {"api_base_url", "https://api.tidyword.example"},
        {"authority", "https://tidyword.eu.auth0.com"},
        {"client_id", "AbCdEf0123456789_-xyz"},
        {"audience", "https://api.tidyword.example"},
        {"scope", "openid offline_access access_as_user"},
        {"redirect_uri", "com.tidyword.beta://oauth/callback"},
    };
}

// The stand-in on loopback, as `make run` writes it.
inline ConfigMembers localMembers() {
    return {
        {"provider", "local"},
        {"api_base_url", "https://127.0.0.1:8443"},
        {"authority", "https://127.0.0.1:8443"},
        {"client_id", "tidyword-local"},
        {"audience", "urn:tidyword:local"},
        {"scope", "openid offline_access access_as_user"},
        {"redirect_uri", "com.tidyword.beta://oauth/callback"},
        {"certificate_authority", "/run/tidyword-standin/ca.pem"},
    };
}

// `members` with `changes` applied: a value replaces the member, none removes it.
inline QByteArray configFile(ConfigMembers members, const ConfigMembers& changes = {}) {
    for (auto change = changes.begin(); change != changes.end(); ++change) {
        members[change.key()] = change.value();
    }
    QJsonObject object;
    for (auto member = members.begin(); member != members.end(); ++member) {
        if (member.value()) {
            object.insert(member.key(), *member.value());
        }
    }
    return QJsonDocument(object).toJson();
}

}  // namespace tidyword::test
