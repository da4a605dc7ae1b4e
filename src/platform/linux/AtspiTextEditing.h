// Direct edits of another application's text over AT-SPI2's EditableText interface, for sessions
// where no synthetic paste reaches other applications (GNOME on Wayland, among others).
//
// The captured range is deleted and the replacement inserted at its start: two steps the
// application's undo takes back one by one. Never the whole text at once: an application's first
// undo after that empties the document. Offsets are the toolkit's own, converted as the capture
// converts them (AtspiAccessibility.h): GTK counts code points, Qt UTF-16 units; the toolkit's
// count is tried first and the other second, and a range is used only where the application's
// text at it is the text the seam's range denotes. GTK takes an insertion's length in bytes of
// UTF-8, Qt in UTF-16 units (it cuts or pads the text to that length; padded, the field's text
// reads back cut short there). The toolkit is asked of the application: Qt names it only there.
//
// Like the capture's calls, an edit has one deadline for all the D-Bus requests it makes (the
// reads that find the range, the deletion, the insertion): no request waits past it, and none
// is made after it, so the edit holds the main thread no longer than the deadline and the taking
// in of the last reply. A request cut short is a refusal.
#pragma once

#include "platform/TextEditing.h"
#include "platform/linux/AtspiAccessibility.h"

#include <chrono>

namespace tidyword::platform::linux_desktop {

class AtspiTextEditing final : public TextEditing {
public:
    // The deadline of each edit, the capture's own.
    static constexpr std::chrono::milliseconds deadline = AtspiAccessibility::defaultTimeout;

    // Elements come from AtspiAccessibility; any other is refused. When the insertion is refused
    // after the deletion took, the removed text is inserted back before this reports the refusal,
    // if the deadline leaves time for it; if not, the application's undo takes the deletion back.
    bool replaceText(const AccessibleElement& element, TextRange range,
                     const QString& text) override;
};

}  // namespace tidyword::platform::linux_desktop
