// Readable GoogleTest output: Qt values show as text, not bytes, and a table's cases by their
// rows' names.
#pragma once

#include <QRect>
#include <QString>

#include <ostream>
#include <string>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.width() << " x " << rect.height() << " at (" << rect.x() << ", " << rect.y()
         << ')';
}

namespace tidyword::test {

// Names each case of a parameterised test after its row's `name`.
inline constexpr auto rowName = [](const auto& info) { return std::string(info.param.name); };

}  // namespace tidyword::test
