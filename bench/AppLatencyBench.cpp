// The built application on a real X11 desktop, measured from outside as a user meets it:
//   - from start to its icon in the tray, and to the settings window on screen;
//   - from the shortcut press (XTest) to the popup on screen with the selection captured
//     from mousepad, over 30 presses (the popup is closed again with the shortcut);
//   - CPU time over 60 idle seconds, and resident memory after start, after the popups and
//     after idling, against the floor: a minimal Qt Widgets program with one window and a tray
//     icon (bench_minimal_tray), measured in the same run.
// Run it on a desktop of its own:  bench/app-x11.sh <build folder>
#include "EditorDraft.h"
#include "Figures.h"
#include "platform/linux/XcbConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

using tidyword::platform::linux_desktop::XcbConnection;
using namespace Qt::Literals::StringLiterals;

constexpr int kPresses = 30;
constexpr int kIdleSeconds = 60;

// Whether a client window with this title is mapped and viewable.
bool shown(XcbConnection& x, const QByteArray& title) {
    for (const xcb_window_t window : x.windowList(x.root(), "_NET_CLIENT_LIST")) {
        const auto name = x.property(window, x.atom("_NET_WM_NAME"), x.atom("UTF8_STRING"));
        if (!name || *name != title) {
            continue;
        }
        auto* attributes = xcb_get_window_attributes_reply(
            x.get(), xcb_get_window_attributes(x.get(), window), nullptr);
        const bool viewable = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        std::free(attributes);
        if (viewable) {
            return true;
        }
    }
    return false;
}

bool viewable(XcbConnection& x, xcb_window_t window) {
    auto* attributes = xcb_get_window_attributes_reply(
        x.get(), xcb_get_window_attributes(x.get(), window), nullptr);
    const bool result = attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(attributes);
    return result;
}

// Whether Tidyword's icon is embedded and shown in a tray: a window of its class inside
// another client's window.
bool trayIconShown(XcbConnection& x, const QByteArray& windowClass = "tidyword") {
    QList<xcb_window_t> pending = x.windowList(x.root(), "_NET_CLIENT_LIST");
    for (int depth = 0; depth < 4 && !pending.isEmpty(); ++depth) {
        QList<xcb_window_t> children;
        for (const xcb_window_t window : pending) {
            auto* tree = xcb_query_tree_reply(x.get(), xcb_query_tree(x.get(), window), nullptr);
            if (!tree) {
                continue;
            }
            const xcb_window_t* child = xcb_query_tree_children(tree);
            for (int index = 0; index < xcb_query_tree_children_length(tree); ++index) {
                const auto wmClass = x.property(child[index], XCB_ATOM_WM_CLASS, XCB_ATOM_STRING);
                if (wmClass && wmClass->startsWith(windowClass) && viewable(x, child[index])) {
                    std::free(tree);
                    return true;
                }
                children.append(child[index]);
            }
            std::free(tree);
        }
        pending = children;
    }
    return false;
}

// Milliseconds until `done`, looking every half millisecond; -1 after 10 s.
template <typename Done>
double millisecondsUntil(Done done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10'000) {
            return -1;
        }
        ::usleep(500);
    }
    return tidyword::bench::millisecondsSince(timer);
}

