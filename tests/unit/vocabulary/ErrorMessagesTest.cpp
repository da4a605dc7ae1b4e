#include "hotkey/HotKeyError.h"
#include "service/BetaError.h"
#include "textbridge/TextBridgeError.h"

#include <gtest/gtest.h>

#include <vector>

namespace tidyword {
namespace {

// The tables list the cases in their declared order, so index i is also the case's ordinal.
const std::vector<const char*> kBetaMessages{
    "This beta build is not connected yet. Get a configured build from the Tidyword publisher.",
    "Sign in to use your free Tidyword requests.",
    "Sign-in was cancelled.",
    "The sign-in response could not be verified. Please sign in again.",
    "Could not complete sign-in. Please try again.",
    ("Tidyword could not read or keep your sign-in in the Secret Service. Check that a keyring "
     "such as GNOME Keyring or KWallet is running and unlocked."),
    "Select a sentence or paragraph to improve.",
    "Select up to 4,000 characters at a time.",
    "Enter editing instructions of up to 2,000 characters.",
    "Your account does not have beta access yet. Contact the Tidyword publisher.",
    "Verify your email address, then sign in again to use Tidyword.",
    "You have used your free requests for this period. Check your account for the reset date.",
    "Too many requests at once. Wait a moment and try again.",
    "Could not connect to Tidyword. Check your connection and try again.",
    "The request took too long. Your draft is unchanged; you can retry.",
    "Tidyword is temporarily unavailable. Please try again shortly.",
    "Tidyword returned an unexpected response. Your draft is unchanged.",
    "Tidyword could not improve this selection. Try a shorter passage.",
    ("This request has already been received. Check your remaining requests, then select the text "
     "again to start a new request."),
    "Signing in took too long. Select Sign in to try again.",
};

const std::vector<const char*> kTextBridgeMessages{
    "Turn on assistive technologies in your desktop’s accessibility settings (or choose Enable… in "
    "Tidyword’s settings), then select text and try again.",
    "Select some text in Slack, ChatGPT, or another app, then use the shortcut.",
    "No selected text was found. Highlight a sentence in your draft, then use the shortcut again.",
    "This text field does not expose a usable selection. Try selecting text in the message "
    "composer again.",
    "Tidyword does not read password or protected text fields.",
    "The original text, selection, or destination changed. Nothing was replaced. Copy the "
    "suggestion or select the text again.",
    "The original app or window is no longer available. Copy the suggestion instead.",
    "Tidyword could not safely preserve the current clipboard. Copy the suggestion and paste it "
    "manually.",
    "This app does not expose enough information to verify a safe replacement. Copy the "
    "suggestion and paste it into your draft.",
    "The paste was sent, but Tidyword could not verify the result. Check the original draft "
    "before trying again. You can use that app\u2019s Undo if needed.",
    "Another program changed the clipboard just before the paste, so nothing was replaced. Copy "
    "the suggestion or try again.",
    "Another program changed the clipboard during the paste, so its content may have been pasted "
    "into your draft. Check the draft and use that app\u2019s Undo if needed.",
    "The edit was sent, but Tidyword could not verify the result. Check the original draft "
    "before trying again. You can use that app\u2019s Undo if needed.",
    "The desktop did not allow Tidyword to paste for you, so nothing was replaced. Copy the "
    "suggestion and paste it into your draft.",
};

// Every case's exact message, in declaration order.
template <typename Error>
void expectMessagesInOrder(const std::vector<const char*>& expected, typename Error::Code last) {
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(last) + 1) << "one message per case";
    for (std::size_t ordinal = 0; ordinal < expected.size(); ++ordinal) {
        const auto code = static_cast<typename Error::Code>(ordinal);
        EXPECT_STREQ(Error(code).what(), expected[ordinal]) << ordinal;
        EXPECT_EQ(Error(code).code(), code) << ordinal;
    }
}

TEST(ErrorMessagesTest, BetaErrorMessagesAreExact) {
    expectMessagesInOrder<BetaError>(kBetaMessages, BetaError::signInTimedOut);
    // Equality follows the case alone.
    EXPECT_TRUE(BetaError(BetaError::network) == BetaError(BetaError::network));
    EXPECT_FALSE(BetaError(BetaError::network) == BetaError(BetaError::timedOut));
}

TEST(ErrorMessagesTest, TextBridgeErrorMessagesAreExact) {
    expectMessagesInOrder<TextBridgeError>(kTextBridgeMessages, TextBridgeError::keysRefused);
}

TEST(ErrorMessagesTest, HotKeyErrorMessagesAreExact) {
    const struct {
        HotKeyError error;
        const char* message;
    } cases[] = {
        {HotKeyError::handlerNotInstalled(-50),
         "Tidyword could not install its shortcut (-50). Restart the app and try again."},
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9878),
         "Alt+Space is unavailable or is already assigned to another app. Choose a different "
         "shortcut in Settings. (-9878)"},
        {HotKeyError::hotKeyRefused(ShortcutPreset::controlOptionSpace, 10),
         "Ctrl+Alt+Space is unavailable or is already assigned to another app. Choose a different "
         "shortcut in Settings. (10)"},
        // Where the desktop runs a command for the chord, what the user can do about it.
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD, -9880, "tidyword --improve"),
         "To use Alt+Shift+D in every app, bind the command “tidyword --improve” to it in your "
         "desktop's keyboard settings."},
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD, -9881),
         "Alt+Shift+D is not one of GNOME's keyboard shortcuts yet: choose “Add to GNOME "
         "Shortcuts” to add it."},
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9882, "Activate the window menu"),
         "Alt+Space is already assigned to “Activate the window menu” in GNOME's keyboard "
         "shortcuts. Choose a different shortcut in Tidyword's settings, or change that one in "
         "GNOME Settings › Keyboard."},
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD, -9883,
                                    "/opt/tidyword/bin/tidyword --improve"),
         "Tidyword cannot change GNOME's keyboard shortcuts here. Add a custom shortcut for "
         "Alt+Shift+D that runs “/opt/tidyword/bin/tidyword --improve” in GNOME Settings › "
         "Keyboard."},
        // Where the desktop's own service binds it, nothing blames another app for its absence.
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionShiftD, -9884),
         "The desktop's shortcut service is not running, so Alt+Shift+D is not set. Tidyword sets "
         "it as soon as the service is back."},
        {HotKeyError::hotKeyRefused(ShortcutPreset::optionSpace, -9885),
         "The desktop's shortcut service did not answer, so Alt+Space is not set. Choose it again "
         "in Settings in a moment."},
        {HotKeyError::inAppMonitorNotInstalled(),
         "Tidyword could not install its in-app shortcut. Restart the app and try again."},
    };
    for (const auto& [error, message] : cases) {
        EXPECT_EQ(error.message(), QString::fromUtf8(message));
        EXPECT_STREQ(error.what(), message);
    }
}

}  // namespace
}  // namespace tidyword
