// The stand-in service's rewrites: deterministic per mode, so tests and demos see a real,
// repeatable diff without any language model behind it.
#pragma once

#include <QString>

namespace tidyword::standin {

// `mode` is the raw value the client sent ("Grammar" … "Custom").
QString rewrite(const QString& text, const QString& mode, const QString& customInstruction);

}  // namespace tidyword::standin
