// The kernel's cryptographic random source (getrandom), which blocks only until the kernel's
// pool is first initialised at boot.
#pragma once

#include "platform/RandomSource.h"

namespace tidyword::platform::linux_desktop {

class SystemRandomSource final : public RandomSource {
public:
    bool fill(std::span<std::byte> bytes) override;
};

}  // namespace tidyword::platform::linux_desktop
