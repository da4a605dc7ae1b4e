// Shorthands for writing expected diffs in the tests.
#pragma once

#include "diff/TextDiff.h"
#include "support/Printers.h"

#include <ostream>

namespace tidyword {

inline void PrintTo(const DiffSegment& segment, std::ostream* out) {
    static constexpr const char* kinds[] = {"unchanged", "added", "removed"};
    *out << "{" << segment.id << ", \"" << segment.text.toStdString() << "\", "
         << kinds[static_cast<int>(segment.kind)] << "}";
}

// Segments numbered in order, from (text, kind) pairs.
inline QList<DiffSegment> numbered(std::initializer_list<std::pair<QString, DiffKind>> runs) {
    QList<DiffSegment> segments;
    for (const auto& [text, kind] : runs) {
        segments.append(DiffSegment{static_cast<int>(segments.size()), text, kind});
    }
    return segments;
}

}  // namespace tidyword
