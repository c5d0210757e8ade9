#include "ui/concept_list_box.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyledItemDelegate>

namespace velmora {

namespace {

constexpr int kItemHeight = 13;

// Rows of a fixed height, whatever the font's line spacing.
class FixedRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(kItemHeight);
        return size;
    }
};

} // namespace

ConceptListBox::ConceptListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformItemSizes(true);
    setItemDelegate(new FixedRowDelegate(this));
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int ConceptListBox::selectedPosition() const {
    const QList<QListWidgetItem*> chosen = selectedItems();
    return chosen.isEmpty() ? -1 : row(chosen.constFirst());
}

void ConceptListBox::setItems(const QStringList& texts) {
    clear();
    addItems(texts);
}

QStringList ConceptListBox::items() const {
    QStringList texts;
    for (int i = 0; i < count(); ++i)
        texts << item(i)->text();
    return texts;
}

QItemSelectionModel::SelectionFlags ConceptListBox::selectionCommand(const QModelIndex& index,
                                                                     const QEvent* event) const {
    if (!index.isValid())
        return QItemSelectionModel::NoUpdate;
    QItemSelectionModel::SelectionFlags command = QListWidget::selectionCommand(index, event);
    if (command.testFlag(QItemSelectionModel::Deselect))
        command = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    return command;
}

void ConceptListBox::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    rowAtPress_ = selectedPosition();
    QListWidget::mousePressEvent(event);
}

void ConceptListBox::mouseReleaseEvent(QMouseEvent* event) {
    QListWidget::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !pressed_)
        return;
    pressed_ = false;
    const bool onItem = indexAt(event->position().toPoint()).isValid();
    const bool moved = selectedPosition() != rowAtPress_;
    if (selectedPosition() >= 0 && (onItem || moved))
        emit userClicked();
}

void ConceptListBox::keyPressEvent(QKeyEvent* event) {
    const int before = selectedPosition();
    QListWidget::keyPressEvent(event);
    const int after = selectedPosition();
    if (after >= 0 && after != before)
        emit userClicked();
}

void ConceptListBox::focusInEvent(QFocusEvent* event) {
    QListWidget::focusInEvent(event);
    // Without a selection the first arrow key chooses the first item, not the second.
    if (selectedPosition() < 0)
        selectionModel()->clearCurrentIndex();
}

} // namespace velmora
