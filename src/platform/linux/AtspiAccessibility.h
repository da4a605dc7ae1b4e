// The accessibility seam on AT-SPI2 (libatspi), the accessibility service of Linux desktops.
// Trust means the accessibility bus is there and enabled (org.a11y.Status IsEnabled). Calls run
// on the main thread only (libatspi is not thread-safe), and each has one deadline for all the
// D-Bus requests it makes, however many: the messaging time-out (defaultTimeout unless set)
// from its start. No request waits past it, and none is made after it; a call that reaches it
// reads as "absent", as does a request that fails. So no call holds the main thread longer than
// the messaging time-out and the taking in of the last reply.
//
// How the seam's names map onto AT-SPI:
//
// | seam                 | AT-SPI                                                          |
// |----------------------|-----------------------------------------------------------------|
// | application element  | the desktop's child application whose process id is the pid    |
// | focusedElement       | the accessible that last reported focus and still has FOCUSED   |
// |                      | (a FOCUSED one inside it when that is a window; its FOCUSED and |
// |                      | FOCUSABLE ancestor when it is not FOCUSABLE itself),           |
// |                      | else the first FOCUSED and FOCUSABLE one in the application's   |
// |                      | ACTIVE child (a Collection GetMatches query; a bounded walk     |
// |                      | where the toolkit answers none), else the last one that had the |
// |                      | focus, while it is still showing: an application without an     |
// |                      | ACTIVE child is in the background, and is never searched        |
// | focusedWindow        | the focused element's nearest frame, dialog, window or alert,   |
// |                      | else the application's ACTIVE child                             |
// | role "AXTextField"   | ENTRY, PASSWORD_TEXT, TEXT or SPIN_BUTTON with SINGLE_LINE      |
// | role "AXTextArea"    | TEXT (multi-line), PARAGRAPH, DOCUMENT_TEXT                     |
// | role "AXComboBox"    | COMBO_BOX                                                       |
// | role "AXStaticText"  | LABEL, STATIC                                                   |
// | (other role names)   | everything else, a TERMINAL among them: never a copy target     |
// | subrole              | "AXSecureTextField" for PASSWORD_TEXT                           |
// | protectedContent     | PASSWORD_TEXT                                                   |
// | value                | the Text interface's whole text                                 |
// | selectedText         | the text of the first selection (empty with none)              |
// | selectedRange        | the first selection (the caret, empty, with none), in UTF-16   |
// | parent, title        | the parent (none for an application); the name                  |
// | document             | the Document interface's "DocURL" or "URI" attribute            |
// | enabled, editable    | the ENABLED and EDITABLE states                                 |
// | settable value/text  | the EditableText interface on an EDITABLE element               |
// | bounds for a range   | the Text interface's range extents in screen coordinates        |
//
// Text offsets: GTK counts Unicode code points, Qt UTF-16 units. A selection is converted by
// the toolkit's count first and by the other one second, and trusted only when the value's
// text at the converted range is the selected text itself.
//
// What each toolkit needs: GTK 3 and 4 applications expose their tree whenever the
// accessibility bus runs. Qt applications do so only while IsEnabled is true when they start
// (or with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1). Chromium and Electron applications need
// --force-renderer-accessibility or IsEnabled. A terminal is never a text control here.
#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/AccessibilityStatus.h"
#include "platform/linux/OwnedHandle.h"

#include <QHash>
#include <QString>

#include <chrono>
#include <map>
#include <memory>

// NOLINTBEGIN(bugprone-reserved-identifier): the C libraries' own tags, declared here so
// that their headers stay out of ours
typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class AtspiAccessibility final : public Accessibility {
public:
    // The deadline of each call, for all its requests together, until setMessagingTimeout.
    static constexpr std::chrono::milliseconds defaultTimeout{500};
    // The most accessibles a walk in search of the focused one visits in one application.
    static constexpr int searchLimit = 3000;
    // Longer texts than the text bridge ever accepts are not read whole: they read as absent.
    static constexpr qint64 longestValue = 250'000;

    // None when the accessibility library cannot start (no session bus).
    static std::unique_ptr<AtspiAccessibility> open();
    ~AtspiAccessibility() override;

    bool isTrusted() override;
    AccessibleElement applicationElement(qint32 processIdentifier) override;
    void setMessagingTimeout(const AccessibleElement& application,
                             std::chrono::milliseconds timeout) override;
    std::optional<AccessibleElement> elementAttribute(const AccessibleElement& element,
                                                      Attribute attribute) override;
    std::optional<QString> stringAttribute(const AccessibleElement& element,
                                           Attribute attribute) override;
    std::optional<bool> booleanAttribute(const AccessibleElement& element,
                                         Attribute attribute) override;
    std::optional<TextRange> rangeAttribute(const AccessibleElement& element,
                                            Attribute attribute) override;
    std::optional<ScreenRect> boundsForRange(const AccessibleElement& element,
                                             TextRange range) override;
    std::optional<bool> isSettable(const AccessibleElement& element, Attribute attribute) override;
    void setBoolean(const AccessibleElement& element, Attribute attribute, bool value) override;

private:
    AtspiAccessibility();
    static void focusEvent(AtspiEvent* event, void* self);

    using Accessible = OwnedObject<AtspiAccessible>;
    Accessible focusedElementOf(AtspiAccessible* application);
    Accessible searchFocused(AtspiAccessible* root);
    void remember(const QString& application, AtspiAccessible* focused);
    Accessible focusedWindowOf(AtspiAccessible* application);
    Accessible activeWindowOf(AtspiAccessible* application);

    std::chrono::milliseconds timeout_ = defaultTimeout;
    AccessibilitySwitch switch_;
    OwnedObject<AtspiEventListener> listener_;
    // The last accessible of each application (by bus name) that reported focus.
    std::map<QString, Accessible> lastFocused_;
};

// --- Pure helpers, exposed for their tests.

// The seam's role name for an AT-SPI role; `singleLine` from the SINGLE_LINE state.
QString roleName(int atspiRole, bool singleLine);

// Converts an offset counted in Unicode code points into UTF-16 units of `text`, and back.
// -1 when the offset lies outside the text or inside a surrogate pair.
qint64 utf16Offset(const QString& text, qint64 codePoints);
qint64 codePointOffset(const QString& text, qint64 utf16Units);

// The UTF-16 range of a toolkit selection [start, end) of `value` whose text is `selected`:
// read as code points first when `countsCodePoints`, else as UTF-16 first; none when neither
// reading gives `selected`.
std::optional<TextRange> selectionInUtf16(const QString& value, qint64 start, qint64 end,
                                          const QString& selected, bool countsCodePoints);

}  // namespace tidyword::platform::linux_desktop
