// Makes Tidyword this user's handler of its sign-in callback scheme, so that the desktop starts
// `tidyword <callback URL>` when the browser is sent there: a desktop entry in the user's
// applications folder, and the scheme's default in the user's mimeapps.list.
#pragma once

#include <QString>

namespace tidyword::platform::linux_desktop {

struct SchemeHandlerLocations {
    QString applications;  // where the desktop entry goes
    QString mimeappsList;  // the file that names the scheme's default handler

    // The user's own: $XDG_DATA_HOME/applications and $XDG_CONFIG_HOME/mimeapps.list.
    static SchemeHandlerLocations forUser();
};

inline constexpr char16_t kDesktopEntryName[] = u"tidyword.desktop";

// Writes both, keeping every other association in mimeapps.list; running it again changes
// nothing. False when a file cannot be written.
bool registerSchemeHandler(const QString& executable, const QString& scheme,
                           const SchemeHandlerLocations& where = SchemeHandlerLocations::forUser());

}  // namespace tidyword::platform::linux_desktop
