// What every Linux workspace reads the same way, whatever its window system: an application is a
// process of the process table, and the screens are the ones Qt knows.
#pragma once

#include "platform/Workspace.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

namespace tidyword::platform::linux_desktop {

// What the process table says of one process: none when it does not exist.
struct ProcessRecord {
    bool terminated = false;  // a zombie: it has exited, its parent has not reaped it
    QString name;             // the command name
    QString executable;       // the executable's path, where it can be read
    QDateTime started;
};
std::optional<ProcessRecord> processRecord(qint32 processIdentifier);

// The identity of a running process as every workspace gives it: its executable's path (the
// command name where that cannot be read) as the bundle identifier, its command name as the name,
// and its start as the launch date. None when the process does not exist.
std::optional<RunningApplication> processApplication(qint32 processIdentifier);

// The name the desktop's menus give the program at `executable` (its desktop entry's Name, as
// "Mousepad" for /usr/bin/mousepad), or none when no installed entry runs it. Looked up once per
// executable and remembered for the rest of the run.
std::optional<QString> desktopEntryName(const QString& executable);

// The desktop's screens in the window system's space, the primary one first.
QList<ScreenRect> qtScreenFrames();

}  // namespace tidyword::platform::linux_desktop
