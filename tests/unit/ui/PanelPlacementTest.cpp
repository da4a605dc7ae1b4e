// Where the suggestion panel lands for selections and pointers across one or two screens.
#include "support/Printers.h"
#include "ui/PanelPlacement.h"

#include <gtest/gtest.h>

namespace tidyword::ui {
namespace {

using platform::ScreenRect;

// A 1440 × 900 main screen with a 25-point panel along its top, and a second screen to its right.
const ScreenArea kMain{{0, 0, 1440, 900}, {0, 0, 1440, 875}};
const ScreenArea kRight{{1440, 0, 1920, 1080}, {1440, 0, 1920, 1080}};
const QSizeF kPanel{620, 440};

struct Placement {
    const char* name;
    std::optional<ScreenRect> selection;
    QPointF pointer;
    QSizeF panel;
    QPointF origin;

    friend void PrintTo(const Placement& row, std::ostream* out) { *out << row.name; }
};

class PanelPlacementTest : public ::testing::TestWithParam<Placement> {};

TEST_P(PanelPlacementTest, PlacesThePanel) {
    const Placement& placement = GetParam();
    const auto origin =
        panelOrigin(placement.panel, placement.selection, placement.pointer, {kMain, kRight});
    ASSERT_TRUE(origin.has_value());
    EXPECT_DOUBLE_EQ(origin->x(), placement.origin.x());
    EXPECT_DOUBLE_EQ(origin->y(), placement.origin.y());
}

const Placement kPlacements[] = {

    // Its top edge 10 points under the selection, aligned with the selection's left edge.
    {"UnderTheSelection", ScreenRect{200, 600, 300, 20}, {}, kPanel, {200, 150}},
    // Near the bottom: pushed up to the margin instead of under the selection.
    {"NearTheBottom", ScreenRect{200, 60, 300, 20}, {}, kPanel, {200, 16}},
    // Near the right edge: pushed left to keep the margin.
    {"NearTheRightEdge", ScreenRect{1300, 600, 100, 20}, {}, kPanel, {804, 150}},
    // A selection on the second screen stays on that screen.
    {"OnTheSecondScreen", ScreenRect{3300, 500, 40, 20}, {}, kPanel, {2724, 50}},
    // No selection: centred on the screen under the pointer, in its visible area.
    {"CentredUnderThePointer", std::nullopt, {2000, 300}, kPanel, {2090, 320}},
    {"CentredOnTheMainScreen", std::nullopt, {100, 100}, kPanel, {410, 217.5}},
    // A pointer outside every screen falls back to the main screen.
    {"PointerOffScreen", std::nullopt, {-500, -500}, kPanel, {410, 217.5}},
    // A panel taller than the visible area: the bottom margin wins.
    {"TallerThanTheScreen", ScreenRect{200, 600, 300, 20}, {}, QSizeF(620, 2000), {200, 16}},
};

INSTANTIATE_TEST_SUITE_P(Cases, PanelPlacementTest, ::testing::ValuesIn(kPlacements),
                         test::rowName);

TEST(PanelPlacement, NoScreenLeavesThePanelWhereItIs) {
    EXPECT_FALSE(panelOrigin(kPanel, ScreenRect{1, 2, 3, 4}, {}, {}).has_value());
}

}  // namespace
}  // namespace tidyword::ui
