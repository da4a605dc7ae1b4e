// Keys pressed on KWin's own keyboard, as a person would press them: KWin's fake input protocol,
// which goes through KWin's input handling and so through its global shortcuts. KWin offers the
// protocol to any client only while its permission checks are off
// (KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 in its environment).
#pragma once

#include <QList>

#include <memory>

struct wl_display;
struct org_kde_kwin_fake_input;

namespace tidyword::test {

class KWinKeyboard {
public:
    // None without a KWin at WAYLAND_DISPLAY that offers fake input to us.
    static std::unique_ptr<KWinKeyboard> open();
    ~KWinKeyboard();
    KWinKeyboard(const KWinKeyboard&) = delete;
    KWinKeyboard& operator=(const KWinKeyboard&) = delete;

    // Evdev key codes (linux/input-event-codes.h), pressed in order and let go in reverse. Each
    // returns once KWin has handled the keys; false when the connection broke.
    bool press(const QList<quint32>& keys);
    bool release(const QList<quint32>& keys);
    bool tap(const QList<quint32>& keys) { return press(keys) && release(keys); }

private:
    KWinKeyboard(wl_display* display, org_kde_kwin_fake_input* input);
    bool send(const QList<quint32>& keys, bool down);

    wl_display* display_;
    org_kde_kwin_fake_input* input_;
};

}  // namespace tidyword::test
