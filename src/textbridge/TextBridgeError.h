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
    };

    explicit TextBridgeError(Code code) noexcept;
    Code code() const noexcept { return static_cast<Code>(ordinal()); }
};

}  // namespace tidyword
