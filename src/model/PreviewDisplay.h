// The popup's three renderings of a result; the raw value is also the segment's label.
#pragma once

#include "base/RawValueEnum.h"

#include <array>

namespace tidyword {

enum class PreviewDisplay { changes, improved, original };

template <>
struct EnumCases<PreviewDisplay> {
    static constexpr std::array all{PreviewDisplay::changes, PreviewDisplay::improved,
                                    PreviewDisplay::original};
};

QString rawValue(PreviewDisplay display);

}  // namespace tidyword
