// The four global shortcuts a user can choose from. The key codes and modifier masks are the
// presets' portable description (the classic Mac virtual key codes and masks); each hot-key
// backend translates them to its own keyboard.
#pragma once

#include "base/RawValueEnum.h"

#include <array>
#include <cstdint>

namespace tidyword {

enum class ShortcutPreset { optionShiftD, optionSpace, optionShiftSpace, controlOptionSpace };

template <>
struct EnumCases<ShortcutPreset> {
    static constexpr std::array all{ShortcutPreset::optionShiftD, ShortcutPreset::optionSpace,
                                    ShortcutPreset::optionShiftSpace,
                                    ShortcutPreset::controlOptionSpace};
};

namespace ShortcutKeys {
inline constexpr std::uint16_t keyD = 2;
inline constexpr std::uint16_t keySpace = 49;

// Modifier masks of a system-wide hot key.
inline constexpr std::uint32_t hotKeyShift = 0x200;
inline constexpr std::uint32_t hotKeyOption = 0x800;
inline constexpr std::uint32_t hotKeyControl = 0x1000;

// Modifier flags of a key event inside the application, and the flags an in-app match looks at
// (shift, control, option, command, function): caps lock and device flags are ignored.
inline constexpr std::uint64_t inAppShift = 0x20000;
inline constexpr std::uint64_t inAppControl = 0x40000;
inline constexpr std::uint64_t inAppOption = 0x80000;
inline constexpr std::uint64_t inAppRelevantFlags = 0x9E0000;
}  // namespace ShortcutKeys

// The value stored in the "shortcut" setting.
QString rawValue(ShortcutPreset preset);
// How every text names the shortcut: the keys as this desktop's keyboard labels them.
QString displayLabel(ShortcutPreset preset);
std::uint16_t keyCode(ShortcutPreset preset);
std::uint32_t hotKeyModifiers(ShortcutPreset preset);
std::uint64_t inAppModifierFlags(ShortcutPreset preset);

}  // namespace tidyword
