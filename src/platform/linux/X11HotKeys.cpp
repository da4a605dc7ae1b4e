#include "platform/linux/X11HotKeys.h"

#include "platform/linux/AppKeyMonitor.h"
#include "platform/linux/OwnedHandle.h"

#include <QCoreApplication>

#include <xcb/xinput.h>
// xkb.h names two members "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <array>

namespace tidyword::platform::linux_desktop {

namespace {

constexpr std::uint32_t kNumLockKeysym = 0xff7f;

// The seam's hot-key masks (Carbon's).
constexpr quint32 kCommandMask = 0x100;
constexpr quint32 kShiftMask = 0x200;
constexpr quint32 kOptionMask = 0x800;
constexpr quint32 kControlMask = 0x1000;

std::uint16_t xModifiers(quint32 modifiers) {
    std::uint16_t mask = 0;
    mask |= (modifiers & kShiftMask) ? XCB_MOD_MASK_SHIFT : 0;
    mask |= (modifiers & kControlMask) ? XCB_MOD_MASK_CONTROL : 0;
    mask |= (modifiers & kOptionMask) ? XCB_MOD_MASK_1 : 0;
    mask |= (modifiers & kCommandMask) ? XCB_MOD_MASK_4 : 0;
    return mask;
}

}  // namespace

std::unique_ptr<X11HotKeys> X11HotKeys::open() {
    auto connection = XcbConnection::open();
    if (!connection) {
        return nullptr;
    }
    return std::unique_ptr<X11HotKeys>(new X11HotKeys(std::move(connection)));
}

X11HotKeys::X11HotKeys(std::unique_ptr<XcbConnection> connection) : x_(std::move(connection)) {
    notifier_ = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(x_->get()),
                                                  QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(),
                     [this] { pump(); });
    inputOpcode_ = watchReleases();
    // Without it, each repeated press comes to us after a made-up release of the key.
    const auto xkb = adoptMemory(xcb_xkb_use_extension_reply(
        x_->get(), xcb_xkb_use_extension(x_->get(), XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION),
        nullptr));
    if (xkb && xkb->supported) {
        // An XKB client hears of a new keyboard mapping through XKB alone.
        constexpr std::uint16_t mappingEvents =
            XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
        constexpr std::uint16_t mapParts =
            XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
        xcb_xkb_select_events(x_->get(), XCB_XKB_ID_USE_CORE_KBD, mappingEvents, 0, mappingEvents,
                              mapParts, mapParts, nullptr);
        xkbEvent_ = xcb_get_extension_data(x_->get(), &xcb_xkb_id)->first_event;
        const auto flags = adoptMemory(xcb_xkb_per_client_flags_reply(
            x_->get(),
            xcb_xkb_per_client_flags(x_->get(), XCB_XKB_ID_USE_CORE_KBD,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                     XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
            nullptr));
    }
}

std::optional<std::uint8_t> X11HotKeys::watchReleases() {
    const xcb_query_extension_reply_t* input = xcb_get_extension_data(x_->get(), &xcb_input_id);
    if (!input || !input->present) {
        return std::nullopt;
    }
    // Before 2.1 a grab of another client would keep raw events from us.
    const auto version = adoptMemory(xcb_input_xi_query_version_reply(
        x_->get(), xcb_input_xi_query_version(x_->get(), 2, 2), nullptr));
    if (!version || version->major_version < 2 ||
        (version->major_version == 2 && version->minor_version < 1)) {
        return std::nullopt;
    }
    struct {
        xcb_input_event_mask_t head;
        std::uint32_t mask;
    } releases{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_KEY_RELEASE};
    const auto refused = adoptMemory(xcb_request_check(
        x_->get(), xcb_input_xi_select_events_checked(x_->get(), x_->root(), 1, &releases.head)));
    if (refused) {
        return std::nullopt;
    }
    return input->major_opcode;
}

X11HotKeys::~X11HotKeys() {
    if (grab_) {
        ungrab(*grab_);
    }
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> X11HotKeys::installHandler(
    PressHandler handler) {
    handler_ = std::make_shared<PressHandler>(std::move(handler));
    return {success, std::make_unique<Undo>([this, installed = handler_] {
                if (handler_ == installed) {
                    handler_.reset();
                }
            })};
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>> X11HotKeys::registerHotKey(
    quint16 keyCode, quint32 modifiers, Identifier identifier) {
    auto wanted = std::make_shared<Grab>(Grab{keyCode, modifiers, identifier, {}});
    if (const Status status = grab(*wanted); status != success) {
        return {status, nullptr};
    }
    if (grab_) {
        ungrab(*grab_);
    }
    grab_ = wanted;
    // The checks read whatever events came meanwhile into xcb's queue, where the socket no
    // longer tells of them.
    QMetaObject::invokeMethod(
        notifier_.get(), [this] { pump(); }, Qt::QueuedConnection);
    return {success, std::make_unique<Undo>([this, wanted] {
                if (grab_ == wanted) {
                    ungrab(*grab_);
                    grab_.reset();
                }
            })};
}

std::unique_ptr<HotKeys::Registration> X11HotKeys::addLocalMonitor(Monitor monitor) {
    return addAppKeyMonitor(std::move(monitor));
}

std::uint16_t X11HotKeys::numLockMask() {
    const auto numLock = x_->keycodeOf(kNumLockKeysym);
    const auto mapping = adoptMemory(
        xcb_get_modifier_mapping_reply(x_->get(), xcb_get_modifier_mapping(x_->get()), nullptr));
    if (!numLock || !mapping) {
        return 0;
    }
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int perModifier = mapping->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int index = 0; index < perModifier; ++index) {
            if (keycodes[modifier * perModifier + index] == *numLock) {
                return static_cast<std::uint16_t>(1U << modifier);
            }
        }
    }
    return 0;
}

HotKeys::Status X11HotKeys::grab(Grab& wanted) {
    const auto keysym = keysymOfMacKey(wanted.keyCode);
    const auto keycode = keysym ? x_->keycodeOf(*keysym) : std::nullopt;
    if (!keycode) {
        return unknownKey;
    }
    const std::uint16_t base = xModifiers(wanted.modifiers);
    const std::uint16_t numLock = numLockMask();
    QList<std::uint16_t> variants;
    for (const std::uint16_t lock : {std::uint16_t{0}, std::uint16_t{XCB_MOD_MASK_LOCK}, numLock,
                                     static_cast<std::uint16_t>(XCB_MOD_MASK_LOCK | numLock)}) {
        if (!variants.contains(base | lock)) {
            variants.append(base | lock);
        }
    }
    for (const std::uint16_t modifiers : std::as_const(variants)) {
        const xcb_void_cookie_t cookie =
            xcb_grab_key_checked(x_->get(), 1, x_->root(), modifiers, *keycode, XCB_GRAB_MODE_ASYNC,
                                 XCB_GRAB_MODE_ASYNC);
        if (const auto error = adoptMemory(xcb_request_check(x_->get(), cookie))) {
            ungrab(wanted);
            return error->error_code;
        }
        wanted.grabbed.append({*keycode, modifiers});
    }
    xcb_flush(x_->get());
    return success;
}

void X11HotKeys::ungrab(Grab& grabbed) {
    for (const auto& [keycode, modifiers] : std::as_const(grabbed.grabbed)) {
        xcb_ungrab_key(x_->get(), keycode, x_->root(), modifiers);
    }
    grabbed.grabbed.clear();
    xcb_flush(x_->get());
}

void X11HotKeys::pump() {
    while (const auto event = adoptMemory(xcb_poll_for_event(x_->get()))) {
        const std::uint8_t type = event->response_type & 0x7f;
        if (type == XCB_KEY_PRESS && grab_) {
            const auto* press = reinterpret_cast<xcb_key_press_event_t*>(event.get());
            // The passive grab became an active one while the keys are down; it would also
            // take the synthetic copy chord that the capture is about to send.
            xcb_ungrab_keyboard(x_->get(), press->time);
            xcb_flush(x_->get());
            const bool ours =
                std::any_of(grab_->grabbed.cbegin(), grab_->grabbed.cend(), [&](const auto& entry) {
                    return entry.first == press->detail && entry.second == press->state;
                });
            if (ours && inputOpcode_) {
                if (held_ == press->detail) {
                    continue;  // the key held down, repeating
                }
                held_ = press->detail;
            }
            if (ours && handler_ && *handler_) {
                const auto handler = handler_;  // the handler may unregister us
                (*handler)(grab_->identifier);
            }
        } else if (type == XCB_KEY_RELEASE) {
            // A quick tap lets go while our grab is still active: then the release comes here,
            // and no raw event comes for it.
            if (held_ == reinterpret_cast<xcb_key_release_event_t*>(event.get())->detail) {
                held_.reset();
            }
        } else if (type == XCB_GE_GENERIC && inputOpcode_) {
            const auto* generic = reinterpret_cast<xcb_ge_generic_event_t*>(event.get());
            const auto* release = reinterpret_cast<xcb_input_raw_key_release_event_t*>(event.get());
            if (generic->extension == *inputOpcode_ &&
                generic->event_type == XCB_INPUT_RAW_KEY_RELEASE && held_ == release->detail) {
                held_.reset();
            }
        } else if ((type == XCB_MAPPING_NOTIFY || (xkbEvent_ && type == *xkbEvent_)) && grab_) {
            // Another keyboard layout may put the key or Num Lock elsewhere.
            const auto* mapping = reinterpret_cast<xcb_mapping_notify_event_t*>(event.get());
            if (type != XCB_MAPPING_NOTIFY || mapping->request != XCB_MAPPING_POINTER) {
                ungrab(*grab_);
                const Status status = grab(*grab_);
                if (const RenewalHandler report = renewal_) {  // it may replace itself
                    report(status);
                }
            }
        }
    }
}

}  // namespace tidyword::platform::linux_desktop
