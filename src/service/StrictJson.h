// A reader for the one JSON shape Tidyword's configuration file may have: a single object whose
// members are all strings. It rejects rather than repairs: duplicate keys, any other value type,
// nesting, trailing text, invalid UTF-8 or escapes.
#pragma once

#include <QByteArrayView>
#include <QMap>
#include <QString>

#include <optional>

namespace tidyword {

// The members of the object, or none when `json` is anything else.
std::optional<QMap<QString, QString>> parseStringObject(QByteArrayView json);

}  // namespace tidyword
