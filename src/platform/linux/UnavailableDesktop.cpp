#include "platform/linux/UnavailableDesktop.h"

#include "platform/linux/AppKeyMonitor.h"
#include "platform/linux/ProcessesAndScreens.h"

#include <unistd.h>

namespace tidyword::platform::linux_desktop {

namespace {

class Nothing final : public HotKeys::Registration {};

}  // namespace

qint32 UnavailableDesktop::currentProcessIdentifier() {
    return static_cast<qint32>(::getpid());
}

QList<ScreenRect> UnavailableDesktop::screenFrames() {
    return qtScreenFrames();
}

std::pair<HotKeys::Status, std::unique_ptr<HotKeys::Registration>>
UnavailableDesktop::installHandler(PressHandler) {
    return {success, std::make_unique<Nothing>()};
}

std::unique_ptr<HotKeys::Registration> UnavailableDesktop::addLocalMonitor(Monitor monitor) {
    return addAppKeyMonitor(std::move(monitor));
}

}  // namespace tidyword::platform::linux_desktop
