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
// A new dialog's start: its object name, the dialog border and the dialog font.
void PrepareDialogWindow(QDialog& dialog, const char* name, bool topmost);
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
// The same, its text word-wrapped from the top left (a request, a question, a note).
QLabel* NewWrappedLabel(QWidget* parent, const char* name, int left, int top, int width,
                        int height);
// The 32 x 32 icon at the top left of a dialog (7, 5), showing `picture`.
QLabel* NewIcon(QWidget* parent, const char* name, const QPixmap& picture);
// A push button named `name` at the given place in `parent`.
QPushButton* NewButton(QWidget* parent, const char* name, int left, int top, int width, int height);
// A button's text; the button keeps its designed width of 75 or grows to show the text whole.
void SetButtonText(QPushButton& button, const QString& text);
// The height a word-wrapped label needs for its text at its current width.
int WrappedHeight(const QLabel& label);
// The designed geometry of a dialog laid out by LayOutIconTextAndPanel: its client size, the
// height of its panel and the margin right of its text.
struct TvuIconDialogDesign {
    int ClientWidth;
    int ClientHeight;
    int PanelHeight;
    int RightMargin;
};
// The layout of a dialog with an icon at the top left, a word-wrapped text beside it and a panel
// (fields, buttons) below: the icon's left edge at 7, the text's at 45, both 5 from the top, the
// text `design.RightMargin` from the right; the dialog at its designed client size.
void LayOutIconTextAndPanel(QDialog& dialog, QLabel& icon, QLabel& text, QWidget& panel,
                            const TvuIconDialogDesign& design);
// Makes every layout of `window` measure its contents anew (texts have changed).
void InvalidateLayouts(QWidget& window);
// Lays out `window` and every widget in it that has a layout at once, also before the window is
// shown (a hidden window gets no resize events that would do it).
void LayOutNow(QWidget& window);
// The client width a window needs for its caption to stand in the title bar uncut: the text in
// the title bar's (bold) face, with room for the window's icon and buttons.
int CaptionWidth(const QWidget& window);

// Width of the window frame on each side of a dialog border, as the windows were designed.
inline constexpr int vuDialogFrame = 3;

// The built-in pictures.
QPixmap WizardSidePicture();   // 118 x 218
QPixmap UpgradeQuestionIcon(); // 32 x 32
QPixmap PasswordIcon();        // 32 x 32

} // namespace vu
