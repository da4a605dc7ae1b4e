// A saved copy of the user's clipboard, every item with every type, to put back after Tidyword
// has used the clipboard for a copy or a paste, unless somebody else wrote to it meanwhile.
#pragma once

#include "platform/Pasteboard.h"

#include <optional>

namespace tidyword {

// What one of our uses left on the clipboard: the change count right after it, and its text.
// Where the text is known, the clipboard is still ours to restore while whoever serves it serves
// exactly that text: a clipboard manager that copies each new owner's contents takes the
// clipboard over without changing what it holds. Otherwise, while nobody has written since.
struct ClipboardMark {
    qint64 changeCount = 0;
    // None: only the change count tells.
    std::optional<QString> text;

    bool isHeldBy(platform::Pasteboard& pasteboard) const;
};

struct ClipboardSnapshot {
    // The most item data saved; a larger clipboard is refused rather than cut short.
    static constexpr qint64 maximumBytes = 33'554'432;

    qint64 changeCount = 0;
    QList<platform::Pasteboard::Item> items;

    // Throws TextBridgeError(clipboardUnavailable) when the clipboard's contents cannot be
    // listed, any data cannot be read, the data exceed maximumBytes, or the clipboard changes
    // while it is read. An owner that cannot be read is never taken for an empty clipboard.
    static ClipboardSnapshot take(platform::Pasteboard& pasteboard);

    // Puts the saved items back, only while `ours` still holds: otherwise someone else wrote
    // to the clipboard since, and their contents stay.
    void restore(platform::Pasteboard& pasteboard, const ClipboardMark& ours) const;
};

}  // namespace tidyword
