#include "ui/form_layout.h"

#include <algorithm>

namespace velmora {

DockedLayout dockedLayout(int clientWidth, int clientHeight, int panelWidth) {
    DockedLayout layout;
    const int rowHeight = clientHeight - kStatusHeight;
    panelWidth = std::clamp(panelWidth, 0, std::max(0, clientWidth - kSplitterWidth));
    layout.stat1 = QRect(0, rowHeight, clientWidth, kStatusHeight);
    layout.pnl1 = QRect(clientWidth - panelWidth, 0, panelWidth, rowHeight);
    layout.spl1 = QRect(layout.pnl1.left() - kSplitterWidth, 0, kSplitterWidth, rowHeight);
    const int fillWidth = layout.spl1.left();
    layout.pnl2 = QRect(0, 0, fillWidth, rowHeight);
    layout.grp5 = QRect(0, 0, fillWidth, kDiagramGroupHeight);
    layout.grp7 = QRect(0, kDiagramGroupHeight, fillWidth, kInputGroupHeight);
    layout.mmo2 = QRect(0, rowHeight - kResultMemoHeight, fillWidth, kResultMemoHeight);
    return layout;
}

int splitPanelWidth(int clientWidth, int splitterLeft) {
    int width = clientWidth - kSplitterWidth - splitterLeft;
    width = std::min(width, clientWidth - kSplitterWidth - kMinFillWidth);
    if (width <= kSnapWidth)
        width = 0;
    return width;
}

} // namespace velmora
