#include "ui/character_edit.h"

#include <QMouseEvent>

namespace velmora {

void CharacterEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

} // namespace velmora
