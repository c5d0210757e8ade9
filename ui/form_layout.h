#pragma once

#include <QRect>

// Geometry of the main window's docked controls. The status bar takes the bottom, the concept
// panel the right edge with the splitter to its left, the left panel the rest; inside the left
// panel the diagram group and the input group are docked to the top and the result memo to the
// bottom (the input group and the memo overlap by one pixel).
namespace velmora {

inline constexpr int ClientWidth = 867;
inline constexpr int ClientHeight = 479;
inline constexpr int StatusHeight = 19;
inline constexpr int SplitterWidth = 3;
inline constexpr int ConceptPanelWidth = 193;
inline constexpr int DiagramGroupHeight = 217;
inline constexpr int InputGroupHeight = 64;
inline constexpr int ResultMemoHeight = 180;
// The left panel keeps at least this width; a concept panel this narrow or narrower snaps shut.
inline constexpr int MinFillWidth = 30;
inline constexpr int SnapWidth = 30;

struct DockedLayout {
    QRect stat1;
    QRect pnl1;
    QRect spl1;
    QRect pnl2;
    // Inside pnl2.
    QRect grp5;
    QRect grp7;
    QRect mmo2;
};

// The docked controls for a client area and a concept panel width.
DockedLayout dockedLayout(int clientWidth, int clientHeight, int panelWidth);

// The concept panel's width when the splitter's left edge is dragged to `splitterLeft`: the
// left panel keeps MinFillWidth, and SnapWidth or less closes the concept panel (0).
int splitPanelWidth(int clientWidth, int splitterLeft);

} // namespace velmora
