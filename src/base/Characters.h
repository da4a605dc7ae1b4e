// Text measured as people see it: user-perceived characters (extended grapheme clusters) and
// Unicode scalar values, for length limits and for the word diff.
#pragma once

#include <QStringView>

#include <functional>

namespace tidyword {

// Calls `visit` with each user-perceived character of `text`, in order: a letter with its
// combining marks, an emoji sequence or a CR LF pair is one character.
void forEachCharacter(QStringView text, const std::function<void(QStringView)>& visit);

// The number of user-perceived characters.
qsizetype characterCount(QStringView text);

// The number of Unicode scalar values (code points; a surrogate pair counts once).
qsizetype scalarCount(QStringView text);

}  // namespace tidyword
