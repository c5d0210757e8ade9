#include "upgrade/dialogs/vuMessageBox.h"

#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

namespace vu {

namespace {

struct ButtonRow {
    QMessageBox::StandardButton button;
    int answer;
};

QList<ButtonRow> ButtonsOf(unsigned flags) {
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_ABORTRETRYIGNORE:
        return {{QMessageBox::Abort, IDABORT},
                {QMessageBox::Retry, IDRETRY},
                {QMessageBox::Ignore, IDIGNORE}};
    case MB_YESNOCANCEL:
        return {
            {QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
    case MB_YESNO:
        return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
    case MB_RETRYCANCEL:
        return {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}};
    default:
        return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon IconOf(unsigned flags) {
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

QPointer<QWidget> gOwnerWindow;
QPointer<QWidget> gFrontWindow;

class TvuScreenPresenter final : public TvuUserPresenter {
public:
    int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
        QMessageBox box(IconOf(flags), caption, DisplayText(text));
        PlaceInFrontOf(box, DialogParent());
        box.setTextFormat(Qt::PlainText);
        const QList<ButtonRow> rows = ButtonsOf(flags);
        for (const ButtonRow& row : rows)
            box.addButton(row.button);
        const int defaultIndex = int((flags & MB_DEFMASK) >> 8);
        box.setDefaultButton(rows.value(defaultIndex, rows.first()).button);
        box.exec();
        const QAbstractButton* clicked = box.clickedButton();
        for (const ButtonRow& row : rows) {
            if (clicked == box.button(row.button))
                return row.answer;
        }
        // Closed without a button: the box's escape answer, or the only button.
        for (const ButtonRow& row : rows) {
            if (row.answer == IDCANCEL || row.answer == IDNO)
                return row.answer;
        }
        return rows.first().answer;
    }

    int ExecDialog(QDialog& dialog) override { return dialog.exec(); }
};

TvuScreenPresenter gScreenPresenter;
TvuUserPresenter* gPresenter = &gScreenPresenter;

} // namespace

TvuUserPresenter* SetUserPresenter(TvuUserPresenter* presenter) {
    TvuUserPresenter* previous = gPresenter;
    gPresenter = presenter != nullptr ? presenter : &gScreenPresenter;
    return previous == &gScreenPresenter ? nullptr : previous;
}

QWidget* DialogParent() {
    if (!gFrontWindow.isNull() && gFrontWindow->isVisible())
        return gFrontWindow.data();
    return gOwnerWindow.data();
}

void SetDialogOwnerWindow(QWidget* window) {
    gOwnerWindow = window;
}

void SetDialogFrontWindow(QWidget* window) {
    gFrontWindow = window;
}

void PlaceInFrontOf(QDialog& dialog, QWidget* parent) {
    if (dialog.parentWidget() != parent) {
        // setParent resets the window flags: keep those of the dialog.
        const Qt::WindowFlags flags = dialog.windowFlags();
        dialog.setParent(parent, flags);
    }
    const bool onTop =
        parent != nullptr && parent->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
    if (onTop)
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setWindowModality(Qt::ApplicationModal);
}

TvuUserPresenter& UserPresenter() {
    return *gPresenter;
}

int vuMessageBox(const QString& text, const QString& caption, unsigned flags) {
    return gPresenter->MessageBox(text, caption, flags);
}

QString DisplayText(const QString& text) {
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(u'\r', u'\n');
    return shown;
}

} // namespace vu