// Alt+Shift+D, the default shortcut, as the keyboard would send it.
void pressShortcut(XcbConnection& x) {
    const xcb_keycode_t keys[] = {x.keycodeOf(0xffe9).value_or(0), x.keycodeOf(0xffe1).value_or(0),
                                  x.keycodeOf('d').value_or(0)};
    for (const xcb_keycode_t key : keys) {
        xcb_test_fake_input(x.get(), XCB_KEY_PRESS, key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key) {
        xcb_test_fake_input(x.get(), XCB_KEY_RELEASE, *key, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }
    xcb_flush(x.get());
}

struct Usage {
    double cpuSeconds;
    long residentKiB;
};

Usage usageOf(qint64 pid) {
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    stat.open(QIODevice::ReadOnly);
    const QByteArray line = stat.read(4096);
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    QFile status(u"/proc/%1/status"_s.arg(pid));
    status.open(QIODevice::ReadOnly);
    long resident = 0;
    for (const QByteArray& entry : status.readAll().split('\n')) {
        if (entry.startsWith("VmRSS:")) {
            resident = entry.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return {ticks / static_cast<double>(::sysconf(_SC_CLK_TCK)), resident};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_app_x11 <tidyword executable> <minimal tray program>\n");
        return 2;
    }
    auto x = XcbConnection::open();
    if (!x) {
        std::fprintf(stderr, "needs an X11 desktop\n");
        return 1;
    }
    QTemporaryDir directory;
    const QString draft = tidyword::bench::writeEditorDraft(directory);

    QProcess tidyword;
    tidyword.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    tidyword.start(QString::fromLocal8Bit(argv[1]), {});
    const double tray = millisecondsUntil([&] { return trayIconShown(*x); });
    const double window = millisecondsUntil([&] { return shown(*x, "Tidyword Settings"); }) + tray;
    std::printf("%-22s %.1f ms (target: 100 ms or less)\n", "start to tray icon", tray);
    std::printf("%-22s %.1f ms\n", "start to window", window);
    QThread::sleep(2);
    const long startResident = usageOf(tidyword.processId()).residentKiB;

    QProcess editor;
    editor.start(u"mousepad"_s, {draft});
    millisecondsUntil([&] { return shown(*x, QByteArray("draft.txt - Mousepad")); });
    QThread::msleep(500);
    QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+a"_s});

    QList<double> popup;
    for (int press = 0; press < kPresses; ++press) {
        pressShortcut(*x);
        const double shownAfter =
            millisecondsUntil([&] { return shown(*x, "Tidyword — Improve text"); });
        if (shownAfter < 0) {
            std::fprintf(stderr, "the popup did not open\n");
            return 1;
        }
        popup << shownAfter;
        QThread::msleep(300);  // past the debounce
        pressShortcut(*x);
        millisecondsUntil([&] { return !shown(*x, "Tidyword — Improve text"); });
        QThread::msleep(300);
    }
    tidyword::bench::report("shortcut to popup", popup);
    std::printf("%-22s targets: median 20 ms or less, p95 40 ms or less\n", "");
    const long popupsResident = usageOf(tidyword.processId()).residentKiB;

    const Usage before = usageOf(tidyword.processId());
    QThread::sleep(kIdleSeconds);
    const Usage after = usageOf(tidyword.processId());
    std::printf("%-22s %.2f %% of one core over %d s\n", "idle CPU",
                100.0 * (after.cpuSeconds - before.cpuSeconds) / kIdleSeconds, kIdleSeconds);

    // The floor, in the same setup: a minimal Qt Widgets program with one window and a tray icon.
    QProcess floor;
    floor.start(QString::fromLocal8Bit(argv[2]), {});
    millisecondsUntil([&] { return trayIconShown(*x, "bench_minimal_tray"); });
    millisecondsUntil([&] { return shown(*x, "Minimal tray"); });
    QThread::sleep(2);
    const long floorResident = usageOf(floor.processId()).residentKiB;
    floor.kill();
    floor.waitForFinished();
    const auto memory = [floorResident](const char* what, long kib) {
        std::printf("%-22s %.1f MB, %.2f times the floor (target: 1.2 or less)\n", what,
                    static_cast<double>(kib) / 1024.0,
                    static_cast<double>(kib) / static_cast<double>(floorResident));
    };
    std::printf("%-22s %.1f MB\n", "floor: minimal tray",
                static_cast<double>(floorResident) / 1024.0);
    memory("memory after start", startResident);
    memory("after 30 popups", popupsResident);
    memory("after idling", after.residentKiB);

    editor.kill();
    editor.waitForFinished();
    tidyword.terminate();
    tidyword.waitForFinished();
    return 0;
}
