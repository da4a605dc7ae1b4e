// Enumerations whose cases are named by fixed strings (stored settings, wire values): every case
// in declaration order, and the exact, case-sensitive way back from such a string.
#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace tidyword {

// Specialised beside each such enumeration with `static constexpr std::array all`, in
// declaration order; the enumeration also provides `QString rawValue(Enum)`.
template <typename Enum>
struct EnumCases;

template <typename Enum>
constexpr const auto& allCases() {
    return EnumCases<Enum>::all;
}

// The case whose raw value is exactly `raw`; any other spelling, letter case included, is none.
template <typename Enum>
std::optional<Enum> fromRawValue(QStringView raw) {
    for (Enum candidate : allCases<Enum>()) {
        if (rawValue(candidate) == raw) {
            return candidate;
        }
    }
    return std::nullopt;
}

}  // namespace tidyword
