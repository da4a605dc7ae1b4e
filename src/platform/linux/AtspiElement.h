// The handle the AT-SPI backends keep behind an AccessibleElement: one reference on a libatspi
// accessible. Shared by every backend that is handed elements the accessibility backend found.
#pragma once

#include "platform/Accessibility.h"
#include "platform/linux/OwnedHandle.h"

#include <utility>

// NOLINTBEGIN(bugprone-reserved-identifier): the C library's own tag, declared here so that
// its headers stay out of ours
typedef struct _AtspiAccessible AtspiAccessible;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class AtspiElement final : public AccessibleElement::Reference {
public:
    explicit AtspiElement(OwnedObject<AtspiAccessible> accessible)
        : accessible_(std::move(accessible)) {}

    AtspiAccessible* get() const { return accessible_.get(); }

    // The same object on the bus: the same application and the same path.
    bool denotesSameObject(const Reference& other) const override;

private:
    OwnedObject<AtspiAccessible> accessible_;
};

// The accessible behind an element of an AT-SPI backend, not referenced; null for any other.
AtspiAccessible* unwrap(const AccessibleElement& element);

// Whether a request failed; its error is freed and cleared, since a failed request only reads
// as an absent answer or a refusal, never as news of its own.
bool failed(GError*& error);

// Whether the application of `accessible` counts text offsets in code points (GTK and most
// toolkits) rather than UTF-16 units (Qt). Only the application object names its toolkit in
// every toolkit: Qt's controls name none. Within a seam call only (AtspiDeadline.h): code points
// when the call is out of time.
bool countsCodePoints(AtspiAccessible* accessible);

}  // namespace tidyword::platform::linux_desktop
