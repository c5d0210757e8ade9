#pragma once
// The upgrade question: "A newer version of <program> was released ... Do you want to update?"
// with the buttons Yes and Later (and, when offered, Skip this version), above all other windows.
// A critical release is announced as one and offers Yes only.

#include "upgrade/updater/vuUpgradePresenter.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QWidget;

namespace vu {

class TvuUpdaterUpgradeMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TvuUpdaterUpgradeMessageForm(QWidget* parent = nullptr);
    ~TvuUpdaterUpgradeMessageForm() override;

    QWidget* BottomPanel;
    QPushButton* YesBtn;
    QPushButton* LaterBtn;
    QPushButton* SkipBtn;
    QLabel* Label1;
    QLabel* Icon;

    // Fills the texts for `message` (the information file's message, may be empty) and sizes
    // the window to the wrapped question.
    void Prepare(const QString& message, TvuUpgradeQuestion question = {});

    // The dialog result of SkipBtn (Yes accepts, Later rejects).
    static constexpr int kSkipResult = 2;

protected:
    // FormShow: brought to the top of the topmost windows without being moved or activated.
    void showEvent(QShowEvent* event) override;
};

// The live question window, or nullptr.
TvuUpdaterUpgradeMessageForm* vuUpdaterUpgradeMessageForm();

// The program's name in the question: the application title, or "<AppTitle>" when the title
// contains the name of the design environment.
QString UpgradeProgramName();

// Asks whether to upgrade now; true exactly when the user pressed Yes (Later, Esc and the close
// box answer false). The window is created for the question and freed afterwards; while it is
// open, a second question is answered false at once.
bool AskUpgrade(const QString& message);
// The same question with the choices of `question`.
TvuUpgradeAnswer AskUpgradeChoice(const QString& message, TvuUpgradeQuestion question);

} // namespace vu
