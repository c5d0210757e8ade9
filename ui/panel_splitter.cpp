#include "ui/panel_splitter.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace velmora {

namespace {

// The line that follows the mouse during a drag: a dark hatch that stands out on any background.
class HatchedLine : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
    }
};

} // namespace

PanelSplitter::PanelSplitter(QWidget* parent) : QWidget(parent), line_(new HatchedLine(parent)) {
    setCursor(Qt::SplitHCursor);
    setFocusPolicy(Qt::NoFocus);
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    line_->hide();
}

int PanelSplitter::targetLeft(QMouseEvent* event) const {
    const int wanted = startLeft_ + qRound(event->position().x()) - pressX_;
    return constrain ? constrain(wanted) : wanted;
}

void PanelSplitter::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    dragging_ = true;
    pressX_ = qRound(event->position().x());
    startLeft_ = x();
    currentLeft_ = startLeft_;
    line_->setGeometry(geometry());
    line_->show();
    line_->raise();
    grabKeyboard();
}

void PanelSplitter::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_)
        return;
    currentLeft_ = targetLeft(event);
    line_->move(currentLeft_, y());
}

void PanelSplitter::mouseReleaseEvent(QMouseEvent* event) {
    if (!dragging_ || event->button() != Qt::LeftButton)
        return;
    currentLeft_ = targetLeft(event);
    endDrag();
    if (onMoved)
        onMoved(currentLeft_);
}

void PanelSplitter::keyPressEvent(QKeyEvent* event) {
    if (dragging_ && event->key() == Qt::Key_Escape) {
        endDrag();
        return;
    }
    QWidget::keyPressEvent(event);
}

void PanelSplitter::endDrag() {
    dragging_ = false;
    line_->hide();
    releaseKeyboard();
}

} // namespace velmora
