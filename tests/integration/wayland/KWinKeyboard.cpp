#include "KWinKeyboard.h"

#include "fake-input-client-protocol.h"

#include <algorithm>
#include <cstring>
#include <wayland-client.h>

namespace tidyword::test {

namespace {

constexpr uint32_t kFakeInputVersion = 4;  // the first with keyboard keys
constexpr uint32_t kReleased = 0;
constexpr uint32_t kPressed = 1;

void announce(void* data, wl_registry* registry, uint32_t name, const char* interface,
              uint32_t version) {
    if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 &&
        version >= kFakeInputVersion) {
        *static_cast<org_kde_kwin_fake_input**>(data) =
            static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
                registry, name, &org_kde_kwin_fake_input_interface, kFakeInputVersion));
    }
}

void withdraw(void*, wl_registry*, uint32_t) {}

const wl_registry_listener kRegistryListener{announce, withdraw};

}  // namespace

std::unique_ptr<KWinKeyboard> KWinKeyboard::open() {
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        return nullptr;
    }
    org_kde_kwin_fake_input* input = nullptr;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &input);
    wl_display_roundtrip(display);
    wl_registry_destroy(registry);
    if (!input) {
        wl_display_disconnect(display);
        return nullptr;
    }
    org_kde_kwin_fake_input_authenticate(input, "Tidyword tests", "to press the global shortcut");
    return std::unique_ptr<KWinKeyboard>(new KWinKeyboard(display, input));
}

KWinKeyboard::KWinKeyboard(wl_display* display, org_kde_kwin_fake_input* input)
    : display_(display), input_(input) {}

KWinKeyboard::~KWinKeyboard() {
    org_kde_kwin_fake_input_destroy(input_);
    wl_display_disconnect(display_);
}

bool KWinKeyboard::press(const QList<quint32>& keys) {
    return send(keys, true);
}

bool KWinKeyboard::release(const QList<quint32>& keys) {
    QList<quint32> reversed = keys;
    std::reverse(reversed.begin(), reversed.end());
    return send(reversed, false);
}

bool KWinKeyboard::send(const QList<quint32>& keys, bool down) {
    for (const quint32 key : keys) {
        org_kde_kwin_fake_input_keyboard_key(input_, key, down ? kPressed : kReleased);
    }
    return wl_display_roundtrip(display_) >= 0;
}

}  // namespace tidyword::test
