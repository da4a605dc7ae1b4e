#include "platform/linux/AtspiElement.h"

#include "platform/linux/AtspiDeadline.h"

#include <atspi/atspi.h>

#include <utility>

namespace tidyword::platform::linux_desktop {

bool AtspiElement::denotesSameObject(const Reference& other) const {
    const auto* element = dynamic_cast<const AtspiElement*>(&other);
    if (!element) {
        return false;
    }
    if (element->accessible_ == accessible_) {
        return true;
    }
    const auto* lhs = reinterpret_cast<const AtspiObject*>(get());
    const auto* rhs = reinterpret_cast<const AtspiObject*>(element->get());
    return lhs->app && rhs->app && lhs->path && rhs->path &&
           g_strcmp0(lhs->app->bus_name, rhs->app->bus_name) == 0 &&
           g_strcmp0(lhs->path, rhs->path) == 0;
}

AtspiAccessible* unwrap(const AccessibleElement& element) {
    const auto* reference = dynamic_cast<const AtspiElement*>(element.reference());
    return reference ? reference->get() : nullptr;
}

bool failed(GError*& error) {
    // Emptied, so that the next request can report into the same place.
    const OwnedError failure(std::exchange(error, nullptr));
    return failure != nullptr;
}

bool countsCodePoints(AtspiAccessible* accessible) {
    // The library keeps an application's toolkit once it has been asked: reading it there spares
    // the walk up to the application, whose last step asks the desktop's role of the registry.
    const auto* object = reinterpret_cast<const AtspiObject*>(accessible);
    if (object->app && object->app->toolkit_name) {
        return g_ascii_strncasecmp(object->app->toolkit_name, "qt", 2) != 0;
    }
    GError* error = nullptr;
    const auto application = adoptObject(atspi_accessible_get_application(accessible, &error));
    if (failed(error) || !application) {
        return true;
    }
    // Within a seam call, the next request waits no longer than the call has left.
    if (outOfTime()) {
        return true;
    }
    const OwnedString toolkit(atspi_accessible_get_toolkit_name(application.get(), &error));
    if (failed(error) || !toolkit) {
        return true;
    }
    return g_ascii_strncasecmp(toolkit.get(), "qt", 2) != 0;
}

}  // namespace tidyword::platform::linux_desktop
