#include "textbridge/ClipboardSnapshot.h"

#include "textbridge/TextBridgeError.h"

namespace tidyword {

bool ClipboardMark::isHeldBy(platform::Pasteboard& pasteboard) const {
    // Reading the count first also brings the clipboard's idea of its owner up to date.
    const bool unchanged = pasteboard.changeCount() == changeCount;
    // The text decides where it is known: a writer that got in between our write and our
    // reading of the count left the count looking like ours.
    return text ? pasteboard.string() == text : unchanged;
}

ClipboardSnapshot ClipboardSnapshot::take(platform::Pasteboard& pasteboard) {
    const auto fail = [] { throw TextBridgeError(TextBridgeError::clipboardUnavailable); };
    ClipboardSnapshot snapshot;
    snapshot.changeCount = pasteboard.changeCount();
    qint64 total = 0;
    const std::optional<QList<QStringList>> types = pasteboard.itemTypes();
    if (!types) {
        fail();
    }
    for (int item = 0; item < types->size(); ++item) {
        platform::Pasteboard::Item saved;
        for (const QString& type : types->at(item)) {
            // What is left of the allowance bounds each read.
            const auto data = pasteboard.data(item, type, maximumBytes - total);
            if (!data) {
                fail();
            }
            total += data->bytes.size();
            saved.append({type, *data});
        }
        snapshot.items.append(saved);
    }
    if (pasteboard.changeCount() != snapshot.changeCount) {
        fail();
    }
    return snapshot;
}

void ClipboardSnapshot::restore(platform::Pasteboard& pasteboard, const ClipboardMark& ours) const {
    if (!ours.isHeldBy(pasteboard)) {
        return;
    }
    // One write: an empty clipboard between two would be refilled by a clipboard manager that
    // keeps it from staying empty (Klipper does by default), and its write could win.
    pasteboard.writeItems(items);
}

}  // namespace tidyword
