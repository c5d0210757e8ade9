#pragma once
// The password prompt: the remote file is protected; user name and password, OK and Cancel.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vu {

class TvuUpdaterDialogHost;

class TvuUpdaterPasswordForm : public QDialog {
    Q_OBJECT
public:
    explicit TvuUpdaterPasswordForm(QWidget* parent = nullptr);
    ~TvuUpdaterPasswordForm() override;

    QLabel* Label1;
    QLabel* Image1;
    QWidget* BottomPanel;
    QLabel* UsernameLab;
    QLabel* PasswordLab;
    QLineEdit* UsernameEdit;
    QLineEdit* PasswordEdit;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    TvuUpdaterDialogHost* Updater() const { return updater_; }
    void SetUpdater(TvuUpdaterDialogHost* updater) { updater_ = updater; }

    // Fills the texts from the upgrader and sizes the window to the wrapped request.
    void Prepare();

public slots:
    // Hands the entered credentials to the upgrader, then closes with OK.
    void OKBtnClick();

private:
    friend void DetachPasswordHost(TvuUpdaterDialogHost* updater);
    TvuUpdaterDialogHost* updater_ = nullptr;
};

// The live password window, or nullptr.
TvuUpdaterPasswordForm* vuUpdaterPasswordForm();

// Asks for the credentials of the upgrader's current address. True exactly when the user pressed
// OK (the upgrader's user name and password then hold what was entered); Cancel, Esc and the
// close box answer false and change nothing. While a prompt is open, a second one is answered
// false at once.
bool AskPassword(TvuUpdaterDialogHost* updater);

// Forgets `updater` in an open prompt; called when the upgrader goes away.
void DetachPasswordHost(TvuUpdaterDialogHost* updater);

} // namespace vu
