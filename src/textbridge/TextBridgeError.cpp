#include "textbridge/TextBridgeError.h"

#include "base/DesktopWords.h"

namespace tidyword {

namespace {

const char* message(TextBridgeError::Code code) {
    switch (code) {
        case TextBridgeError::accessibilityRequired:
            return desktopWords().accessibilityRequired;
        case TextBridgeError::noApplication:
            return "Select some text in Slack, ChatGPT, or another app, then use the shortcut.";
        case TextBridgeError::noSelection:
            return "No selected text was found. Highlight a sentence in your draft, then use the "
                   "shortcut again.";
        case TextBridgeError::unsupportedControl:
            return "This text field does not expose a usable selection. Try selecting text in the "
                   "message composer again.";
        case TextBridgeError::secureField:
            return "Tidyword does not read password or protected text fields.";
        case TextBridgeError::staleSelection:
            return "The original text, selection, or destination changed. Nothing was replaced. "
                   "Copy the suggestion or select the text again.";
        case TextBridgeError::sourceClosed:
            return "The original app or window is no longer available. Copy the suggestion "
                   "instead.";
        case TextBridgeError::clipboardUnavailable:
            return "Tidyword could not safely preserve the current clipboard. Copy the suggestion "
                   "and paste it manually.";
        case TextBridgeError::replacementUnavailable:
            return "This app does not expose enough information to verify a safe replacement. "
                   "Copy the suggestion and paste it into your draft.";
        case TextBridgeError::pasteUnverified:
            return "The paste was sent, but Tidyword could not verify the result. Check the "
                   "original draft before trying again. You can use that app’s Undo if needed.";
        case TextBridgeError::clipboardChanged:
            return "Another program changed the clipboard just before the paste, so nothing was "
                   "replaced. Copy the suggestion or try again.";
        case TextBridgeError::foreignPaste:
            return "Another program changed the clipboard during the paste, so its content may "
                   "have been pasted into your draft. Check the draft and use that app’s Undo if "
                   "needed.";
        case TextBridgeError::editUnverified:
            return "The edit was sent, but Tidyword could not verify the result. Check the "
                   "original draft before trying again. You can use that app’s Undo if needed.";
        case TextBridgeError::keysRefused:
            return "The desktop did not allow Tidyword to paste for you, so nothing was replaced. "
                   "Copy the suggestion and paste it into your draft.";
    }
    Q_UNREACHABLE();
}

}  // namespace

TextBridgeError::TextBridgeError(Code code) noexcept : CodedError(code, message(code)) {}

}  // namespace tidyword
