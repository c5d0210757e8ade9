#include "ui/dialog_seam.h"

#include <QFileDialog>
#include <QFileSystemModel>
#include <QProcess>

#include <utility>

namespace velmora {

DialogSeam::~DialogSeam() = default;

QMessageBox::StandardButton showQtMessageBox(QWidget* parent, const MessageBoxRequest& request) {
    // The box's label breaks lines at line feeds only; show each lone carriage return as one.
    QString shown = request.text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(request.icon, request.caption, shown, request.buttons, parent);
    box.setTextFormat(Qt::PlainText);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

namespace {

// The first pattern of a filter such as "name(*.txt)".
QStringList patternsOf(const QString& filter) {
    const qsizetype open = filter.lastIndexOf(QLatin1Char('('));
    const qsizetype close = filter.lastIndexOf(QLatin1Char(')'));
    if (open < 0 || close < open)
        return {QStringLiteral("*")};
    return filter.mid(open + 1, close - open - 1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

class QtDialogSeam final : public DialogSeam {
public:
    QMessageBox::StandardButton showMessage(QWidget* parent,
                                            const MessageBoxRequest& request) override {
        return showQtMessageBox(parent, request);
    }

    std::optional<QString> chooseSaveFile(QWidget* parent, SaveDialogState& state) override {
        QFileDialog dialog(parent);
        // Qt's own dialog shows the file types exactly as written and lets "*.*" mean every file.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setDefaultSuffix(state.defaultSuffix);
        dialog.setNameFilters(state.filters);
        auto* model = dialog.findChild<QFileSystemModel*>();
        auto applyFilter = [&](const QString& filter) {
            const QStringList patterns = patternsOf(filter);
            // "*.*" stands for every file, as users of other systems expect.
            if (model && patterns.contains(QStringLiteral("*.*")))
                model->setNameFilters({QStringLiteral("*")});
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applyFilter);
        if (state.filterIndex >= 0 && state.filterIndex < state.filters.size()) {
            dialog.selectNameFilter(state.filters.at(state.filterIndex));
            applyFilter(state.filters.at(state.filterIndex));
        }
        if (!state.fileName.isEmpty())
            dialog.selectFile(state.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        const QString chosen = dialog.selectedFiles().constFirst();
        state.fileName = chosen;
        state.filterIndex =
            std::max<qsizetype>(0, state.filters.indexOf(dialog.selectedNameFilter()));
        return chosen;
    }

    void startProgram(const QString& program, const QStringList& arguments) override {
        QProcess::startDetached(program, arguments);
    }
};

QtDialogSeam qtDialogs;
DialogSeam* installed = nullptr;

} // namespace

DialogSeam& dialogs() {
    return installed ? *installed : qtDialogs;
}

DialogSeam* setDialogs(DialogSeam* seam) {
    return std::exchange(installed, seam);
}

} // namespace velmora
