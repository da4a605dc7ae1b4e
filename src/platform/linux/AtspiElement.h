// The handle the AT-SPI backends keep behind an AccessibleElement: one reference on a libatspi
// accessible. Shared by every backend that is handed elements the accessibility backend found.
#pragma once

#include "platform/Accessibility.h"

// NOLINTBEGIN(bugprone-reserved-identifier): the C libraries' own tags, declared here so
// that their headers stay out of ours
typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _GError GError;
// NOLINTEND(bugprone-reserved-identifier)

namespace tidyword::platform::linux_desktop {

class AtspiElement final : public AccessibleElement::Reference {
public:
    // Takes over one reference on `accessible`.
    explicit AtspiElement(AtspiAccessible* accessible) : accessible_(accessible) {}
    ~AtspiElement() override;
    AtspiElement(const AtspiElement&) = delete;
    AtspiElement& operator=(const AtspiElement&) = delete;

    AtspiAccessible* get() const { return accessible_; }

    // The same object on the bus: the same application and the same path.
    bool denotesSameObject(const Reference& other) const override;

private:
    AtspiAccessible* accessible_;
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
