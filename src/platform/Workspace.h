// The seam to the desktop's running applications and screens: which application receives key
// input, each application's identity (the launch date tells a relaunch with the same process
// identifier apart), bringing one to the front, and the screen frames.
#pragma once

#include "platform/Accessibility.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace tidyword::platform {

struct RunningApplication {
    qint32 processIdentifier = 0;
    bool terminated = false;
    QString bundleIdentifier;
    std::optional<QString> localizedName;
    std::optional<QDateTime> launchDate;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    // The application that receives key input, or none.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // That application while it runs, or none.
    virtual std::optional<RunningApplication> runningApplication(qint32 processIdentifier) = 0;
    // True when the request to bring the application to the front was made. The window
    // system grants it in its own time, or not at all: frontmostApplication() tells which.
    virtual bool activate(qint32 processIdentifier) = 0;
    virtual qint32 currentProcessIdentifier() = 0;
    // Screen frames in the window system's space, the one the accessibility service reports
    // selections in (platform/DesktopSpace.h); the primary screen first.
    virtual QList<ScreenRect> screenFrames() = 0;
};

}  // namespace tidyword::platform
