// The seam to the operating system's cryptographic random source, for the values that protect a
// sign-in (the PKCE verifier and the state).
#pragma once

#include <cstddef>
#include <span>

namespace tidyword::platform {

class RandomSource {
public:
    virtual ~RandomSource() = default;

    // Fills `bytes` with cryptographically secure random bytes. Returns false when the source
    // fails; the bytes must then not be used. Never falls back to a weaker generator.
    virtual bool fill(std::span<std::byte> bytes) = 0;
};

}  // namespace tidyword::platform
