#include "platform/linux/AtspiElement.h"

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

}  // namespace tidyword::platform::linux_desktop
