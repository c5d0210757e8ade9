#pragma once

#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <optional>

class QWidget;

// The one place where the window opens modal boxes, the save dialog and other programs.
// The application uses the Qt implementation; tests install their own answers.
namespace velmora {

struct MessageBoxRequest {
    QString caption;
    QString text; // shown as given; a lone carriage return counts as a line break on screen
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons = QMessageBox::Ok;
};

// The settings and the remembered choice of the save dialog. After an accepted dialog the
// chosen name and file type are offered again the next time.
struct SaveDialogState {
    QString defaultSuffix;
    QStringList filters; // shown as written, e.g. "全部文本檔案(*.txt)"
    int filterIndex = 0;
    QString fileName; // empty before the first save
};

class DialogSeam {
public:
    virtual ~DialogSeam();
    // Shows a modal message box and returns the button chosen (a closed box counts as the
    // last button, Cancel or No).
    virtual QMessageBox::StandardButton showMessage(QWidget* parent,
                                                    const MessageBoxRequest& request) = 0;
    // Shows the save dialog; on acceptance updates state.fileName and state.filterIndex and
    // returns the chosen path, otherwise no value.
    virtual std::optional<QString> chooseSaveFile(QWidget* parent, SaveDialogState& state) = 0;
    // Starts a program directly (no shell) with the given arguments; failures are ignored.
    virtual void startProgram(const QString& program, const QStringList& arguments) = 0;
};

// The seam in use. Without an installed one, the Qt implementation.
DialogSeam& dialogs();
// Installs `seam` (not owned) or, with nullptr, returns to the Qt implementation. Returns the
// seam it replaces (nullptr for the Qt implementation), for the installer to put back.
DialogSeam* setDialogs(DialogSeam* seam);

// The Qt implementation's message box: `request` as a QMessageBox.
QMessageBox::StandardButton showQtMessageBox(QWidget* parent, const MessageBoxRequest& request);

} // namespace velmora
