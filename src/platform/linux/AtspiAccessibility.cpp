#include "platform/linux/AtspiAccessibility.h"

#include "platform/linux/AccessibilityStatus.h"
#include "platform/linux/AtspiDeadline.h"
#include "platform/linux/AtspiElement.h"

#include <QCoreApplication>
#include <QStringList>

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <chrono>
#include <deque>

namespace tidyword::platform::linux_desktop {

namespace {

// An accessible we hold a reference on.
using Held = std::unique_ptr<AtspiAccessible, decltype(&g_object_unref)>;

Held hold(AtspiAccessible* accessible) {
    return Held(accessible, &g_object_unref);
}

QString takeString(gchar* text) {
    QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

AccessibleElement wrap(Held accessible) {
    if (!accessible) {
        return {};
    }
    return AccessibleElement(std::make_shared<AtspiElement>(accessible.release()));
}

QString busName(AtspiAccessible* accessible) {
    const auto* object = reinterpret_cast<const AtspiObject*>(accessible);
    return object->app ? QString::fromUtf8(object->app->bus_name) : QString();
}

std::optional<AtspiRole> roleOf(AtspiAccessible* accessible) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    const AtspiRole role = atspi_accessible_get_role(accessible, &error);
    if (failed(error) || role == ATSPI_ROLE_INVALID) {
        return std::nullopt;
    }
    return role;
}

bool isWindowRole(AtspiRole role) {
    return role == ATSPI_ROLE_FRAME || role == ATSPI_ROLE_DIALOG || role == ATSPI_ROLE_WINDOW ||
           role == ATSPI_ROLE_ALERT || role == ATSPI_ROLE_FILE_CHOOSER;
}

// The Text interface of an element, referenced, or none.
using HeldText = std::unique_ptr<AtspiText, decltype(&g_object_unref)>;
HeldText textOf(AtspiAccessible* accessible) {
    return HeldText(outOfTime() ? nullptr : atspi_accessible_get_text_iface(accessible),
                    &g_object_unref);
}

std::optional<QString> wholeText(AtspiText* text) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    const gint count = atspi_text_get_character_count(text, &error);
    if (failed(error) || count < 0 || count > AtspiAccessibility::longestValue || outOfTime()) {
        return std::nullopt;
    }
    gchar* value = atspi_text_get_text(text, 0, count, &error);
    // A failed request still returns something to free.
    if (failed(error) || !value) {
        g_free(value);
        return std::nullopt;
    }
    return takeString(value);
}

std::optional<QString> textBetween(AtspiText* text, gint start, gint end) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    gchar* value = atspi_text_get_text(text, start, end, &error);
    // A failed request still returns something to free.
    if (failed(error) || !value) {
        g_free(value);
        return std::nullopt;
    }
    return takeString(value);
}

// The first selection [start, end) in toolkit offsets; [caret, caret) with none.
std::optional<std::pair<gint, gint>> firstSelection(AtspiText* text) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    const gint selections = atspi_text_get_n_selections(text, &error);
    if (failed(error) || outOfTime()) {
        return std::nullopt;
    }
    if (selections <= 0) {
        const gint caret = atspi_text_get_caret_offset(text, &error);
        if (failed(error) || caret < 0) {
            return std::nullopt;
        }
        return std::pair{caret, caret};
    }
    AtspiRange* range = atspi_text_get_selection(text, 0, &error);
    if (failed(error) || !range) {
        g_free(range);
        return std::nullopt;
    }
    const std::pair offsets{std::min(range->start_offset, range->end_offset),
                            std::max(range->start_offset, range->end_offset)};
    g_free(range);
    return offsets;
}

// The toolkit's count first: within the call's deadline, else code points, which most count.
bool toolkitCountsCodePoints(AtspiAccessible* accessible) {
    return outOfTime() || countsCodePoints(accessible);
}

}  // namespace

