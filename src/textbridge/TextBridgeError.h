// What can go wrong while reading another application's selection or replacing it; each case
// carries the one message the user sees.
#pragma once

#include "base/CodedError.h"

namespace tidyword {

class TextBridgeError : public CodedError<TextBridgeError> {
public:
    enum Code {
        accessibilityRequired,
        noApplication,
        noSelection,
        unsupportedControl,
        secureField,
        staleSelection,
        sourceClosed,
        clipboardUnavailable,
        replacementUnavailable,
        pasteUnverified,
        // Another program wrote to the clipboard between our write and the paste: nothing was
        // pasted.
        clipboardChanged,
        // Another program wrote to the clipboard after the paste was sent, and the field now
        // holds text that is neither the draft nor the suggestion.
        foreignPaste,
        // The field was edited in place, and its text does not read back as the suggestion put
        // in place of the selection.
        editUnverified,
        // The desktop asked the user whether Tidyword may press the paste keys, and was told no.
        keysRefused,
    };

    explicit TextBridgeError(Code code) noexcept;
    Code code() const noexcept { return static_cast<Code>(ordinal()); }
};

}  // namespace tidyword
