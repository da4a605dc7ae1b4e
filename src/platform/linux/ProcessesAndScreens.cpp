#include "platform/linux/ProcessesAndScreens.h"

#include "platform/linux/OwnedHandle.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHash>
#include <QScreen>

#include <gio/gio.h>

#include <unistd.h>

namespace tidyword::platform::linux_desktop {

namespace {

// The files read here are a line or two; anything longer is not what we expect.
constexpr qint64 kMaximumProcFileSize = 4096;

std::optional<QByteArray> readSmallFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return file.read(kMaximumProcFileSize);
}

// The boot time in seconds since the epoch, from the kernel's "btime" line.
std::optional<qint64> bootTime() {
    QFile file(QStringLiteral("/proc/stat"));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    // A file of the proc file system has no size, so atEnd() cannot tell: read to an empty line.
    for (int line = 0; line < 65'536; ++line) {
        const QByteArray text = file.readLine(256);
        if (text.isEmpty()) {
            break;
        }
        if (text.startsWith("btime ")) {
            bool ok = false;
            const qint64 seconds = text.mid(6).trimmed().toLongLong(&ok);
            return ok ? std::optional(seconds) : std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<ProcessRecord> processRecord(qint32 processIdentifier) {
    if (processIdentifier <= 0) {
        return std::nullopt;
    }
    const QString directory = QStringLiteral("/proc/%1/").arg(processIdentifier);
    const auto stat = readSmallFile(directory + QStringLiteral("stat"));
    if (!stat) {
        return std::nullopt;
    }
    // "pid (comm) state ppid ...": the name may hold spaces and parentheses of its own.
    const qsizetype open = stat->indexOf('(');
    const qsizetype close = stat->lastIndexOf(')');
    if (open < 0 || close < open) {
        return std::nullopt;
    }
    const QList<QByteArray> fields = stat->mid(close + 2).split(' ');
    // After the name: state is field 3 of the line, start time field 22.
    constexpr qsizetype kState = 0;
    constexpr qsizetype kStartTime = 19;
    if (fields.size() <= kStartTime) {
        return std::nullopt;
    }
    ProcessRecord record;
    record.terminated = fields[kState] == "Z" || fields[kState] == "X";
    record.name = QString::fromUtf8(stat->mid(open + 1, close - open - 1));
    record.executable = QFileInfo(directory + QStringLiteral("exe")).symLinkTarget();
    bool ok = false;
    const qint64 ticks = fields[kStartTime].toLongLong(&ok);
    // Read once: the kernel derives it from the wall clock, so it moves whenever the clock is
    // stepped, and the same process would seem to have been launched again.
    static const auto boot = bootTime();
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (ok && boot && ticksPerSecond > 0) {
        record.started =
            QDateTime::fromMSecsSinceEpoch(*boot * 1000 + ticks * 1000 / ticksPerSecond, Qt::UTC);
    }
    return record;
}

std::optional<QString> desktopEntryName(const QString& executable) {
    static QHash<QString, std::optional<QString>> known;
    if (const auto found = known.constFind(executable); found != known.cend()) {
        return *found;
    }
    const QString program = QFileInfo(executable).fileName();
    std::optional<QString> name;
    const OwnedObjectList entries(g_app_info_get_all());
    for (GList* entry = entries.get(); entry && !name && !program.isEmpty(); entry = entry->next) {
        auto* info = static_cast<GAppInfo*>(entry->data);
        // Exec names the program by path or by a name found on PATH.
        const char* runs = g_app_info_get_executable(info);
        if (runs && (QString::fromUtf8(runs) == executable ||
                     QFileInfo(QString::fromUtf8(runs)).fileName() == program)) {
            name = QString::fromUtf8(g_app_info_get_display_name(info));
        }
    }
    known.insert(executable, name);
    return name;
}

std::optional<RunningApplication> processApplication(qint32 processIdentifier) {
    const auto record = processRecord(processIdentifier);
    if (!record) {
        return std::nullopt;
    }
    RunningApplication application;
    application.processIdentifier = processIdentifier;
    application.terminated = record->terminated;
    application.bundleIdentifier = record->executable.isEmpty() ? record->name : record->executable;
    application.localizedName = record->name;
    if (record->started.isValid()) {
        application.launchDate = record->started;
    }
    return application;
}

QList<ScreenRect> qtScreenFrames() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        return {};
    }
    screens.removeAll(primary);
    screens.prepend(primary);
    QList<ScreenRect> frames;
    for (const QScreen* screen : screens) {
        const QRect frame = screen->geometry();
        frames.append({static_cast<double>(frame.x()), static_cast<double>(frame.y()),
                       static_cast<double>(frame.width()), static_cast<double>(frame.height())});
    }
    return frames;
}

}  // namespace tidyword::platform::linux_desktop
