#include "platform/linux/SystemRandomSource.h"

#include <sys/random.h>

#include <cerrno>

namespace tidyword::platform::linux_desktop {

bool SystemRandomSource::fill(std::span<std::byte> bytes) {
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t got = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        filled += static_cast<std::size_t>(got);
    }
    return true;
}

}  // namespace tidyword::platform::linux_desktop
