#include "platform/linux/AtspiWorkspace.h"

#include "platform/linux/AtspiDeadline.h"
#include "platform/linux/AtspiElement.h"
#include "platform/linux/OwnedHandle.h"
#include "platform/linux/ProcessesAndScreens.h"

#include <QGuiApplication>
#include <QWindow>

#include <atspi/atspi.h>

#include <unistd.h>

namespace tidyword::platform::linux_desktop {

namespace {

using Accessible = OwnedObject<AtspiAccessible>;

// The child at `index`, or none.
Accessible childAt(AtspiAccessible* parent, gint index) {
    if (outOfTime()) {
        return nullptr;
    }
    GError* error = nullptr;
    Accessible child(atspi_accessible_get_child_at_index(parent, index, &error));
    return failed(error) ? nullptr : std::move(child);
}

gint childCount(AtspiAccessible* parent, gint limit) {
    if (outOfTime()) {
        return 0;
    }
    GError* error = nullptr;
    const gint count = atspi_accessible_get_child_count(parent, &error);
    return failed(error) ? 0 : std::min(count, limit);
}

// Whether one of the application's top-level accessibles is ACTIVE.
bool isActive(AtspiAccessible* application) {
    const gint windows = childCount(application, AtspiWorkspace::windowLimit);
    for (gint index = 0; index < windows && !outOfTime(); ++index) {
        const Accessible window = childAt(application, index);
        if (window && hasState(window.get(), ATSPI_STATE_ACTIVE) == true) {
            return true;
        }
    }
    return false;
}

QString nameOf(AtspiAccessible* accessible) {
    if (outOfTime()) {
        return {};
    }
    GError* error = nullptr;
    const OwnedString name(atspi_accessible_get_name(accessible, &error));
    return failed(error) ? QString() : QString::fromUtf8(name.get());
}

struct ActiveApplication {
    qint32 processIdentifier = 0;
    QString name;
};

// The one application other than `self` that has an ACTIVE top-level accessible.
std::optional<ActiveApplication> soleActiveApplication(qint32 self) {
    const auto desktop = adoptObject(atspi_get_desktop(0));
    if (!desktop) {
        return std::nullopt;
    }
    std::optional<ActiveApplication> found;
    const gint applications = childCount(desktop.get(), AtspiWorkspace::applicationLimit);
    for (gint index = 0; index < applications && !outOfTime(); ++index) {
        const Accessible application = childAt(desktop.get(), index);
        if (!application) {
            continue;
        }
        const auto pid = processIdentifierOf(application.get());
        if (!pid || *pid == self || !isActive(application.get())) {
            continue;
        }
        if (found) {
            return std::nullopt;
        }
        found = ActiveApplication{*pid, nameOf(application.get())};
    }
    return found;
}

// Tidyword's own windows, in a process with windows at all.
QList<QWindow*> ownWindows() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return {};
    }
    return QGuiApplication::topLevelWindows();
}

bool ownWindowHasKeyboard() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        return false;
    }
    const QWindow* focused = QGuiApplication::focusWindow();
    return focused && focused->isVisible();
}

}  // namespace

std::unique_ptr<AtspiWorkspace> AtspiWorkspace::open() {
    // 0 is success, 1 "already initialised"; anything else means no bus to talk to.
    if (atspi_init() > 1) {
        return nullptr;
    }
    return std::unique_ptr<AtspiWorkspace>(new AtspiWorkspace());
}

std::optional<RunningApplication> AtspiWorkspace::frontmostApplication() {
    const qint32 self = currentProcessIdentifier();
    if (ownWindowHasKeyboard()) {
        return runningApplication(self);
    }
    const auto active = withinDeadline(deadline, [self] { return soleActiveApplication(self); });
    if (!active) {
        return std::nullopt;
    }
    auto application = runningApplication(active->processIdentifier);
    // The name the desktop's menus show; the toolkit's own name for itself ("mousepad") else.
    if (application) {
        if (const auto shown = desktopEntryName(application->bundleIdentifier)) {
            application->localizedName = shown;
        } else if (!active->name.isEmpty()) {
            application->localizedName = active->name;
        }
    }
    return application;
}

std::optional<RunningApplication> AtspiWorkspace::runningApplication(qint32 processIdentifier) {
    return processApplication(processIdentifier);
}

bool AtspiWorkspace::activate(qint32 processIdentifier) {
    const auto application = processApplication(processIdentifier);
    if (!application || application->terminated ||
        processIdentifier == currentProcessIdentifier()) {
        return false;
    }
    for (QWindow* window : ownWindows()) {
        if (window->isVisible()) {
            window->hide();
        }
    }
    return true;
}

qint32 AtspiWorkspace::currentProcessIdentifier() {
    return static_cast<qint32>(::getpid());
}

QList<ScreenRect> AtspiWorkspace::screenFrames() {
    return qtScreenFrames();
}

}  // namespace tidyword::platform::linux_desktop
