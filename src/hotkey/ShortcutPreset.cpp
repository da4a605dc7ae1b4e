#include "hotkey/ShortcutPreset.h"

#include "base/DesktopWords.h"

namespace tidyword {

namespace {

using namespace ShortcutKeys;

struct PresetKeys {
    const char16_t* rawValue;
    std::uint16_t keyCode;
    std::uint32_t hotKeyModifiers;
    std::uint64_t inAppFlags;
};

const PresetKeys& keysOf(ShortcutPreset preset) {
    static constexpr PresetKeys optionShiftD{u"optionShiftD", keyD, hotKeyOption | hotKeyShift,
                                             inAppOption | inAppShift};
    static constexpr PresetKeys optionSpace{u"optionSpace", keySpace, hotKeyOption, inAppOption};
    static constexpr PresetKeys optionShiftSpace{
        u"optionShiftSpace", keySpace, hotKeyOption | hotKeyShift, inAppOption | inAppShift};
    static constexpr PresetKeys controlOptionSpace{
        u"controlOptionSpace", keySpace, hotKeyControl | hotKeyOption, inAppControl | inAppOption};
    switch (preset) {
        case ShortcutPreset::optionShiftD:
            return optionShiftD;
        case ShortcutPreset::optionSpace:
            return optionSpace;
        case ShortcutPreset::optionShiftSpace:
            return optionShiftSpace;
        case ShortcutPreset::controlOptionSpace:
            return controlOptionSpace;
    }
    Q_UNREACHABLE();
}

}  // namespace

QString rawValue(ShortcutPreset preset) {
    return QString::fromUtf16(keysOf(preset).rawValue);
}

QString displayLabel(ShortcutPreset preset) {
    return QString::fromUtf16(desktopWords().shortcutLabels.at(static_cast<std::size_t>(preset)));
}

std::uint16_t keyCode(ShortcutPreset preset) {
    return keysOf(preset).keyCode;
}

std::uint32_t hotKeyModifiers(ShortcutPreset preset) {
    return keysOf(preset).hotKeyModifiers;
}

std::uint64_t inAppModifierFlags(ShortcutPreset preset) {
    return keysOf(preset).inAppFlags;
}

}  // namespace tidyword
