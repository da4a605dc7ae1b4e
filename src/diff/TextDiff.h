// Word-level comparison of a draft with its rewrite, as the ordered runs the popup renders:
// the unchanged and removed runs rebuild the draft, the unchanged and added runs the rewrite.
#pragma once

#include <QList>
#include <QString>

namespace tidyword {

enum class DiffKind { unchanged, added, removed };

struct DiffSegment {
    int id;        // position in the list, from 0
    QString text;  // never empty
    DiffKind kind;

    friend bool operator==(const DiffSegment&, const DiffSegment&) = default;
};

namespace TextDiff {

// Tokens are runs of word characters, runs of whitespace, and single other characters, where a
// character is a grapheme cluster. Never fails; large rewrites of the middle degrade to one
// removal and one addition instead of costing quadratic time.
QList<DiffSegment> segments(const QString& original, const QString& replacement);

}  // namespace TextDiff

}  // namespace tidyword
