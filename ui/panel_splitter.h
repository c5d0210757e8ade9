#pragma once

#include <QWidget>

#include <functional>

// The vertical bar between the window's left panel and its concept panel. Dragging it with the
// left button shows a hatched line at the new position; releasing the button applies the new
// width, Esc during the drag cancels.
namespace velmora {

class PanelSplitter : public QWidget {
    Q_OBJECT
public:
    explicit PanelSplitter(QWidget* parent);

    // Called on release with the splitter's new left edge in the parent's coordinates.
    std::function<void(int splitterLeft)> onMoved;
    // The left edge that a drag to `splitterLeft` would give (the width rules applied).
    std::function<int(int splitterLeft)> constrain;

    bool isDragging() const { return dragging_; }
    // The hatched line shown while dragging (hidden otherwise).
    QWidget* dragLine() const { return line_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int targetLeft(QMouseEvent* event) const;
    void endDrag();

    QWidget* line_;
    bool dragging_ = false;
    int pressX_ = 0;
    int startLeft_ = 0;
    int currentLeft_ = 0;
};

} // namespace velmora
