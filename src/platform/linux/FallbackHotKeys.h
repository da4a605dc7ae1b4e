// The system-wide hot key through a preferred route (the GlobalShortcuts portal) until it fails
// once, and through the command the desktop runs from then on: a dialog the user refused, a
// portal that did not answer, or a trigger it cannot name leaves the chord to the fallback for
// the rest of the run, so the user is not asked again at every change of chord.
#pragma once

#include "platform/HotKeys.h"

#include <memory>

namespace tidyword::platform::linux_desktop {

class FallbackHotKeys final : public HotKeys {
public:
    // `fallback` outlives this object.
    FallbackHotKeys(std::unique_ptr<HotKeys> preferred, HotKeys& fallback);

    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    void setRenewalHandler(RenewalHandler handler) override;
    QString statusSubject(Status status) const override;

    // Whether the fallback holds the chord: the preferred route has failed in this run.
    bool fellBack() const { return fellBack_; }

private:
    // Kept after a failure: registrations it handed out may still be alive.
    std::unique_ptr<HotKeys> preferred_;
    HotKeys& fallback_;
    bool fellBack_ = false;
};

}  // namespace tidyword::platform::linux_desktop
