// Which case of an area's error an action throws, for tests that expect one.
#pragma once

#include <functional>
#include <optional>

namespace tidyword::test {

// The code of the `Error` that `action` throws; none when it returns normally. Any other
// exception escapes to fail the test.
template <typename Error>
std::optional<typename Error::Code> codeThrownBy(const std::function<void()>& action) {
    try {
        action();
    } catch (const Error& error) {
        return error.code();
    }
    return std::nullopt;
}

}  // namespace tidyword::test
