// The seam to synthetic key presses: the copy or the paste shortcut, delivered to one process
// only. Each backend knows its own chord for each purpose.
#pragma once

#include <QtGlobal>
#include <qcoro/qcorotask.h>

#include <functional>

namespace tidyword::platform {

class KeyEvents {
public:
    enum class Shortcut { copy, paste };
    enum class Posted {
        yes,            // the key press was posted (not that the application acted on it)
        no,             // it could not be, or would not have reached the process
        refusedByUser,  // the desktop asked the user, who did not allow it
    };

    virtual ~KeyEvents() = default;

    // A backend may have to wait for the user (a consent dialog of the desktop's), and the
    // caller's event loop keeps running meanwhile: `lastCheck`, where given, is asked once more
    // right before the keys go, after every wait, and nothing is posted (no) unless it holds.
    virtual QCoro::Task<Posted> post(Shortcut shortcut, qint32 processIdentifier,
                                     std::function<bool()> lastCheck = {}) = 0;
    // Some desktops lend their clipboard only inside the session that carries the keys, and ask
    // the user before it starts: a paste opens one before it touches the clipboard, posts inside
    // it, and closes it once the clipboard is put back (the backend may keep it while what was
    // put back is served from it). Where the keys need no such session, there is nothing to open.
    virtual QCoro::Task<Posted> openPasteSession(qint32 /*processIdentifier*/) {
        co_return Posted::yes;
    }
    virtual void closePasteSession() {}
    // Ends, for good, every wait for the user (a consent dialog): a post that waits answers no
    // at once. For the process's end, when no one will answer.
    virtual void abandonWaits() {}
    // Whether the user still holds keys that a posted chord would merge with (the shortcut that
    // started a capture). A backend learns of their release through the event loop, so callers
    // wait for it there rather than inside `post`.
    virtual bool keysHeld() { return false; }
};

}  // namespace tidyword::platform
