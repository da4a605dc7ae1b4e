#include "platform/linux/UnavailableDesktop.h"

#include <QGuiApplication>
#include <QScreen>

#include <unistd.h>

namespace tidyword::platform::linux_desktop {

namespace {

class Nothing final : public HotKeys::Registration {};

}  // namespace

qint32 UnavailableDesktop::currentProcessIdentifier() {
    return static_cast<qint32>(::getpid());
}

QList<ScreenRect> UnavailableDesktop::screenFrames() {
    QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) {
        return {};
    }
    screens.removeAll(primary);
    screens.prepend(primary);
    const int bottom = primary->geometry().y() + primary->geometry().height();
    QList<ScreenRect> frames;
    for (const QScreen* screen : screens) {
        const QRect frame = screen->geometry();
        frames.append({static_cast<double>(frame.x()),
                       static_cast<double>(bottom - (frame.y() + frame.height())),
                       static_cast<double>(frame.width()), static_cast<double>(frame.height())});
    }
    return frames;
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>>
UnavailableDesktop::installHandler(PressHandler) {
    return {success, std::make_unique<Nothing>()};
}

std::unique_ptr<HotKeys::Registration> UnavailableDesktop::addLocalMonitor(Monitor) {
    return std::make_unique<Nothing>();
}

}  // namespace tidyword::platform::linux_desktop
