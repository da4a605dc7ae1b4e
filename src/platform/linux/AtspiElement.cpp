#include "platform/linux/AtspiElement.h"

#include "platform/linux/AtspiDeadline.h"

#include <atspi/atspi.h>

namespace tidyword::platform::linux_desktop {

AtspiElement::~AtspiElement() {
    g_object_unref(accessible_);
}

bool AtspiElement::denotesSameObject(const Reference& other) const {
    const auto* element = dynamic_cast<const AtspiElement*>(&other);
    if (!element) {
        return false;
    }
    if (element->accessible_ == accessible_) {
        return true;
    }
    const auto* lhs = reinterpret_cast<const AtspiObject*>(accessible_);
    const auto* rhs = reinterpret_cast<const AtspiObject*>(element->accessible_);
    return lhs->app && rhs->app && lhs->path && rhs->path &&
           g_strcmp0(lhs->app->bus_name, rhs->app->bus_name) == 0 &&
           g_strcmp0(lhs->path, rhs->path) == 0;
}

AtspiAccessible* unwrap(const AccessibleElement& element) {
    const auto* reference = dynamic_cast<const AtspiElement*>(element.reference());
    return reference ? reference->get() : nullptr;
}

bool failed(GError*& error) {
    if (!error) {
        return false;
    }
    g_error_free(error);
    error = nullptr;
    return true;
}

bool countsCodePoints(AtspiAccessible* accessible) {
    GError* error = nullptr;
    AtspiAccessible* application = atspi_accessible_get_application(accessible, &error);
    if (failed(error) || !application) {
        if (application) {
            g_object_unref(application);
        }
        return true;
    }
    // Within a seam call, the next request waits no longer than the call has left.
    if (outOfTime()) {
        g_object_unref(application);
        return true;
    }
    gchar* toolkit = atspi_accessible_get_toolkit_name(application, &error);
    g_object_unref(application);
    if (failed(error) || !toolkit) {
        g_free(toolkit);
        return true;
    }
    const bool qt = g_ascii_strncasecmp(toolkit, "qt", 2) == 0;
    g_free(toolkit);
    return !qt;
}

}  // namespace tidyword::platform::linux_desktop
