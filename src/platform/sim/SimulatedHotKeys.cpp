#include "platform/sim/SimulatedHotKeys.h"

namespace tidyword::platform::sim {

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> SimulatedHotKeys::installHandler(
    PressHandler handler) {
    if (handlerRefusal_) {
        return {*handlerRefusal_, nullptr};
    }
    state_->handler = std::move(handler);
    return {success, std::make_unique<Undo>([state = state_] { state->handler = nullptr; })};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> SimulatedHotKeys::registerHotKey(
    quint16 keyCode, quint32 modifiers, Identifier identifier) {
    if (hotKeyRefusal_) {
        return {*hotKeyRefusal_, nullptr};
    }
    state_->hotKey = HotKey{keyCode, modifiers, identifier};
    return {success, std::make_unique<Undo>([state = state_] { state->hotKey.reset(); })};
}

std::unique_ptr<HotKeys::Registration> SimulatedHotKeys::addLocalMonitor(Monitor monitor) {
    if (refuseMonitor_) {
        return nullptr;
    }
    state_->monitor = std::move(monitor);
    return std::make_unique<Undo>([state = state_] { state->monitor = nullptr; });
}

HotKeys::Status SimulatedHotKeys::pressHotKey() {
    return state_->hotKey ? pressWith(state_->hotKey->identifier) : eventNotHandled;
}

HotKeys::Status SimulatedHotKeys::pressWith(std::optional<Identifier> identifier) {
    return state_->handler ? state_->handler(identifier) : eventNotHandled;
}

bool SimulatedHotKeys::keyDown(const KeyDown& event) {
    return state_->monitor && state_->monitor(event);
}

}  // namespace tidyword::platform::sim
