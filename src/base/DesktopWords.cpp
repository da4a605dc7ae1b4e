#include "base/DesktopWords.h"

#include <QtGlobal>

namespace tidyword {

namespace {

[[maybe_unused]] constexpr DesktopWords kMacWords{
    {u"⌥ ⇧ D", u"⌥ Space", u"⌥ ⇧ Space", u"⌃ ⌥ Space"},
    u"MAC ACCESS",
    u"",
    u"Enable Accessibility for Tidyword, then return to your draft and press ",
    "Allow Tidyword in System Settings → Privacy & Security → Accessibility, then select text and "
    "try again.",
    "Tidyword could not access the saved sign-in in macOS Keychain.",
};

// The keys are the ones the X11 grab really uses: Alt is the Option key's place.
[[maybe_unused]] constexpr DesktopWords kLinuxWords{
    {u"Alt+Shift+D", u"Alt+Space", u"Alt+Shift+Space", u"Ctrl+Alt+Space"},
    u"DESKTOP ACCESS",
    u"Enable… turns on assistive technologies for your whole desktop, as a screen reader does, "
    u"and they stay on.",
    u"Turn on desktop accessibility for Tidyword, then return to your draft and press ",
    "Turn on assistive technologies in your desktop’s accessibility settings (or choose Enable… "
    "in Tidyword’s settings), then select text and try again.",
    "Tidyword could not read or keep your sign-in in the Secret Service. Check that a keyring "
    "such as GNOME Keyring or KWallet is running and unlocked.",
};

}  // namespace

const DesktopWords& desktopWords() {
#if defined(Q_OS_MACOS)
    return kMacWords;
#else
    return kLinuxWords;
#endif
}

}  // namespace tidyword
