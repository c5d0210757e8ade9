#include "ui/result_memo.h"

#include <QContextMenuEvent>

namespace velmora {

void ResultMemo::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
    emit popupRequested(event->globalPos());
}

} // namespace velmora
