// The keys of the portable shortcut description (classic Mac key codes and masks) as Linux
// desktops name them, and the in-app key monitor every hot-key backend hands out: one Qt event
// filter that sees this application's key presses before its windows do, whatever the
// windowing system.
#pragma once

#include "platform/HotKeys.h"

#include <Qt>

#include <cstdint>
#include <memory>
#include <optional>

namespace tidyword::platform::linux_desktop {

// The keysym of a Mac virtual key code (letters and Space), or none.
std::optional<std::uint32_t> keysymOfMacKey(quint16 keyCode);
// The Mac virtual key code of a Qt key (letters and Space), or none.
std::optional<quint16> macKeyOfQtKey(int qtKey);
// The Qt key of a Mac virtual key code (letters and Space), or none.
std::optional<Qt::Key> qtKeyOfMacKey(quint16 keyCode);
// The Qt modifiers of the seam's hot-key masks (Shift, Control, Option as Alt, Command as Meta).
Qt::KeyboardModifiers qtModifiersOfHotKeyMask(quint32 modifiers);

// Watches this application's key presses until the registration is destroyed; none without an
// application object.
std::unique_ptr<HotKeys::Registration> addAppKeyMonitor(HotKeys::Monitor monitor);

}  // namespace tidyword::platform::linux_desktop
