#pragma once

#include "tests/support/seam_install.h"
#include "ui/dialog_seam.h"

#include <QList>
#include <QPair>

// Answers the window's boxes and dialogs from a script and records what was asked.
class ScriptedDialogs : public velmora::DialogSeam {
public:
    QList<velmora::MessageBoxRequest> messages;
    QList<QMessageBox::StandardButton> answers;
    // A box asked without a scripted answer counts as closed with no button.
    int unansweredMessages = 0;

    QList<velmora::SaveDialogState> saveRequests;
    QList<std::optional<QString>> saveAnswers;
    int filterAnswer = 0;

    QList<QPair<QString, QStringList>> started;

    QMessageBox::StandardButton showMessage(QWidget*,
                                            const velmora::MessageBoxRequest& request) override {
        messages << request;
        if (answers.isEmpty()) {
            ++unansweredMessages;
            return QMessageBox::NoButton;
        }
        return answers.takeFirst();
    }

    std::optional<QString> chooseSaveFile(QWidget*, velmora::SaveDialogState& state) override {
        saveRequests << state;
        if (saveAnswers.isEmpty())
            return std::nullopt;
        std::optional<QString> answer = saveAnswers.takeFirst();
        if (answer)
            state.filterIndex = filterAnswer;
        return answer;
    }

    void startProgram(const QString& program, const QStringList& arguments) override {
        started << qMakePair(program, arguments);
    }

private:
    vutest::SeamInstall<velmora::DialogSeam, &velmora::setDialogs> install_{this};
};
