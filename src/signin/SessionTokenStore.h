// Keeps the one stored token set in the operating system's secret store, between launches.
#pragma once

#include "platform/SecretStore.h"
#include "signin/OAuthTokens.h"

#include <optional>

namespace tidyword {

class SessionTokenStore {
public:
    // The largest stored item read: two tokens of 65,536 characters and the configuration.
    static constexpr qsizetype maximumItemSize = 262'144;

    // A local test service keeps its sign-in in an item of its own: a run of the development
    // build never replaces the sign-in of the service the user really uses.
    SessionTokenStore(platform::SecretStore& store, bool localTestService = false);

    // The item the token set lives in, and the label it is created with.
    static platform::SecretItemIdentity item(bool localTestService = false);
    static QString label();

    // None when nothing is stored. Throws BetaError(keychain) when the store fails or the item
    // cannot be read as a token set; such an item is left in place.
    std::optional<OAuthTokens> load() const;
    // Overwrites the stored set, or creates it. Throws BetaError(keychain).
    void save(const OAuthTokens& tokens) const;
    // Whether the item is gone: true also when there was none. The caller decides whether a
    // failure matters.
    bool deleteItem() const;

private:
    platform::SecretStore& store_;
    platform::SecretItemIdentity item_;
};

}  // namespace tidyword
