// Hot keys for tests: each step of a registration can be refused with a chosen status, and the
// test presses the hot key or a key inside the application.
#pragma once

#include "platform/HotKeys.h"

#include <memory>

namespace tidyword::platform::sim {

class SimulatedHotKeys final : public HotKeys {
public:
    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    // The simulated keyboard never changes its layout.
    void setRenewalHandler(RenewalHandler) override {}

    // Later installs, registrations or monitors fail (only a registration's refusal is lifted,
    // as a desktop that runs a command for the chord lifts it once the chord is bound).
    void refuseHandler(Status status) { handlerRefusal_ = status; }
    void refuseHotKey(Status status) { hotKeyRefusal_ = status; }
    void acceptHotKeys() { hotKeyRefusal_.reset(); }
    void refuseMonitor(bool refuse) { refuseMonitor_ = refuse; }

    // The system reports a press of the registered hot key, or of one with another identifier.
    Status pressHotKey();
    Status pressWith(std::optional<Identifier> identifier);
    // A key-down inside the application; true when the monitor swallowed it.
    bool keyDown(const KeyDown& event);

    bool hasHandler() const { return state_->handler != nullptr; }
    bool hasHotKey() const { return state_->hotKey.has_value(); }
    bool hasMonitor() const { return state_->monitor != nullptr; }
    quint16 registeredKey() const { return state_->hotKey ? state_->hotKey->keyCode : 0; }
    quint32 registeredModifiers() const { return state_->hotKey ? state_->hotKey->modifiers : 0; }

private:
    struct HotKey {
        quint16 keyCode;
        quint32 modifiers;
        Identifier identifier;
    };
    struct State {
        PressHandler handler;
        std::optional<HotKey> hotKey;
        Monitor monitor;
    };

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::optional<Status> handlerRefusal_;
    std::optional<Status> hotKeyRefusal_;
    bool refuseMonitor_ = false;
};

}  // namespace tidyword::platform::sim
