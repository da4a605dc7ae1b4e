#include "textbridge/ClipboardSnapshot.h"

#include "textbridge/TextBridgeError.h"

namespace tidyword {

ClipboardSnapshot ClipboardSnapshot::take(platform::Pasteboard& pasteboard) {
    ClipboardSnapshot snapshot;
    snapshot.changeCount = pasteboard.changeCount();
    qint64 total = 0;
    const QList<QStringList> types = pasteboard.itemTypes();
    for (int item = 0; item < types.size(); ++item) {
        QMap<QString, QByteArray> saved;
        for (const QString& type : types[item]) {
            // What is left of the allowance bounds each read.
            const auto data = pasteboard.data(item, type, maximumBytes - total);
            if (!data) {
                throw TextBridgeError(TextBridgeError::clipboardUnavailable);
            }
            total += data->size();
            saved.insert(type, *data);
        }
        snapshot.items.append(saved);
    }
    if (pasteboard.changeCount() != snapshot.changeCount) {
        throw TextBridgeError(TextBridgeError::clipboardUnavailable);
    }
    return snapshot;
}

void ClipboardSnapshot::restore(platform::Pasteboard& pasteboard,
                                qint64 onlyIfUnchangedSince) const {
    if (pasteboard.changeCount() != onlyIfUnchangedSince) {
        return;
    }
    QList<platform::Pasteboard::Item> written;
    for (const auto& item : items) {
        platform::Pasteboard::Item types;
        for (auto type = item.begin(); type != item.end(); ++type) {
            types.append({type.key(), type.value()});
        }
        written.append(types);
    }
    pasteboard.clearContents();
    if (!written.isEmpty()) {
        pasteboard.writeItems(written);
    }
}

}  // namespace tidyword
