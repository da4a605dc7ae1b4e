#include "platform/linux/ClipboardText.h"

#include <algorithm>

namespace tidyword::platform::linux_desktop {

using namespace Qt::Literals::StringLiterals;

Pasteboard::Item textItem(const QString& text, bool transient) {
    const QByteArray utf8 = text.toUtf8();
    Pasteboard::Item item{
        {u"UTF8_STRING"_s, utf8}, {u"text/plain;charset=utf-8"_s, utf8}, {u"text/plain"_s, utf8}};
    // The oldest clients ask for Latin-1, which only some texts can be.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; })) {
        item.append({u"STRING"_s, text.toLatin1()});
    }
    if (transient) {
        item.append(
            {QString::fromUtf16(Pasteboard::transientMarkType), QByteArrayLiteral("secret")});
    }
    return item;
}

std::optional<QString> plainText(Pasteboard& pasteboard, qint64 longest) {
    // Only the types the owner lists, where it says: some owners (Qt's among them) answer a type
    // they do not hold with nothing rather than a refusal.
    const auto listed = pasteboard.itemTypes();
    const auto read = [&](const QString& type) -> std::optional<QByteArray> {
        QString asked = type;
        if (listed) {
            // A charset's name is not case-sensitive: "charset=UTF-8" is offered as well.
            const QStringList offered = listed->value(0);
            const auto found = std::find_if(
                offered.cbegin(), offered.cend(),
                [&](const QString& o) { return o.compare(type, Qt::CaseInsensitive) == 0; });
            if (found == offered.cend()) {
                return std::nullopt;
            }
            asked = *found;
        }
        const auto data = pasteboard.data(0, asked, longest);
        return data ? std::optional(data->bytes) : std::nullopt;
    };
    // Plain "text/plain" is UTF-8 in practice wherever it is the only text type offered.
    for (const char16_t* type : {u"UTF8_STRING", u"text/plain;charset=utf-8", u"text/plain"}) {
        if (const auto bytes = read(QString::fromUtf16(type))) {
            return QString::fromUtf8(*bytes);
        }
    }
    if (const auto bytes = read(u"STRING"_s)) {
        return QString::fromLatin1(*bytes);
    }
    return std::nullopt;
}

}  // namespace tidyword::platform::linux_desktop
