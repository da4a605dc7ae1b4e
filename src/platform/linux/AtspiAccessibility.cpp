#include "platform/linux/AtspiAccessibility.h"

#include "platform/linux/AccessibilityStatus.h"
#include "platform/linux/AtspiDeadline.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/OwnedHandle.h"

#include <QCoreApplication>
#include <QStringList>

#include <atspi/atspi.h>
#include <gio/gio.h>

#include <chrono>
#include <cstring>
#include <deque>

namespace tidyword::platform::linux_desktop {

namespace {

using Accessible = OwnedObject<AtspiAccessible>;

AccessibleElement wrap(Accessible accessible) {
    if (!accessible) {
        return {};
    }
    return AccessibleElement(std::make_shared<AtspiElement>(std::move(accessible)));
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

// The Text interface of an element, or none.
OwnedObject<AtspiText> textOf(AtspiAccessible* accessible) {
    return adoptObject(outOfTime() ? nullptr : atspi_accessible_get_text_iface(accessible));
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
    // A failed request still returns something to free.
    const OwnedString value(atspi_text_get_text(text, 0, count, &error));
    if (failed(error) || !value) {
        return std::nullopt;
    }
    return QString::fromUtf8(value.get());
}

std::optional<QString> textBetween(AtspiText* text, gint start, gint end) {
    if (outOfTime()) {
        return std::nullopt;
    }
    GError* error = nullptr;
    // A failed request still returns something to free.
    const OwnedString value(atspi_text_get_text(text, start, end, &error));
    if (failed(error) || !value) {
        return std::nullopt;
    }
    return QString::fromUtf8(value.get());
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
    const OwnedGMemory<AtspiRange> range(atspi_text_get_selection(text, 0, &error));
    if (failed(error) || !range) {
        return std::nullopt;
    }
    return std::pair{std::min(range->start_offset, range->end_offset),
                     std::max(range->start_offset, range->end_offset)};
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
            const OwnedString name(atspi_role_get_name(static_cast<AtspiRole>(atspiRole)));
            return QStringLiteral("atspi:") + QString::fromUtf8(name.get());
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
    // libatspi ends the process when it finds no accessibility bus, which it asks the bus
    // launcher for unless it is named in the environment: without a launcher, running or one
    // the bus can start, no AT-SPI.
    if (qEnvironmentVariableIsEmpty("AT_SPI_BUS_ADDRESS") &&
        !accessibilityBusLauncherExists(std::chrono::milliseconds(2000))) {
        return nullptr;
    }
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
    listener_ =
        adoptObject(atspi_event_listener_new(&AtspiAccessibility::focusEvent, this, nullptr));
    GError* error = nullptr;
    atspi_event_listener_register(listener_.get(), "object:state-changed:focused", &error);
    failed(error);
}

AtspiAccessibility::~AtspiAccessibility() {
    GError* error = nullptr;
    atspi_event_listener_deregister(listener_.get(), "object:state-changed:focused", &error);
    failed(error);
}

void AtspiAccessibility::focusEvent(AtspiEvent* event, void* self) {
    auto& accessibility = *static_cast<AtspiAccessibility*>(self);
    if (event->source && event->detail1 == 1) {
        accessibility.remember(busName(event->source), event->source);
    }
    g_boxed_free(ATSPI_TYPE_EVENT, event);
}

bool AtspiAccessibility::isTrusted() {
    return withinDeadline(timeout_, [this] {
        const auto left = timeLeft();
        return left && switch_.enabled(std::chrono::milliseconds(*left)).value_or(false);
    });
}

AccessibleElement AtspiAccessibility::applicationElement(qint32 processIdentifier) {
    // Our own tree answers on this very thread, which is busy asking: every request would wait
    // out its time-out.
    if (processIdentifier == static_cast<qint32>(QCoreApplication::applicationPid())) {
        return {};
    }
    return withinDeadline(timeout_, [processIdentifier]() -> AccessibleElement {
        const auto desktop = adoptObject(atspi_get_desktop(0));
        GError* error = nullptr;
        const gint count =
            desktop && !outOfTime() ? atspi_accessible_get_child_count(desktop.get(), &error) : 0;
        if (failed(error)) {
            return {};
        }
        for (gint index = 0; index < count && !outOfTime(); ++index) {
            auto application =
                adoptObject(atspi_accessible_get_child_at_index(desktop.get(), index, &error));
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

// The parent, or none. An application's tree ends at the application: above it is the
// desktop, which belongs to no application, and asking it goes through the registry.
Accessible parentOf(AtspiAccessible* accessible) {
    const char* path = reinterpret_cast<const AtspiObject*>(accessible)->path;
    if (outOfTime() || (path && std::strcmp(path, ATSPI_DBUS_PATH_ROOT) == 0)) {
        return nullptr;
    }
    GError* error = nullptr;
    auto parent = adoptObject(atspi_accessible_get_parent(accessible, &error));
    if (failed(error)) {
        return nullptr;
    }
    return parent;
}

// Qt reports a widget that forwards its focus to another (a scroll area's viewport, for one)
// as FOCUSED too, though it cannot take the keyboard itself: the element that has the focus
// is then its nearest FOCUSED and FOCUSABLE ancestor.
Accessible focusOwner(AtspiAccessible* claimant, const StateSet& claimantStates) {
    if (claimantStates.has(ATSPI_STATE_FOCUSABLE)) {
        return newReference(claimant);
    }
    Accessible ancestor = parentOf(claimant);
    for (int depth = 0; ancestor && depth < 16; ++depth) {
        if (hasState(ancestor.get(), ATSPI_STATE_FOCUSED) != true) {
            break;
        }
        if (hasState(ancestor.get(), ATSPI_STATE_FOCUSABLE) == true) {
            return ancestor;
        }
        ancestor = parentOf(ancestor.get());
    }
    return newReference(claimant);
}

// The first FOCUSED and FOCUSABLE accessible below `root`, as the toolkit finds it itself for a
// collection query: one request, however large the tree. None when the toolkit does not answer
// one; a null one when nothing there has the focus.
std::optional<Accessible> queryFocused(AtspiAccessible* root) {
    const auto collection =
        adoptObject(outOfTime() ? nullptr : atspi_accessible_get_collection_iface(root));
    if (!collection) {
        return std::nullopt;
    }
    const auto states = adoptObject(atspi_state_set_new(nullptr));
    atspi_state_set_add(states.get(), ATSPI_STATE_FOCUSED);
    atspi_state_set_add(states.get(), ATSPI_STATE_FOCUSABLE);
    // Some versions of the library read the attributes without checking for none.
    const Owned<GHashTable, g_hash_table_unref> attributes(
        g_hash_table_new(g_str_hash, g_str_equal));
    const auto rule = adoptObject(atspi_match_rule_new(
        states.get(), ATSPI_Collection_MATCH_ALL, attributes.get(), ATSPI_Collection_MATCH_ALL,
        nullptr, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_ALL, FALSE));
    GError* error = nullptr;
    // Traversing, or the toolkit looks at the children of `root` alone. The array is ours, and
    // so is each accessible in it.
    const Owned<GArray, g_array_unref> matches(
        outOfTime()
            ? nullptr
            : atspi_collection_get_matches(collection.get(), rule.get(),
                                           ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error));
    if (failed(error) || !matches) {
        return std::nullopt;
    }
    Accessible found;
    for (guint index = 0; index < matches->len; ++index) {
        Accessible match(g_array_index(matches.get(), AtspiAccessible*, index));
        if (!found) {
            found = std::move(match);
        }
    }
    return found;
}

}  // namespace

AtspiAccessibility::Accessible AtspiAccessibility::focusedElementOf(AtspiAccessible* application) {
    const QString key = busName(application);
    // Each request below runs the main loop, where the focus listener may replace, and so
    // release, the element remembered for this application.
    const auto remembered = lastFocused_.find(key);
    const Accessible held =
        newReference(remembered != lastFocused_.end() ? remembered->second.get() : nullptr);
    AtspiAccessible* last = held.get();
    const auto lastStates = last ? statesOf(last) : std::nullopt;
    if (lastStates && lastStates->has(ATSPI_STATE_FOCUSED)) {
        // Some toolkits (Qt) announce the window's focus after the field's: the field inside
        // it is the focused element.
        const auto role = roleOf(last);
        if (role && isWindowRole(*role)) {
            if (Accessible inside = searchFocused(last)) {
                remember(key, inside.get());
                return inside;
            }
        }
        Accessible owner = focusOwner(last, *lastStates);
        remember(key, owner.get());
        return owner;
    }
    // The focus is in the active window, if anywhere. An application with none is in the
    // background, where nothing is FOCUSED: a search would only cost the whole tree.
    if (const Accessible window = activeWindowOf(application)) {
        if (Accessible found = searchFocused(window.get())) {
            remember(key, found.get());
            return found;
        }
    }
    // An application in the background has no FOCUSED element, yet it keeps the one that
    // gets the keyboard back when it is activated: the last one that had it.
    const auto lastStatesNow = last ? statesOf(last) : std::nullopt;
    if (lastStatesNow && !lastStatesNow->has(ATSPI_STATE_DEFUNCT) &&
        lastStatesNow->has(ATSPI_STATE_SHOWING)) {
        return newReference(last);
    }
    return nullptr;
}

void AtspiAccessibility::remember(const QString& application, AtspiAccessible* focused) {
    lastFocused_.insert_or_assign(application, newReference(focused));
}

AtspiAccessibility::Accessible AtspiAccessibility::searchFocused(AtspiAccessible* root) {
    // No event told us where the focus is (we started after it moved, or only its window
    // said): look for it below `root`. A toolkit that answers collection queries looks itself;
    // for the others we walk the tree, within bounds.
    if (std::optional<Accessible> found = queryFocused(root)) {
        return std::move(*found);
    }
    std::deque<Accessible> queue;
    queue.push_back(newReference(root));
    for (int visited = 0; !queue.empty() && visited < searchLimit && !outOfTime(); ++visited) {
        Accessible current = std::move(queue.front());
        queue.pop_front();
        // A FOCUSED one that cannot take the keyboard forwards it to one further down.
        if (current.get() != root && hasState(current.get(), ATSPI_STATE_FOCUSED) == true &&
            hasState(current.get(), ATSPI_STATE_FOCUSABLE) != false) {
            return current;
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
            Accessible child(atspi_accessible_get_child_at_index(current.get(), index, &error));
            if (!failed(error) && child) {
                queue.push_back(std::move(child));
            }
        }
    }
    return nullptr;
}

AtspiAccessibility::Accessible AtspiAccessibility::focusedWindowOf(AtspiAccessible* application) {
    Accessible current = focusedElementOf(application);
    for (int depth = 0; current && depth < 64; ++depth) {
        const auto role = roleOf(current.get());
        if (role && isWindowRole(*role)) {
            return current;
        }
        if (role == ATSPI_ROLE_APPLICATION) {
            break;
        }
        current = parentOf(current.get());
    }
    return activeWindowOf(application);
}

AtspiAccessibility::Accessible AtspiAccessibility::activeWindowOf(AtspiAccessible* application) {
    GError* error = nullptr;
    const gint count = outOfTime() ? 0 : atspi_accessible_get_child_count(application, &error);
    for (gint index = 0; !failed(error) && index < count && !outOfTime(); ++index) {
        Accessible window(atspi_accessible_get_child_at_index(application, index, &error));
        if (!failed(error) && window && hasState(window.get(), ATSPI_STATE_ACTIVE) == true) {
            return window;
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
        Accessible found;
        switch (attribute) {
            case Attribute::focusedElement:
                found = focusedElementOf(accessible);
                break;
            case Attribute::focusedWindow:
                found = focusedWindowOf(accessible);
                break;
            case Attribute::parent:
                found = parentOf(accessible);
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
                const auto text = textOf(accessible);
                return text ? wholeText(text.get()) : std::nullopt;
            }
            case Attribute::selectedText: {
                const auto text = textOf(accessible);
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
                // AT-SPI has no subroles: a password field has a role of its own, which
                // protectedContent reports. Asking for it here too would cost a request more for
                // every element a protection check walks through.
                return std::nullopt;
            case Attribute::title: {
                if (outOfTime()) {
                    return std::nullopt;
                }
                const OwnedString name(atspi_accessible_get_name(accessible, &error));
                if (failed(error) || !name) {
                    return std::nullopt;
                }
                return QString::fromUtf8(name.get());
            }
            case Attribute::document: {
                const auto document = adoptObject(
                    outOfTime() ? nullptr : atspi_accessible_get_document_iface(accessible));
                if (!document) {
                    return std::nullopt;
                }
                for (QByteArray key : {QByteArray("DocURL"), QByteArray("URI")}) {
                    if (outOfTime()) {
                        break;
                    }
                    const OwnedString found(atspi_document_get_document_attribute_value(
                        document.get(), key.data(), &error));
                    if (!failed(error) && found && *found) {
                        return QString::fromUtf8(found.get());
                    }
                }
                return std::nullopt;
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
        const auto text = textOf(accessible);
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
        const auto text = accessible ? textOf(accessible) : nullptr;
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
        const OwnedGMemory<AtspiRect> extents(
            atspi_text_get_range_extents(text.get(), static_cast<gint>(start),
                                         static_cast<gint>(end), ATSPI_COORD_TYPE_SCREEN, &error));
        if (failed(error) || !extents) {
            return std::nullopt;
        }
        return ScreenRect{static_cast<double>(extents->x), static_cast<double>(extents->y),
                          static_cast<double>(extents->width),
                          static_cast<double>(extents->height)};
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
        if (!adoptObject(atspi_accessible_get_editable_text_iface(accessible))) {
            return false;
        }
        return hasState(accessible, ATSPI_STATE_EDITABLE);
    });
}

void AtspiAccessibility::setBoolean(const AccessibleElement& /*element*/, Attribute /*attribute*/,
                                    bool /*value*/) {
    // The one boolean the text bridge sets asks an Electron application on another desktop to
    // build its tree; on this bus, IsEnabled already does.
}

}  // namespace tidyword::platform::linux_desktop
