#include "service/BetaError.h"

#include "base/DesktopWords.h"

namespace tidyword {

namespace {

const char* message(BetaError::Code code) {
    switch (code) {
        case BetaError::notConfigured:
            return "This beta build is not connected yet. Get a configured build from the "
                   "Tidyword publisher.";
        case BetaError::signInRequired:
            return "Sign in to use your free Tidyword requests.";
        case BetaError::signInCancelled:
            return "Sign-in was cancelled.";
        case BetaError::invalidSignIn:
            return "The sign-in response could not be verified. Please sign in again.";
        case BetaError::signInFailed:
            return "Could not complete sign-in. Please try again.";
        case BetaError::keychain:
            return desktopWords().secretStoreFailed;
        case BetaError::emptyInput:
            return "Select a sentence or paragraph to improve.";
        case BetaError::inputTooLong:
            return "Select up to 4,000 characters at a time.";
        case BetaError::customInstruction:
            return "Enter editing instructions of up to 2,000 characters.";
        case BetaError::inviteRequired:
            return "Your account does not have beta access yet. Contact the Tidyword publisher.";
        case BetaError::emailVerificationRequired:
            return "Verify your email address, then sign in again to use Tidyword.";
        case BetaError::quotaExceeded:
            return "You have used your free requests for this period. Check your account for the "
                   "reset date.";
        case BetaError::rateLimited:
            return "Too many requests at once. Wait a moment and try again.";
        case BetaError::network:
            return "Could not connect to Tidyword. Check your connection and try again.";
        case BetaError::timedOut:
            return "The request took too long. Your draft is unchanged; you can retry.";
        case BetaError::unavailable:
            return "Tidyword is temporarily unavailable. Please try again shortly.";
        case BetaError::invalidResponse:
            return "Tidyword returned an unexpected response. Your draft is unchanged.";
        case BetaError::rejected:
            return "Tidyword could not improve this selection. Try a shorter passage.";
        case BetaError::alreadyReceived:
            return "This request has already been received. Check your remaining requests, then "
                   "select the text again to start a new request.";
        case BetaError::signInTimedOut:
            return "Signing in took too long. Select Sign in to try again.";
    }
    Q_UNREACHABLE();
}

}  // namespace

BetaError::BetaError(Code code) noexcept : CodedError(code, message(code)) {}

}  // namespace tidyword
