#pragma once
// Message boxes and modal dialogs of the upgrade component, behind a replaceable presenter so
// that tests can answer them and record what they showed. Qt Core only: the presenter that
// shows real windows comes with the dialogs (vuScreenPresenter.h).

#include <QString>

class QDialog;

namespace vu {

// Button and icon flags, with the values of the classic message-box interface.
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_ABORTRETRYIGNORE = 0x02;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_RETRYCANCEL = 0x05;
inline constexpr unsigned MB_TYPEMASK = 0x0F;
inline constexpr unsigned MB_ICONERROR = 0x10; // also "stop" and "hand"
inline constexpr unsigned MB_ICONSTOP = MB_ICONERROR;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30; // also "warning"
inline constexpr unsigned MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr unsigned MB_ICONINFORMATION = 0x40; // also "asterisk"
inline constexpr unsigned MB_ICONMASK = 0xF0;
inline constexpr unsigned MB_DEFBUTTON1 = 0x000;
inline constexpr unsigned MB_DEFBUTTON2 = 0x100;
inline constexpr unsigned MB_DEFBUTTON3 = 0x200;
inline constexpr unsigned MB_DEFMASK = 0xF00;

// Answers.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Shows what the upgrade component asks of the user. The default presenter of a program with
// the dialogs shows real application-modal windows; without them, nothing is shown and every
// box gets the answer of its close box. A test installs its own to answer without an event loop.
class TvuUserPresenter {
public:
    virtual ~TvuUserPresenter() = default;
    // A modal message box: `text` as stored in the messages (with CR and LF), `caption`, and
    // the MB_ flags. Returns one of the ID answers.
    virtual int MessageBox(const QString& text, const QString& caption, unsigned flags) = 0;
    // Runs a prepared modal dialog of the component (texts, sizes and fields already set) and
    // returns its result (QDialog::Accepted or QDialog::Rejected, or a dialog's own code). A
    // test may press the dialog's buttons instead of running it.
    virtual int ExecDialog(QDialog& dialog) = 0;
};

// Installs `presenter` (not owned) for every later message box and dialog; nullptr restores
// the default one. Returns the presenter installed before (nullptr for the default one), so
// that a test can put it back.
TvuUserPresenter* SetUserPresenter(TvuUserPresenter* presenter);
TvuUserPresenter& UserPresenter();
// The presenter that stands in when none is installed (not owned); the dialogs name theirs at
// program start. nullptr: nothing is shown.
void SetDefaultUserPresenter(TvuUserPresenter* presenter);

// The answer of a box closed without a button: Cancel or No when it has one, else its first.
int CloseBoxAnswer(unsigned flags);

// A modal message box owned by the application, through the current presenter.
int vuMessageBox(const QString& text, const QString& caption, unsigned flags);

// A message text as it is shown on screen: CR LF and lone CR become line feeds.
QString DisplayText(const QString& text);

} // namespace vu
