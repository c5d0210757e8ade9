#pragma once

#include <QRect>

// Geometry of the main window's controls. The docked ones follow the client area and the
// concept panel's width: the status bar takes the bottom, the concept panel the right edge with
// the splitter to its left, the left panel the rest; inside the left panel the diagram group and
// the input group are docked to the top and the result memo to the bottom (the input group and
// the memo overlap by one pixel). All others keep fixed positions inside their parents.
namespace velmora {

inline constexpr int kClientWidth = 867;
inline constexpr int kClientHeight = 479;
inline constexpr int kStatusHeight = 19;
inline constexpr int kSplitterWidth = 3;
inline constexpr int kConceptPanelWidth = 193;
inline constexpr int kDiagramGroupHeight = 217;
inline constexpr int kInputGroupHeight = 64;
inline constexpr int kResultMemoHeight = 180;
// The left panel keeps at least this width; a concept panel this narrow or narrower snaps shut.
inline constexpr int kMinFillWidth = 30;
inline constexpr int kSnapWidth = 30;

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

// Controls that neither move nor stretch, each inside its parent.
struct FixedLayout {
    // In the concept panel: the five group boxes, adjacent ones overlapping by one pixel, each
    // with its list.
    QRect grp2{0, 0, 185, 73};
    QRect lst1{16, 16, 153, 41};
    QRect grp3{0, 72, 185, 73};
    QRect lst2{16, 16, 153, 41};
    QRect grp4{0, 144, 185, 73};
    QRect lst3{16, 16, 153, 41};
    QRect grp1{0, 216, 185, 105};
    QRect lst4{16, 16, 153, 73};
    QRect grp6{0, 320, 185, 137};
    QRect lst5{16, 16, 153, 113};
    // In the diagram group: the diagram and, hidden, the report button and the code edit.
    QRect mmo1{104, 16, 489, 185};
    QRect btn3{168, 192, 75, 25};
    QRect edt1{8, 196, 161, 21};
    // In the input group: the character input and the link label.
    QRect edt2{296, 16, 33, 37};
    QRect lbl1{392, 32, 250, 13};
    // In the window, hidden: the report buffer.
    QRect mmo3{0, 427, kClientWidth, 33};
};

inline constexpr FixedLayout kFixedLayout{};

// The concept panel's width when the splitter's left edge is dragged to `splitterLeft`: the
// left panel keeps kMinFillWidth, and kSnapWidth or less closes the concept panel (0).
int splitPanelWidth(int clientWidth, int splitterLeft);

} // namespace velmora
