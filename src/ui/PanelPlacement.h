// Where the floating suggestion panel goes: its top edge just under the selection, or centred
// on the screen under the pointer when there is no selection rectangle, and always inside that
// screen's visible area with a margin. All in bottom-left-origin desktop points, as the
// accessibility seam reports selections.
#pragma once

#include "platform/Accessibility.h"

#include <QList>
#include <QPointF>
#include <QSizeF>

#include <optional>

namespace tidyword::ui {

struct ScreenArea {
    platform::ScreenRect frame;
    platform::ScreenRect visibleFrame;  // without panels and docks
};

inline constexpr double kPanelScreenMargin = 16;
inline constexpr double kPanelGapBelowSelection = 10;

// The panel's bottom-left origin for a panel of `size`; `screens` starts with the main screen.
// None when there is no screen at all (the panel then stays where it is).
std::optional<QPointF> panelOrigin(QSizeF size, std::optional<platform::ScreenRect> selection,
                                   QPointF pointer, const QList<ScreenArea>& screens);

}  // namespace tidyword::ui
