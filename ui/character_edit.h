#pragma once

#include <QLineEdit>

// The single-line edit in which the user types the character to classify. It reports a click
// (mouse button released inside it).
namespace velmora {

class CharacterEdit : public QLineEdit {
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace velmora
