// Plain text as the Linux clipboards hold it, whichever protocol carries it: the types a text is
// offered as, and how a text is read back from them.
#pragma once

#include "platform/Pasteboard.h"

#include <QString>

#include <optional>

namespace tidyword::platform::linux_desktop {

// `text` under every type X11 and Wayland clients ask plain text for; with `transient`, also
// marked as a text clipboard managers must not keep.
Pasteboard::Item textItem(const QString& text, bool transient = false);

// The plain text `pasteboard` holds, read as UTF-8 where it offers that (or only "text/plain"),
// else as Latin-1; none when no text type can be read within `longest` bytes.
std::optional<QString> plainText(Pasteboard& pasteboard, qint64 longest);

}  // namespace tidyword::platform::linux_desktop
