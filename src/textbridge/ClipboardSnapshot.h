// A saved copy of the user's clipboard, every item with every type, to put back after Tidyword
// has used the clipboard for a copy or a paste, unless somebody else wrote to it meanwhile.
#pragma once

#include "platform/Pasteboard.h"

#include <QMap>

namespace tidyword {

struct ClipboardSnapshot {
    // The most item data saved; a larger clipboard is refused rather than cut short.
    static constexpr qint64 maximumBytes = 33'554'432;

    qint64 changeCount = 0;
    QList<QMap<QString, QByteArray>> items;

    // Throws TextBridgeError(clipboardUnavailable) when any data cannot be read, the data exceed
    // maximumBytes, or the clipboard changes while it is read.
    static ClipboardSnapshot take(platform::Pasteboard& pasteboard);

    // Puts the saved items back, only if the clipboard's change count is still `changeCount`:
    // otherwise someone else wrote to it since, and their contents stay.
    void restore(platform::Pasteboard& pasteboard, qint64 onlyIfUnchangedSince) const;
};

}  // namespace tidyword
