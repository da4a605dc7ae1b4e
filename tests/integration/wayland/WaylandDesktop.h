// What the tests on a private Wayland desktop share: the backends a Wayland session runs on, and
// ways to act on real applications there without synthetic keys.
#pragma once

#include "integration/desktop/DesktopApplications.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/AtspiDeadline.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/AtspiWorkspace.h"

#include <QElapsedTimer>

#include <atspi/atspi.h>
#include <gtest/gtest.h>

namespace tidyword::test {

// Whether `condition` comes to hold, looked at every 20 ms while this process's events run,
// within the patience that real applications on a busy machine need.
inline bool eventually(const std::function<bool()>& condition) {
    QElapsedTimer waited;
    waited.start();
    while (!condition()) {
        if (waited.elapsed() > kDesktopPatience.count()) {
            return false;
        }
        processEventsFor(std::chrono::milliseconds(20));
    }
    return true;
}

// The pid of the frontmost application, 0 for none.
inline qint32 frontmostProcess(platform::Workspace& workspace) {
    const auto front = workspace.frontmostApplication();
    return front ? front->processIdentifier : 0;
}

// Whether the application `pid` has a top-level accessible in the ACTIVE state, as the
// application says now.
inline bool hasActiveWindow(platform::linux_desktop::AtspiAccessibility& accessibility,
                            qint32 pid) {
    using namespace platform::linux_desktop;
    const platform::AccessibleElement application = accessibility.applicationElement(pid);
    AtspiAccessible* accessible = unwrap(application);
    if (!accessible) {
        return false;
    }
    return withinDeadline(AtspiAccessibility::defaultTimeout, [accessible] {
        GError* error = nullptr;
        const gint windows = atspi_accessible_get_child_count(accessible, &error);
        for (gint index = 0; !failed(error) && index < windows && !outOfTime(); ++index) {
            AtspiAccessible* window =
                atspi_accessible_get_child_at_index(accessible, index, &error);
            const bool active = window && hasState(window, ATSPI_STATE_ACTIVE) == true;
            if (window) {
                g_object_unref(window);
            }
            if (active) {
                return true;
            }
        }
        return false;
    });
}

// Selects [start, end) of the focused field of the application `pid`, in the toolkit's own
// offsets, as a user's mouse would; true once the field reports `expected` as its selected text.
inline bool selectInFocusedField(platform::linux_desktop::AtspiAccessibility& accessibility,
                                 qint32 pid, int start, int end, const QString& expected) {
    using namespace platform::linux_desktop;
    using Attribute = platform::Accessibility::Attribute;
    const auto field = accessibility.elementAttribute(accessibility.applicationElement(pid),
                                                      Attribute::focusedElement);
    if (!field) {
        return false;
    }
    AtspiText* text = atspi_accessible_get_text_iface(unwrap(*field));
    if (!text) {
        return false;
    }
    // GTK changes a selection, but makes one only when asked to add it.
    GError* error = nullptr;
    if (!atspi_text_set_selection(text, 0, start, end, &error) || failed(error)) {
        atspi_text_add_selection(text, start, end, &error);
        failed(error);
    }
    g_object_unref(text);
    return eventually(
        [&] { return accessibility.stringAttribute(*field, Attribute::selectedText) == expected; });
}

}  // namespace tidyword::test
