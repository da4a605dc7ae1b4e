#include "ui/PanelPlacement.h"

#include <algorithm>

namespace tidyword::ui {

namespace {

// Half-open, so that a point on the edge between two screens belongs to one of them.
bool contains(const platform::ScreenRect& rect, QPointF point) {
    return point.x() >= rect.x && point.x() < rect.x + rect.width && point.y() >= rect.y &&
           point.y() < rect.y + rect.height;
}

}  // namespace

std::optional<QPointF> panelOrigin(QSizeF size, std::optional<platform::ScreenRect> selection,
                                   QPointF pointer, const QList<ScreenArea>& screens) {
    const QPointF anchor = selection ? QPointF(selection->x + selection->width / 2,
                                               selection->y + selection->height / 2)
                                     : pointer;
    if (screens.isEmpty()) {
        return std::nullopt;
    }
    const auto screen = std::find_if(screens.begin(), screens.end(), [anchor](const ScreenArea& s) {
        return contains(s.frame, anchor);
    });
    const platform::ScreenRect visible =
        (screen != screens.end() ? *screen : screens.front()).visibleFrame;
    const double minX = visible.x + kPanelScreenMargin;
    const double minY = visible.y + kPanelScreenMargin;
    const double maxX = visible.x + visible.width - kPanelScreenMargin;
    const double maxY = visible.y + visible.height - kPanelScreenMargin;

    double x = 0;
    double y = 0;
    if (selection) {
        x = selection->x;
        y = selection->y - size.height() - kPanelGapBelowSelection;
    } else {
        x = (minX + maxX) / 2 - size.width() / 2;
        y = (minY + maxY) / 2 - size.height() / 2;
    }
    // Left and bottom win when the panel is larger than the area.
    x = std::max(minX, std::min(x, maxX - size.width()));
    y = std::max(minY, std::min(y, maxY - size.height()));
    return QPointF(x, y);
}

}  // namespace tidyword::ui
