// The identity of one improve request as the model sees it: a repeat of the same request reuses
// the previous idempotency key, anything else gets a new one.
#pragma once

#include "service/EditMode.h"

#include <QString>

namespace tidyword {

struct RequestFingerprint {
    QString text;  // the selection text that is sent
    EditMode mode;
    QString instruction;  // the custom instruction for `custom`, else empty

    // Texts compare under Unicode canonical equivalence: a precomposed "é" and "e" followed by
    // a combining acute accent are the same request.
    friend bool operator==(const RequestFingerprint& lhs, const RequestFingerprint& rhs);
};

}  // namespace tidyword
