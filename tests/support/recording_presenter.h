// A stand-in for the upgrade component's message boxes and dialogs: it records what was shown and
// answers from the test, so that nothing waits for a user. It is installed for its lifetime.
#pragma once

#include "tests/support/seam_install.h"
#include "upgrade/dialogs/vuScreenPresenter.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace vutest {

struct ShownBox {
    QString Text;
    QString Caption;
    unsigned Flags = 0;
};

class RecordingPresenter : public vu::TvuUserPresenter {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        Boxes.push_back({text, caption, flags});
        return OnBox ? OnBox(Boxes.back()) : BoxAnswer;
    }
    int ExecDialog(QDialog& dialog) override {
        Dialogs.push_back(dialog.metaObject()->className());
        return OnDialog ? OnDialog(dialog) : DialogResult;
    }

    // Every box shown, in order, and the class name of every dialog run.
    std::vector<ShownBox> Boxes;
    std::vector<std::string> Dialogs;

    // The answer to every box, unless OnBox is set and answers it.
    int BoxAnswer = vu::IDOK;
    std::function<int(const ShownBox&)> OnBox;
    // The result of every dialog, unless OnDialog is set: it gets the dialog (to fill in or to
    // look at) instead of an event loop, and returns the result.
    int DialogResult = QDialog::Rejected;
    std::function<int(QDialog&)> OnDialog;

private:
    SeamInstall<vu::TvuUserPresenter, &vu::SetUserPresenter> install_{this};
};

// Puts the real presenter (windows on the screen) in place for its lifetime, also over a
// RecordingPresenter installed before it, and puts back what it found.
class ScreenPresenter {
    SeamInstall<vu::TvuUserPresenter, &vu::SetUserPresenter> install_{&vu::ScreenPresenter()};
};

} // namespace vutest
