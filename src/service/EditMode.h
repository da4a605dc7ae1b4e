// The kinds of rewrite a user can ask for. The raw value is also the mode string the editing
// service receives, which is why the vocabulary lives with the service client.
#pragma once

#include "base/RawValueEnum.h"

#include <array>

namespace tidyword {

enum class EditMode { grammar, clearer, shorter, professional, casual, prompt, custom };

template <>
struct EnumCases<EditMode> {
    static constexpr std::array all{EditMode::grammar,      EditMode::clearer, EditMode::shorter,
                                    EditMode::professional, EditMode::casual,  EditMode::prompt,
                                    EditMode::custom};
};

// "Grammar" … "Custom", as sent to the service; also the mode's stable identity.
QString rawValue(EditMode mode);
// What the user reads: the raw value, except "Make an AI prompt" for `prompt`.
QString title(EditMode mode);

}  // namespace tidyword