QString roleName(int atspiRole, bool singleLine) {
    switch (static_cast<AtspiRole>(atspiRole)) {
        case ATSPI_ROLE_ENTRY:
        case ATSPI_ROLE_PASSWORD_TEXT:
            return QStringLiteral("AXTextField");
        case ATSPI_ROLE_TEXT:
        case ATSPI_ROLE_SPIN_BUTTON:
            return singleLine || atspiRole == ATSPI_ROLE_SPIN_BUTTON ? QStringLiteral("AXTextField")
                                                                     : QStringLiteral("AXTextArea");
        case ATSPI_ROLE_PARAGRAPH:
        case ATSPI_ROLE_DOCUMENT_TEXT:
            return QStringLiteral("AXTextArea");
        case ATSPI_ROLE_COMBO_BOX:
            return QStringLiteral("AXComboBox");
        case ATSPI_ROLE_LABEL:
        case ATSPI_ROLE_STATIC:
            return QStringLiteral("AXStaticText");
        default: {
            // Every other role keeps its own AT-SPI name, which no rule of ours accepts.
            gchar* name = atspi_role_get_name(static_cast<AtspiRole>(atspiRole));
            return QStringLiteral("atspi:") + takeString(name);
        }
    }
}

qint64 utf16Offset(const QString& text, qint64 codePoints) {
    if (codePoints < 0) {
        return -1;
    }
    qint64 units = 0;
    for (qint64 point = 0; point < codePoints; ++point) {
        if (units >= text.size()) {
            return -1;
        }
        const bool pair = text[units].isHighSurrogate() && units + 1 < text.size() &&
                          text[units + 1].isLowSurrogate();
        units += pair ? 2 : 1;
    }
    return units;
}

qint64 codePointOffset(const QString& text, qint64 utf16Units) {
    if (utf16Units < 0 || utf16Units > text.size()) {
        return -1;
    }
    qint64 points = 0;
    qint64 units = 0;
    while (units < utf16Units) {
        const bool pair = text[units].isHighSurrogate() && units + 1 < text.size() &&
                          text[units + 1].isLowSurrogate();
        units += pair ? 2 : 1;
        ++points;
    }
    return units == utf16Units ? points : -1;
}

std::optional<TextRange> selectionInUtf16(const QString& value, qint64 start, qint64 end,
                                          const QString& selected, bool countsCodePointsFirst) {
    for (const bool asCodePoints : {countsCodePointsFirst, !countsCodePointsFirst}) {
        const qint64 from = asCodePoints ? utf16Offset(value, start) : start;
        const qint64 to = asCodePoints ? utf16Offset(value, end) : end;
        if (from < 0 || to < from || to > value.size()) {
            continue;
        }
        if (QStringView(value).mid(from, to - from) == selected) {
            return TextRange{from, to - from};
        }
    }
    return std::nullopt;
}

std::unique_ptr<AtspiAccessibility> AtspiAccessibility::open() {
    // 0 is success, 1 "already initialised"; anything else means no bus to talk to.
    if (atspi_init() > 1) {
        return nullptr;
    }
    return std::unique_ptr<AtspiAccessibility>(new AtspiAccessibility());
}

AtspiAccessibility::AtspiAccessibility() {
    atspi_set_timeout(static_cast<gint>(defaultTimeout.count()),
                      static_cast<gint>(defaultTimeout.count()));
    // The library's cache stays on: it is kept current by the applications' own events, and
    // without it the library's event handlers make requests of their own while one of ours
    // waits, which deadlocks its D-Bus connection.
    listener_ = atspi_event_listener_new(&AtspiAccessibility::focusEvent, this, nullptr);
    GError* error = nullptr;
    atspi_event_listener_register(listener_, "object:state-changed:focused", &error);
    failed(error);
}

AtspiAccessibility::~AtspiAccessibility() {
    GError* error = nullptr;
    atspi_event_listener_deregister(listener_, "object:state-changed:focused", &error);
    failed(error);
    g_object_unref(listener_);
    for (AtspiAccessible* focused : std::as_const(lastFocused_)) {
        g_object_unref(focused);
    }
}

