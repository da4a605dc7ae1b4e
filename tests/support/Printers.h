// Readable GoogleTest output for Qt values: failures show text, not bytes.
#pragma once

#include <QRect>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& rect, std::ostream* out) {
    *out << rect.width() << " x " << rect.height() << " at (" << rect.x() << ", " << rect.y()
         << ')';
}
