// The seam to the general clipboard: a change count that rises on every write by anyone (never
// on reads), items with their typed data, and plain text.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace tidyword::platform {

class Pasteboard {
public:
    // The type by which clipboard managers (KDE's Klipper, and those that follow it) recognise
    // contents they must not keep.
    static constexpr char16_t transientMarkType[] = u"x-kde-passwordManagerHint";

    // One item to write: its types with their data, in order.
    using Item = QList<QPair<QString, QByteArray>>;

    virtual ~Pasteboard() = default;

    virtual qint64 changeCount() = 0;
    // The types each item lists, item by item, in the clipboard's order.
    virtual QList<QStringList> itemTypes() = 0;
    // The data of one listed type of one item; none when it cannot be read or is larger than
    // `maximumSize` (then it is not read whole).
    virtual std::optional<QByteArray> data(int item, const QString& type, qint64 maximumSize) = 0;
    // Empties the clipboard (a write).
    virtual void clearContents() = 0;
    // Afterwards the clipboard holds exactly these items (a write).
    virtual void writeItems(const QList<Item>& items) = 0;
    // Holds `text` as plain text and nothing else; false when refused.
    virtual bool setString(const QString& text) = 0;
    // Holds `text` as plain text for a moment, for a paste of ours: it is also marked with
    // `transientMarkType` ("secret"), so that clipboard managers keep it out of their history.
    // False when refused.
    virtual bool setTransientString(const QString& text) = 0;
    // The plain-text string, or none.
    virtual std::optional<QString> string() = 0;
};

}  // namespace tidyword::platform
