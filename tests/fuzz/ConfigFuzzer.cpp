// Arbitrary bytes as the configuration file: parse either accepts them or says notConfigured.
#include "service/BetaConfig.h"
#include "service/BetaError.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray file(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const auto config = tidyword::BetaConfig::parse(file);
        // An accepted file always yields endpoints and an identifier.
        if (!config.authorizationEndpoint().isValid() || !config.tokenEndpoint().isValid() ||
            config.sessionIdentifier().isEmpty()) {
            std::abort();
        }
    } catch (const tidyword::BetaError& error) {
        if (error.code() != tidyword::BetaError::notConfigured) {
            std::abort();
        }
    }
    return 0;
}
