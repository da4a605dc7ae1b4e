#include "platform/linux/AtspiTextEditing.h"

#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiDeadline.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/OwnedHandle.h"

#include <atspi/atspi.h>

#include <optional>

namespace tidyword::platform::linux_desktop {

namespace {

std::optional<QString> textBetween(AtspiText* text, qint64 start, qint64 end) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    // A failed request still returns something to free.
    const OwnedString value(
        atspi_text_get_text(text, static_cast<gint>(start), static_cast<gint>(end), &error));
    if (failed(error) || !value) {
        return std::nullopt;
    }
    return QString::fromUtf8(value.get());
}

bool insert(AtspiEditableText* editable, qint64 position, const QString& text,
            bool countsCodePoints) {
    if (outOfTime()) {
        return false;
    }
    const QByteArray utf8 = text.toUtf8();
    const qint64 length = countsCodePoints ? utf8.size() : text.size();
    GError* error = nullptr;
    const gboolean inserted = atspi_editable_text_insert_text(
        editable, static_cast<gint>(position), utf8.constData(), static_cast<gint>(length), &error);
    return !failed(error) && inserted;
}

}  // namespace

bool AtspiTextEditing::replaceText(const AccessibleElement& element, TextRange range,
                                   const QString& replacement) {
    // Each request reports its own failure, a time-out among them: an answer that comes just
    // before the deadline is as good as an early one, unlike a read's.
    const CallDeadline callDeadline(deadline);
    AtspiAccessible* accessible = unwrap(element);
    if (!accessible || outOfTime()) {
        return false;
    }
    const auto text = adoptObject(atspi_accessible_get_text_iface(accessible));
    const auto editable =
        adoptObject(outOfTime() ? nullptr : atspi_accessible_get_editable_text_iface(accessible));
    if (!text || !editable || outOfTime()) {
        return false;
    }
    GError* error = nullptr;
    const gint count = atspi_text_get_character_count(text.get(), &error);
    if (failed(error) || count < 0 || count > AtspiAccessibility::longestValue) {
        return false;
    }
    const auto value = textBetween(text.get(), 0, count);
    if (!value || range.location < 0 || range.length < 0 ||
        range.length > value->size() - range.location || outOfTime()) {
        return false;
    }
    const QString removed = value->mid(range.location, range.length);
    const bool toolkitCountsCodePoints = countsCodePoints(accessible);
    for (const bool asCodePoints : {toolkitCountsCodePoints, !toolkitCountsCodePoints}) {
        const qint64 start =
            asCodePoints ? codePointOffset(*value, range.location) : range.location;
        const qint64 end = asCodePoints ? codePointOffset(*value, range.location + range.length)
                                        : range.location + range.length;
        if (start < 0 || end < start || textBetween(text.get(), start, end) != removed) {
            continue;
        }
        if (outOfTime()) {
            return false;
        }
        const gboolean deleted = atspi_editable_text_delete_text(
            editable.get(), static_cast<gint>(start), static_cast<gint>(end), &error);
        if (failed(error) || !deleted) {
            return false;
        }
        if (replacement.isEmpty() ||
            insert(editable.get(), start, replacement, toolkitCountsCodePoints)) {
            return true;
        }
        insert(editable.get(), start, removed, toolkitCountsCodePoints);
        return false;
    }
    return false;
}

}  // namespace tidyword::platform::linux_desktop
