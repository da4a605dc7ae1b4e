// The seam to editing another application's text in place through the accessibility service,
// for sessions where no synthetic paste can reach that application (Wayland without a paste route).
#pragma once

#include "platform/Accessibility.h"

#include <QString>

namespace tidyword::platform {

class TextEditing {
public:
    virtual ~TextEditing() = default;

    // Puts `text` in place of `range` (UTF-16 units of the element's whole text) by deleting the
    // range and inserting at its start, so that the application's undo takes back exactly this
    // edit. True when the application took both requests, which is no proof of the result: the
    // caller reads the text back. False when refused; the element may then have lost the range
    // (an application that took the deletion but not the insertion).
    virtual bool replaceText(const AccessibleElement& element, TextRange range,
                             const QString& text) = 0;
};

}  // namespace tidyword::platform
