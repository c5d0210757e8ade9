#pragma once

#include <QLabel>

// A label that reports the mouse moving over it, leaving it and clicking it. It takes the
// keyboard focus with Tab, shows a focus frame, and Enter or Space click it as the mouse does.
// Its text is drawn in the palette's window-text colour whatever its parent's background.
namespace velmora {

class LinkLabel : public QLabel {
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

signals:
    void mouseMoved();
    void mouseLeft();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool pressed_ = false;
};

} // namespace velmora
