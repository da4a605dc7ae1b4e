// The texts that name things of the user's own desktop: the keys of a shortcut, where
// accessibility is turned on, where the sign-in is kept. Each desktop has its table here, and a
// build shows the one of the platform it is built for; stored and raw values never change with
// it, so settings carry over.
#pragma once

#include <array>

namespace tidyword {

struct DesktopWords {
    // The four shortcut presets, in their declared order, as the keyboard labels them.
    std::array<const char16_t*, 4> shortcutLabels;
    // The settings section about the desktop's accessibility permission.
    const char16_t* accessSectionTitle;
    // Under the permission row, until it is granted: what "Enable…" does.
    const char16_t* enableExplanation;
    // The account status that sends the user to grant it, before the shortcut's label.
    const char16_t* grantBeforeShortcut;
    // The capture error when accessibility is off.
    const char* accessibilityRequired;
    // The sign-in error when the secret store fails.
    const char* secretStoreFailed;
};

// The table of the desktop this build runs on.
const DesktopWords& desktopWords();

}  // namespace tidyword
