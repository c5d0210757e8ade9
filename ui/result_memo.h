#pragma once

#include <QPlainTextEdit>

// The result memo. Its context menu (right click or the context-menu key) is the window's own
// popup menu instead of the editor's standard one.
namespace velmora {

class ResultMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    using QPlainTextEdit::QPlainTextEdit;

signals:
    void popupRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
};

} // namespace velmora
