// The built-in texts of the demo preview: a draft with three mistakes, and one sample rewrite
// per edit mode.
#pragma once

#include "service/EditMode.h"

#include <QString>

namespace tidyword::DemoSamples {

QString draft();
QString suggestion(EditMode mode);
QString sourceName();

}  // namespace tidyword::DemoSamples
