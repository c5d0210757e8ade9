#pragma once
// What the three upgrade dialogs share: their window style, fonts, placement and pictures.

#include <QFont>
#include <QPixmap>
#include <QString>

class QDialog;
class QLabel;
class QPushButton;
class QWidget;

namespace vu {

// Dialog border: fixed client size, no minimise or maximise, a close box.
void ApplyDialogStyle(QDialog& dialog, bool topmost);
// Moves the window to the middle of the screen it is on (the primary screen at first).
void CenterOnScreen(QWidget& window);

// "MS Sans Serif" with a character height of `pixels`, or the desktop's sans-serif face.
QFont DialogFont(int pixels = 11);
// "Times New Roman" bold italic with a character height of `pixels`, or a serif face.
QFont TitleFont(int pixels);

// A label showing plain text (never rich text: parts of it come from the network), with its
// line breaks.
void SetLabelText(QLabel& label, const QString& text);
// A label named `name` at the given place in `parent`, showing plain text only.
QLabel* NewLabel(QWidget* parent, const char* name, int left, int top, int width, int height);
// A push button named `name` at the given place in `parent`.
QPushButton* NewButton(QWidget* parent, const char* name, int left, int top, int width, int height);
// The height a word-wrapped label needs for its text at its current width.
int WrappedHeight(const QLabel& label);

// Width of the window frame on each side of a dialog border, as the windows were designed.
inline constexpr int vuDialogFrame = 3;

// The built-in pictures.
QPixmap WizardSidePicture();   // 118 x 218
QPixmap UpgradeQuestionIcon(); // 32 x 32
QPixmap PasswordIcon();        // 32 x 32

} // namespace vu
