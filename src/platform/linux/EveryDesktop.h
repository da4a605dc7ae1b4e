// Keeps a window on every virtual desktop of an X11 window manager (EWMH _NET_WM_DESKTOP),
// as a floating tool window should be wherever the user works. Elsewhere it does nothing.
#pragma once

class QWindow;

namespace tidyword::platform::linux_desktop {

// Call after the window has its native handle and before it is shown.
void showOnEveryDesktop(QWindow& window);

}  // namespace tidyword::platform::linux_desktop
