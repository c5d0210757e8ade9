#include "ui/form_layout.h"

#include <algorithm>

namespace velmora {

DockedLayout dockedLayout(int clientWidth, int clientHeight, int panelWidth) {
    DockedLayout layout;
    const int rowHeight = clientHeight - StatusHeight;
    panelWidth = std::clamp(panelWidth, 0, std::max(0, clientWidth - SplitterWidth));
    layout.stat1 = QRect(0, rowHeight, clientWidth, StatusHeight);
    layout.pnl1 = QRect(clientWidth - panelWidth, 0, panelWidth, rowHeight);
    layout.spl1 = QRect(layout.pnl1.left() - SplitterWidth, 0, SplitterWidth, rowHeight);
    const int fillWidth = layout.spl1.left();
    layout.pnl2 = QRect(0, 0, fillWidth, rowHeight);
    layout.grp5 = QRect(0, 0, fillWidth, DiagramGroupHeight);
    layout.grp7 = QRect(0, DiagramGroupHeight, fillWidth, InputGroupHeight);
    layout.mmo2 = QRect(0, rowHeight - ResultMemoHeight, fillWidth, ResultMemoHeight);
    return layout;
}

int splitPanelWidth(int clientWidth, int splitterLeft) {
    int width = clientWidth - SplitterWidth - splitterLeft;
    width = std::min(width, clientWidth - SplitterWidth - MinFillWidth);
    if (width <= SnapWidth)
        width = 0;
    return width;
}

} // namespace velmora
