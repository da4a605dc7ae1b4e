// The seam to the general clipboard: a change count that rises on every write by anyone (never
// on reads), items with their typed data, and plain text.
#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

namespace tidyword::platform {

class Pasteboard {
public:
    // The type by which clipboard managers (KDE's Klipper, and those that follow it) recognise
    // contents they must not keep.
    static constexpr char16_t transientMarkType[] = u"x-kde-passwordManagerHint";

    // One type's data, with how its owner typed the bytes where the clipboard records that (on
    // X11 a target's data comes with a property type and a unit size): a restore serves them
    // back exactly as they were read.
    struct Data {
        // Implicit: plain bytes are data typed by the type's own name, as most owners give them.
        Data(QByteArray bytes = {}, QString encoding = {}, int format = 8)
            : bytes(std::move(bytes)), encoding(std::move(encoding)), format(format) {}
        QByteArray bytes;
        QString encoding;  // empty: the type's own name
        int format;        // bits per unit: 8, 16 or 32
        friend bool operator==(const Data&, const Data&) = default;
    };

    // One item: its types with their data, in order.
    using Item = QList<QPair<QString, Data>>;

    virtual ~Pasteboard() = default;

    virtual qint64 changeCount() = 0;
    // The types each item lists, item by item, in the clipboard's order; an empty list for an
    // empty clipboard, none when the clipboard holds something that cannot be listed (an owner
    // that does not answer in time, or refuses to say what it has).
    virtual std::optional<QList<QStringList>> itemTypes() = 0;
    // The data of one listed type of one item; none when it cannot be read in time or is larger
    // than `maximumSize` (then it is not read whole).
    virtual std::optional<Data> data(int item, const QString& type, qint64 maximumSize) = 0;
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
    // Before this process ends: whatever it still serves is handed to the desktop's clipboard
    // manager, where one runs, so that the user's clipboard outlives Tidyword.
    virtual void keepAfterExit() = 0;
};

}  // namespace tidyword::platform
