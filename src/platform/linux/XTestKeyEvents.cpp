#include "platform/linux/XTestKeyEvents.h"

#include "platform/linux/OwnedHandle.h"

#include <QThread>

#include <xcb/xtest.h>

namespace tidyword::platform::linux_desktop {

namespace {

constexpr xcb_keysym_t kControlL = 0xffe3;
constexpr xcb_keysym_t kLetterC = 0x0063;
constexpr xcb_keysym_t kLetterV = 0x0076;
constexpr std::chrono::milliseconds kModifierPoll{10};

}  // namespace

std::unique_ptr<XTestKeyEvents> XTestKeyEvents::open() {
    auto connection = XcbConnection::open();
    if (!connection) {
        return nullptr;
    }
    const auto* extension = xcb_get_extension_data(connection->get(), &xcb_test_id);
    if (!extension || !extension->present) {
        return nullptr;
    }
    return std::unique_ptr<XTestKeyEvents>(new XTestKeyEvents(std::move(connection)));
}

XTestKeyEvents::XTestKeyEvents(std::unique_ptr<XcbConnection> connection)
    : x_(std::move(connection)) {}

bool XTestKeyEvents::modifiersHeld() {
    const auto modifiers = adoptMemory(
        xcb_get_modifier_mapping_reply(x_->get(), xcb_get_modifier_mapping(x_->get()), nullptr));
    const auto keymap =
        adoptMemory(xcb_query_keymap_reply(x_->get(), xcb_query_keymap(x_->get()), nullptr));
    if (!modifiers || !keymap) {
        return true;  // cannot tell: the safe answer
    }
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(modifiers.get());
    const int count = xcb_get_modifier_mapping_keycodes_length(modifiers.get());
    for (int index = 0; index < count; ++index) {
        const xcb_keycode_t keycode = keycodes[index];
        if (keycode != 0 && (keymap->keys[keycode / 8] & (1U << (keycode % 8))) != 0) {
            return true;
        }
    }
    return false;
}

std::optional<qint32> XTestKeyEvents::activeProcess() {
    const auto active = x_->activeWindow();
    return active ? x_->processOf(*active) : std::nullopt;
}

bool XTestKeyEvents::keyboardGrabbedByAnother() {
    // X tells of a grab only by refusing another: a grab of ours that succeeds is let go at once.
    const auto grab = adoptMemory(
        xcb_grab_keyboard_reply(x_->get(),
                                xcb_grab_keyboard(x_->get(), 0, x_->root(), XCB_CURRENT_TIME,
                                                  XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                nullptr));
    if (!grab) {
        return true;
    }
    if (grab->status == XCB_GRAB_STATUS_SUCCESS) {
        xcb_ungrab_keyboard(x_->get(), XCB_CURRENT_TIME);
        xcb_flush(x_->get());
        return false;
    }
    return true;
}

bool XTestKeyEvents::keysWouldReach(qint32 processIdentifier) {
    if (activeProcess() != processIdentifier) {
        return false;
    }
    const auto focus =
        adoptMemory(xcb_get_input_focus_reply(x_->get(), xcb_get_input_focus(x_->get()), nullptr));
    // With the focus following the pointer, the keys go wherever the pointer happens to be.
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
        return false;
    }
    const auto client = x_->clientWindowOf(focus->focus);
    return client && x_->processOf(*client) == processIdentifier && !keyboardGrabbedByAnother();
}

void XTestKeyEvents::fake(std::uint8_t type, xcb_keycode_t keycode) {
    xcb_test_fake_input(x_->get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(x_->get());
}

QCoro::Task<KeyEvents::Posted> XTestKeyEvents::post(Shortcut shortcut, qint32 processIdentifier,
                                                    std::function<bool()> lastCheck) {
    if (activeProcess() != processIdentifier) {
        co_return Posted::no;
    }
    const auto control = x_->keycodeOf(kControlL);
    const auto letter = x_->keycodeOf(shortcut == Shortcut::copy ? kLetterC : kLetterV);
    if (!control || !letter) {
        co_return Posted::no;
    }
    // The user lets go of the shortcut's keys in their own time, and an application takes the
    // focus a little after the window manager names its window the active one.
    const auto deadline = std::chrono::steady_clock::now() + modifierWait;
    while (modifiersHeld() || !keysWouldReach(processIdentifier)) {
        if (std::chrono::steady_clock::now() >= deadline || activeProcess() != processIdentifier) {
            co_return Posted::no;
        }
        QThread::msleep(static_cast<unsigned long>(kModifierPoll.count()));
    }
    if (lastCheck && !lastCheck()) {
        co_return Posted::no;
    }
    fake(XCB_KEY_PRESS, *control);
    fake(XCB_KEY_PRESS, *letter);
    QThread::msleep(static_cast<unsigned long>(pressGap.count()));
    fake(XCB_KEY_RELEASE, *letter);
    fake(XCB_KEY_RELEASE, *control);
    // A round trip: the server has taken the events before we report them posted.
    x_->roundTrip();
    co_return Posted::yes;
}

}  // namespace tidyword::platform::linux_desktop
