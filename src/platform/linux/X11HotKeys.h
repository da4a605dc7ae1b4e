// The system-wide hot key on X11: a passive key grab on the root window for the chord and for
// each lock-modifier variant of it (Caps Lock, Num Lock), all released again if any one is
// refused, grabbed anew when the keyboard mapping changes. Requests are checked one by one on
// this backend's own connection, so no process-wide Xlib error handler is involved.
//
// The seam's key codes and masks are the classic Mac ones; here they map to keysyms (letters
// and Space) and to Shift, Control, Mod1 (Alt, the Option key) and Mod4 (Super, Command).
// A grab that another client holds fails with BadAccess, whose X error code (10) is the
// status. Holding the chord down is one press: the keyboard's auto-repeat activates the grab
// again with each repeated press, so a press of the key already handled is ignored until the
// key is released. A new keyboard mapping grabs the chord anew and reports the result, so a
// chord that is now taken or has no key is not lost in silence. Releases are seen as XInput 2 raw
// events on the root window whoever has the focus, or as our own grab's release; XKB's detectable
// auto-repeat keeps the server from inventing one before each repeat. Without XInput 2.1 every
// press counts.
#pragma once

#include "platform/HotKeys.h"
#include "platform/linux/XcbConnection.h"

#include <QList>
#include <QSocketNotifier>

#include <memory>

namespace tidyword::platform::linux_desktop {

class X11HotKeys final : public HotKeys {
public:
    static constexpr Status badAccess = 10;  // the X error: another client holds the grab
    static constexpr Status unknownKey = 2;  // BadValue: no key of this keyboard makes it

    // None without an X server.
    static std::unique_ptr<X11HotKeys> open();
    ~X11HotKeys() override;

    std::pair<Status, std::unique_ptr<Registration>> installHandler(PressHandler handler) override;
    std::pair<Status, std::unique_ptr<Registration>> registerHotKey(quint16 keyCode,
                                                                    quint32 modifiers,
                                                                    Identifier identifier) override;
    std::unique_ptr<Registration> addLocalMonitor(Monitor monitor) override;
    void setRenewalHandler(RenewalHandler handler) override { renewal_ = std::move(handler); }

private:
    struct Grab {
        quint16 keyCode;
        quint32 modifiers;
        Identifier identifier;
        QList<std::pair<xcb_keycode_t, std::uint16_t>> grabbed;  // keycode, X modifiers
    };

    explicit X11HotKeys(std::unique_ptr<XcbConnection> connection);

    Status grab(Grab& grab);
    void ungrab(Grab& grab);
    void pump();
    std::uint16_t numLockMask();
    std::optional<std::uint8_t> watchReleases();  // XInput's opcode, or none

    std::unique_ptr<XcbConnection> x_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::shared_ptr<PressHandler> handler_;
    RenewalHandler renewal_;
    std::shared_ptr<Grab> grab_;
    std::optional<std::uint8_t> inputOpcode_;  // XInput's, once its raw releases reach us
    std::optional<std::uint8_t> xkbEvent_;     // the first of XKB's event codes, if in use
    std::optional<xcb_keycode_t> held_;        // the chord's key, handled and not yet released
};

}  // namespace tidyword::platform::linux_desktop
