// The one error type of the service client and of sign-in: every failure the user can see while
// Tidyword talks to the editing service, signs in or reaches the secret store.
#pragma once

#include "base/CodedError.h"

namespace tidyword {

class BetaError : public CodedError<BetaError> {
public:
    // The order is fixed: it is the order of the cases' ordinals.
    enum Code {
        notConfigured,
        signInRequired,
        signInCancelled,
        invalidSignIn,
        signInFailed,
        keychain,
        emptyInput,
        inputTooLong,
        customInstruction,
        inviteRequired,
        emailVerificationRequired,
        quotaExceeded,
        rateLimited,
        network,
        timedOut,
        unavailable,
        invalidResponse,
        rejected,
        alreadyReceived,
        // The browser never came back with the sign-in.
        signInTimedOut,
    };

    explicit BetaError(Code code) noexcept;
    Code code() const noexcept { return static_cast<Code>(ordinal()); }
};

}  // namespace tidyword