void AtspiAccessibility::focusEvent(AtspiEvent* event, void* self) {
    auto& accessibility = *static_cast<AtspiAccessibility*>(self);
    if (event->source && event->detail1 == 1) {
        const QString application = busName(event->source);
        if (AtspiAccessible* previous = accessibility.lastFocused_.take(application)) {
            g_object_unref(previous);
        }
        accessibility.lastFocused_.insert(
            application, static_cast<AtspiAccessible*>(g_object_ref(event->source)));
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

bool AtspiAccessibility::isTrusted() {
    return withinDeadline(timeout_, [] {
        const auto left = timeLeft();
        return left && accessibilityEnabled(std::chrono::milliseconds(*left)).value_or(false);
    });
}

AccessibleElement AtspiAccessibility::applicationElement(qint32 processIdentifier) {
    // Our own tree answers on this very thread, which is busy asking: every request would wait
    // out its time-out.
    if (processIdentifier == static_cast<qint32>(QCoreApplication::applicationPid())) {
        return {};
    }
    return withinDeadline(timeout_, [processIdentifier]() -> AccessibleElement {
        const Held desktop = hold(atspi_get_desktop(0));
        GError* error = nullptr;
        const gint count =
            desktop && !outOfTime() ? atspi_accessible_get_child_count(desktop.get(), &error) : 0;
        if (failed(error)) {
            return {};
        }
        for (gint index = 0; index < count && !outOfTime(); ++index) {
            Held application =
                hold(atspi_accessible_get_child_at_index(desktop.get(), index, &error));
            if (failed(error) || !application || outOfTime()) {
                continue;
            }
            if (processIdentifierOf(application.get()) == processIdentifier) {
                return wrap(std::move(application));
            }
        }
        return {};
    });
}

void AtspiAccessibility::setMessagingTimeout(const AccessibleElement& /*application*/,
                                             std::chrono::milliseconds timeout) {
    // AT-SPI has one time-out for every request, not one per application; each seam call gets
    // it whole, for all the requests it makes.
    timeout_ = timeout;
    atspi_set_timeout(static_cast<gint>(timeout.count()), static_cast<gint>(timeout.count()));
}

namespace {

// The parent, referenced, or none.
AtspiAccessible* parentOf(AtspiAccessible* accessible) {
    if (outOfTime()) {
        return nullptr;
    }
    GError* error = nullptr;
    AtspiAccessible* parent = atspi_accessible_get_parent(accessible, &error);
    if (failed(error) && parent) {
        g_object_unref(parent);
        return nullptr;
    }
    return parent;
}

// Qt reports a widget that forwards its focus to another (a scroll area's viewport, for one)
// as FOCUSED too, though it cannot take the keyboard itself: the element that has the focus
// is then its nearest FOCUSED and FOCUSABLE ancestor. A new reference.
AtspiAccessible* focusOwner(AtspiAccessible* claimant) {
    if (hasState(claimant, ATSPI_STATE_FOCUSABLE) != false) {
        return static_cast<AtspiAccessible*>(g_object_ref(claimant));
    }
    Held ancestor = hold(parentOf(claimant));
    for (int depth = 0; ancestor && depth < 16; ++depth) {
        if (hasState(ancestor.get(), ATSPI_STATE_FOCUSED) != true) {
            break;
        }
        if (hasState(ancestor.get(), ATSPI_STATE_FOCUSABLE) == true) {
            return ancestor.release();
        }
        ancestor = hold(parentOf(ancestor.get()));
    }
    return static_cast<AtspiAccessible*>(g_object_ref(claimant));
}

// The first FOCUSED and FOCUSABLE accessible below `root`, as the toolkit finds it itself for a
// collection query: one request, however large the tree. None when the toolkit does not answer
// one; a null one when nothing there has the focus.
std::optional<Held> queryFocused(AtspiAccessible* root) {
    AtspiCollection* collection =
        outOfTime() ? nullptr : atspi_accessible_get_collection_iface(root);
    if (!collection) {
        return std::nullopt;
    }
    AtspiStateSet* states = atspi_state_set_new(nullptr);
    atspi_state_set_add(states, ATSPI_STATE_FOCUSED);
    atspi_state_set_add(states, ATSPI_STATE_FOCUSABLE);
    // Some versions of the library read the attributes without checking for none.
    GHashTable* attributes = g_hash_table_new(g_str_hash, g_str_equal);
    AtspiMatchRule* rule = atspi_match_rule_new(
        states, ATSPI_Collection_MATCH_ALL, attributes, ATSPI_Collection_MATCH_ALL, nullptr,
        ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE);
    g_hash_table_unref(attributes);
    g_object_unref(states);
    GError* error = nullptr;
    // Traversing, or the toolkit looks at the children of `root` alone.
    GArray* matches =
        outOfTime() ? nullptr
                    : atspi_collection_get_matches(
                          collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
    g_object_unref(rule);
    g_object_unref(collection);
    if (failed(error) || !matches) {
        return std::nullopt;
    }
    Held found = hold(nullptr);
    for (guint index = 0; index < matches->len; ++index) {
        auto* match = g_array_index(matches, AtspiAccessible*, index);
        if (!found) {
            found = hold(match);
        } else if (match) {
            g_object_unref(match);
        }
    }
    g_array_free(matches, TRUE);
    return found;
}

}  // namespace

AtspiAccessible* AtspiAccessibility::focusedElementOf(AtspiAccessible* application) {
    const QString key = busName(application);
    // Each request below runs the main loop, where the focus listener may replace, and so
    // release, the element remembered for this application.
    AtspiAccessible* remembered = lastFocused_.value(key);
    const Held held =
        hold(remembered ? static_cast<AtspiAccessible*>(g_object_ref(remembered)) : nullptr);
    AtspiAccessible* last = held.get();
    if (last && hasState(last, ATSPI_STATE_FOCUSED) == true) {
        // Some toolkits (Qt) announce the window's focus after the field's: the field inside
        // it is the focused element.
        const auto role = roleOf(last);
        if (role && isWindowRole(*role)) {
            if (AtspiAccessible* inside = searchFocused(last)) {
                remember(key, inside);
                return inside;
            }
        }
        AtspiAccessible* owner = focusOwner(last);
        remember(key, owner);
        return owner;
    }
    // The focus is in the active window, if anywhere. An application with none is in the
    // background, where nothing is FOCUSED: a search would only cost the whole tree.
    if (const Held window = hold(activeWindowOf(application))) {
        if (AtspiAccessible* found = searchFocused(window.get())) {
            remember(key, found);
            return found;
        }
    }
    // An application in the background has no FOCUSED element, yet it keeps the one that
    // gets the keyboard back when it is activated: the last one that had it.
    if (last && hasState(last, ATSPI_STATE_DEFUNCT) == false &&
        hasState(last, ATSPI_STATE_SHOWING) == true) {
        return static_cast<AtspiAccessible*>(g_object_ref(last));
    }
    return nullptr;
}

void AtspiAccessibility::remember(const QString& application, AtspiAccessible* focused) {
    if (AtspiAccessible* previous = lastFocused_.take(application)) {
        g_object_unref(previous);
    }
    lastFocused_.insert(application, static_cast<AtspiAccessible*>(g_object_ref(focused)));
}

AtspiAccessible* AtspiAccessibility::searchFocused(AtspiAccessible* root) {
    // No event told us where the focus is (we started after it moved, or only its window
    // said): look for it below `root`. A toolkit that answers collection queries looks itself;
    // for the others we walk the tree, within bounds.
    if (std::optional<Held> found = queryFocused(root)) {
        return found->release();
    }
    std::deque<Held> queue;
    queue.push_back(hold(static_cast<AtspiAccessible*>(g_object_ref(root))));
    for (int visited = 0; !queue.empty() && visited < searchLimit && !outOfTime(); ++visited) {
        Held current = std::move(queue.front());
        queue.pop_front();
        // A FOCUSED one that cannot take the keyboard forwards it to one further down.
        if (current.get() != root && hasState(current.get(), ATSPI_STATE_FOCUSED) == true &&
            hasState(current.get(), ATSPI_STATE_FOCUSABLE) != false) {
            return current.release();
        }
        GError* error = nullptr;
        const gint children =
            outOfTime() ? 0 : atspi_accessible_get_child_count(current.get(), &error);
        // A list or table that manages thousands of rows is no place for a text field.
        if (failed(error) || children > searchLimit ||
            hasState(current.get(), ATSPI_STATE_MANAGES_DESCENDANTS) == true) {
            continue;
        }
        for (gint index = 0; index < children && !outOfTime(); ++index) {
            AtspiAccessible* child =
                atspi_accessible_get_child_at_index(current.get(), index, &error);
            if (!failed(error) && child) {
                queue.push_back(hold(child));
            }
        }
    }
    return nullptr;
}

AtspiAccessible* AtspiAccessibility::focusedWindowOf(AtspiAccessible* application) {
    Held current = hold(focusedElementOf(application));
    for (int depth = 0; current && depth < 64; ++depth) {
        const auto role = roleOf(current.get());
        if (role && isWindowRole(*role)) {
            return current.release();
        }
        if (role == ATSPI_ROLE_APPLICATION) {
            break;
        }
        current = hold(parentOf(current.get()));
    }
    return activeWindowOf(application);
}

AtspiAccessible* AtspiAccessibility::activeWindowOf(AtspiAccessible* application) {
    GError* error = nullptr;
    const gint count = outOfTime() ? 0 : atspi_accessible_get_child_count(application, &error);
    for (gint index = 0; !failed(error) && index < count && !outOfTime(); ++index) {
        Held window = hold(atspi_accessible_get_child_at_index(application, index, &error));
        if (!failed(error) && window && hasState(window.get(), ATSPI_STATE_ACTIVE) == true) {
            return window.release();
        }
    }
    return nullptr;
}

std::optional<AccessibleElement> AtspiAccessibility::elementAttribute(
    const AccessibleElement& element, Attribute attribute) {
    return withinDeadline(timeout_, [&]() -> std::optional<AccessibleElement> {
        AtspiAccessible* accessible = unwrap(element);
        if (!accessible) {
            return std::nullopt;
        }
        Held found = hold(nullptr);
        switch (attribute) {
            case Attribute::focusedElement:
                found = hold(focusedElementOf(accessible));
                break;
            case Attribute::focusedWindow:
                found = hold(focusedWindowOf(accessible));
                break;
            case Attribute::parent:
                found = hold(parentOf(accessible));
                break;
            default:
                return std::nullopt;
        }
        if (!found) {
            return std::nullopt;
        }
        return wrap(std::move(found));
    });
}

std::optional<QString> AtspiAccessibility::stringAttribute(const AccessibleElement& element,
                                                           Attribute attribute) {
    return withinDeadline(timeout_, [&]() -> std::optional<QString> {
        AtspiAccessible* accessible = unwrap(element);
        if (!accessible) {
            return std::nullopt;
        }
        GError* error = nullptr;
        switch (attribute) {
            case Attribute::value: {
                const HeldText text = textOf(accessible);
                return text ? wholeText(text.get()) : std::nullopt;
            }
            case Attribute::selectedText: {
                const HeldText text = textOf(accessible);
                const auto selection = text ? firstSelection(text.get()) : std::nullopt;
                if (!selection) {
                    return std::nullopt;
                }
                if (selection->first == selection->second) {
                    return QString();
                }
                return textBetween(text.get(), selection->first, selection->second);
            }
            case Attribute::role: {
                const auto role = roleOf(accessible);
                if (!role) {
                    return std::nullopt;
                }
                return roleName(*role, hasState(accessible, ATSPI_STATE_SINGLE_LINE) == true);
            }
            case Attribute::subrole:
                if (roleOf(accessible) == ATSPI_ROLE_PASSWORD_TEXT) {
                    return QStringLiteral("AXSecureTextField");
                }
                return std::nullopt;
            case Attribute::title: {
                if (outOfTime()) {
                    return std::nullopt;
                }
                gchar* name = atspi_accessible_get_name(accessible, &error);
                if (failed(error) || !name) {
                    g_free(name);
                    return std::nullopt;
                }
                return takeString(name);
            }
            case Attribute::document: {
                AtspiDocument* document =
                    outOfTime() ? nullptr : atspi_accessible_get_document_iface(accessible);
                if (!document) {
                    return std::nullopt;
                }
                std::optional<QString> location;
                for (QByteArray key : {QByteArray("DocURL"), QByteArray("URI")}) {
                    if (outOfTime()) {
                        break;
                    }
                    gchar* found =
                        atspi_document_get_document_attribute_value(document, key.data(), &error);
                    if (!failed(error) && found && *found) {
                        location = takeString(found);
                        break;
                    }
                    g_free(found);
                }
                g_object_unref(document);
                return location;
            }
            default:
                return std::nullopt;
        }
    });
}

std::optional<bool> AtspiAccessibility::booleanAttribute(const AccessibleElement& element,
                                                         Attribute attribute) {
    return withinDeadline(timeout_, [&]() -> std::optional<bool> {
        AtspiAccessible* accessible = unwrap(element);
        if (!accessible) {
            return std::nullopt;
        }
        switch (attribute) {
            case Attribute::enabled:
                return hasState(accessible, ATSPI_STATE_ENABLED);
            case Attribute::editable:
                return hasState(accessible, ATSPI_STATE_EDITABLE);
            case Attribute::protectedContent: {
                const auto role = roleOf(accessible);
                return role ? std::optional(*role == ATSPI_ROLE_PASSWORD_TEXT) : std::nullopt;
            }
            default:
                return std::nullopt;
        }
    });
}

std::optional<TextRange> AtspiAccessibility::rangeAttribute(const AccessibleElement& element,
                                                            Attribute attribute) {
    return withinDeadline(timeout_, [&]() -> std::optional<TextRange> {
        AtspiAccessible* accessible = unwrap(element);
        if (!accessible || attribute != Attribute::selectedRange) {
            return std::nullopt;
        }
        const HeldText text = textOf(accessible);
        if (!text) {
            return std::nullopt;
        }
        const auto value = wholeText(text.get());
        const auto selection = firstSelection(text.get());
        if (!value || !selection) {
            return std::nullopt;
        }
        const auto selected = selection->first == selection->second
                                  ? std::optional(QString())
                                  : textBetween(text.get(), selection->first, selection->second);
        if (!selected) {
            return std::nullopt;
        }
        return selectionInUtf16(*value, selection->first, selection->second, *selected,
                                toolkitCountsCodePoints(accessible));
    });
}

std::optional<ScreenRect> AtspiAccessibility::boundsForRange(const AccessibleElement& element,
                                                             TextRange range) {
    return withinDeadline(timeout_, [&]() -> std::optional<ScreenRect> {
        AtspiAccessible* accessible = unwrap(element);
        const HeldText text = accessible ? textOf(accessible) : HeldText(nullptr, &g_object_unref);
        if (!text) {
            return std::nullopt;
        }
        qint64 start = range.location;
        qint64 end = range.location + range.length;
        if (toolkitCountsCodePoints(accessible)) {
            const auto value = wholeText(text.get());
            if (!value) {
                return std::nullopt;
            }
            start = codePointOffset(*value, start);
            end = codePointOffset(*value, end);
            if (start < 0 || end < 0) {
                return std::nullopt;
            }
        }
        if (outOfTime()) {
            return std::nullopt;
        }
        GError* error = nullptr;
        AtspiRect* extents =
            atspi_text_get_range_extents(text.get(), static_cast<gint>(start),
                                         static_cast<gint>(end), ATSPI_COORD_TYPE_SCREEN, &error);
        if (failed(error) || !extents) {
            g_free(extents);
            return std::nullopt;
        }
        const ScreenRect bounds{static_cast<double>(extents->x), static_cast<double>(extents->y),
                                static_cast<double>(extents->width),
                                static_cast<double>(extents->height)};
        g_free(extents);
        return bounds;
    });
}

std::optional<bool> AtspiAccessibility::isSettable(const AccessibleElement& element,
                                                   Attribute attribute) {
    return withinDeadline(timeout_, [&]() -> std::optional<bool> {
        AtspiAccessible* accessible = unwrap(element);
        if (!accessible) {
            return std::nullopt;
        }
        if (attribute != Attribute::value && attribute != Attribute::selectedText) {
            return false;
        }
        if (outOfTime()) {
            return std::nullopt;
        }
        AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(accessible);
        if (!editable) {
            return false;
        }
        g_object_unref(editable);
        return hasState(accessible, ATSPI_STATE_EDITABLE);
    });
}

void AtspiAccessibility::setBoolean(const AccessibleElement& /*element*/, Attribute /*attribute*/,
                                    bool /*value*/) {
    // The one boolean the text bridge sets asks an Electron application on another desktop to
    // build its tree; on this bus, IsEnabled already does.
}

}  // namespace tidyword::platform::linux_desktop
