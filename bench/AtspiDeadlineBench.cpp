// How long Tidyword's event loop stands still against a GTK window of thousands of accessibles,
// idle and busy (5 ms of work in every turn of its main loop):
//   - a first capture, by a backend that has not heard where the focus is and must find it;
//   - the focus checks before a paste (focused element, focused window), with the window in the
//     background.
// Every seam call is synchronous, so these times are the stalls. Run it on a desktop of its own:
//   bench/atspi-deadline.sh <build folder>
#include "Figures.h"
#include "platform/SystemClock.h"
#include "platform/linux/AtspiAccessibility.h"
#include "platform/linux/X11Workspace.h"
#include "platform/linux/XTestKeyEvents.h"
#include "platform/linux/XcbClipboard.h"
#include "textbridge/TextBridge.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QThread>
#include <qcoro/qcorotask.h>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace {

using namespace tidyword;
using namespace tidyword::platform::linux_desktop;
using namespace Qt::Literals::StringLiterals;
using Attribute = platform::Accessibility::Attribute;

constexpr int kRuns = 5;

// Whether a capture succeeded, once it is over: it may end before it ever waits.
bool captured(QCoro::Task<TextSelection> capture) {
    std::optional<bool> succeeded;
    QEventLoop loop;
    auto runner = [&]() -> QCoro::Task<void> {
        try {
            co_await std::move(capture);
            succeeded = true;
        } catch (const std::exception&) {
            succeeded = false;
        }
        loop.quit();
    };
    auto running = runner();
    if (!succeeded) {
        loop.exec();
    }
    return *succeeded;
}

bool waitFor(const std::function<bool()>& done) {
    for (int attempt = 0; attempt < 1500; ++attempt) {
        if (done()) {
            return true;
        }
        QThread::msleep(20);
        QCoreApplication::processEvents();
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    auto workspace = X11Workspace::open();
    auto keys = XTestKeyEvents::open();
    auto clipboard = XcbClipboard::open();
    // Opened before the windows start: it hears where their focus goes, and tells when a window
    // is ready.
    auto watcher = AtspiAccessibility::open();
    if (!workspace || !keys || !clipboard || !watcher || !watcher->isTrusted()) {
        std::fprintf(stderr, "needs an X11 desktop with the accessibility bus enabled\n");
        return 1;
    }
    platform::SystemClock clock;
    const auto inFront = [&](qint64 pid) {
        return waitFor([&] {
            const auto front = workspace->frontmostApplication();
            return front && front->processIdentifier == pid;
        });
    };

    QProcess other;
    other.start(QStringLiteral(TIDYWORD_CROWDED_WINDOW), {u"0"_s});
    if (!other.waitForStarted() || !inFront(other.processId())) {
        return 1;
    }
    // Ending a backend takes its process's focus events away from applications that start
    // later: every one lives to the end.
    std::vector<std::unique_ptr<AtspiAccessibility>> backends;
    for (const int labels : {2000, 5000}) {
        for (const bool busy : {false, true}) {
            QProcess window;
            QStringList arguments{QString::number(labels)};
            if (busy) {
                arguments << u"--busy"_s << u"5"_s;
            }
            window.start(QStringLiteral(TIDYWORD_CROWDED_WINDOW), arguments);
            const qint32 pid = static_cast<qint32>(window.processId());
            const bool ready = window.waitForStarted() && inFront(pid) && waitFor([&] {
                                   const auto field = watcher->elementAttribute(
                                       watcher->applicationElement(pid), Attribute::focusedElement);
                                   return field && watcher->stringAttribute(
                                                       *field, Attribute::value) == u"the field"_s;
                               });
            if (!ready) {
                std::fprintf(stderr, "the window with %d labels never got ready\n", labels);
                return 1;
            }
            QProcess::execute(u"xdotool"_s, {u"key"_s, u"ctrl+a"_s});

            QList<double> captures;
            QList<double> checks;
            int failedCaptures = 0;
            for (int run = 0; run < kRuns; ++run) {
                if (!workspace->activate(pid) || !inFront(pid)) {
                    return 1;
                }
                // The window's own announcements of its focus are over before the backend
                // opens: it has to find the field.
                waitFor([settling = QDeadlineTimer(1000)] { return settling.hasExpired(); });
                auto& backend = *backends.emplace_back(AtspiAccessibility::open());
                TextBridge bridge({backend, *workspace, *clipboard, *keys, clock});
                QElapsedTimer timer;
                timer.start();
                failedCaptures += captured(bridge.captureSelection()) ? 0 : 1;
                captures << tidyword::bench::millisecondsSince(timer);

                if (!workspace->activate(static_cast<qint32>(other.processId())) ||
                    !inFront(other.processId())) {
                    return 1;
                }
                const auto source = backend.applicationElement(pid);
                timer.restart();
                backend.elementAttribute(source, Attribute::focusedElement);
                backend.elementAttribute(source, Attribute::focusedWindow);
                checks << tidyword::bench::millisecondsSince(timer);
            }
            const QByteArray what = QByteArray::number(labels) + (busy ? " busy" : " idle");
            std::printf("%s: %d of %d first captures failed\n", what.constData(), failedCaptures,
                        kRuns);
            bench::report(what + " first capture", captures);
            bench::report(what + " background check", checks);
            window.kill();
            window.waitForFinished();
        }
    }
    other.kill();
    other.waitForFinished();
    return 0;
}
