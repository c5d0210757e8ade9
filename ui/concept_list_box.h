#pragma once

#include <QListWidget>

// A list box of the navigator. It reports a click whenever the user chooses an item: a mouse
// click on an item (also on the one already selected) or a keyboard move of the selection.
// Once an item is chosen the list always shows a choice, since the lists below hold its
// children: a click beside the items changes nothing, and Ctrl does not turn a click (or the
// space key) on the chosen item into taking it back.
namespace velmora {

class ConceptListBox : public QListWidget {
    Q_OBJECT
public:
    explicit ConceptListBox(QWidget* parent = nullptr);

    // The selected position, 0-based, or -1 when nothing is selected.
    int selectedPosition() const;
    // Replaces all items by `items` (nothing selected afterwards).
    void setItems(const QStringList& items);
    QStringList items() const;

signals:
    void userClicked();

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    int rowAtPress_ = -1;
    bool pressed_ = false;
};

} // namespace velmora
