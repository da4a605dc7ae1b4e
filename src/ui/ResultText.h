// The text the popup's result panel shows for each display: the draft, the suggestion, or the
// word-level changes between them, removed runs struck through, added runs underlined, and an
// arrow where an addition takes the place of a removal.
#pragma once

#include "model/PreviewDisplay.h"

#include <QString>

namespace tidyword::ui {

inline constexpr int kResultFontSize = 17;
inline constexpr int kResultLineSpacing = 7;

// Rich text for a QLabel; plain texts come back escaped, so nothing in a draft is markup.
QString resultHtml(const QString& original, const QString& suggestion, PreviewDisplay display);

// What the changes display shows only by strike-through and underline, in words for a screen
// reader: "Removed “cat”, added “dog”." Empty for the other displays and for no change.
QString resultDescription(const QString& original, const QString& suggestion,
                          PreviewDisplay display);

// What sits between a removed run and the added run that replaces it.
inline constexpr char16_t kReplacementArrow[] = u" \u2192 ";

}  // namespace tidyword::ui
