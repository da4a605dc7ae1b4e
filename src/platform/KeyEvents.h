// The seam to synthetic key presses: the copy or the paste shortcut, delivered to one process
// only. Each backend knows its own chord for each purpose.
#pragma once

#include <QtGlobal>

namespace tidyword::platform {

class KeyEvents {
public:
    enum class Shortcut { copy, paste };

    virtual ~KeyEvents() = default;

    // True when the key press was posted (not that the application acted on it).
    virtual bool post(Shortcut shortcut, qint32 processIdentifier) = 0;
};

}  // namespace tidyword::platform
