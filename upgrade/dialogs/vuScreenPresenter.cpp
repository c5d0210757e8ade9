#include "upgrade/dialogs/vuScreenPresenter.h"

#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/dialogs/vuUpdaterPassword.h"
#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/updater/vuUpdater.h"
#include "upgrade/utils/vuApplicationClose.h"

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

// The window of the first widget among the component's owners, or nullptr.
QWidget* OwnerWindowOf(const QObject& component) {
    for (QObject* owner = component.parent(); owner != nullptr; owner = owner->parent()) {
        if (owner->isWidgetType())
            return static_cast<QWidget*>(owner)->window();
    }
    return nullptr;
}

// What the wizard and the password prompt ask of an upgrader.
class TvuUpdaterHost final : public TvuUpdaterDialogHost {
public:
    explicit TvuUpdaterHost(TvuUpdater& updater) : updater_(updater) {}

    bool DialogStayOnTop() const override { return updater_.Wizard()->StayOnTop(); }
    bool DialogHideFileLocation() const override { return updater_.Wizard()->HideFileLocation(); }
    QImage DialogSidePicture() const override { return updater_.Wizard()->Pic118x218(); }
    void DialogWizardClosed() override { updater_.DialogWizardClosed(); }
    void DialogAbortUpgrade() override { updater_.DialogAbortUpgrade(); }
    QString DialogRemoteFileName() const override { return updater_.DialogRemoteFileName(); }
    QString DialogUsername() const override { return updater_.DialogUsername(); }
    void DialogSetCredentials(const QString& username, const QString& password) override {
        updater_.DialogSetCredentials(username, password);
    }

private:
    TvuUpdater& updater_;
};

} // namespace

int TvuScreenPresenter::MessageBox(const QString& text, const QString& caption, unsigned flags) {
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
    return CloseBoxAnswer(flags);
}

int TvuScreenPresenter::ExecDialog(QDialog& dialog) {
    return dialog.exec();
}

TvuDialogPresenter::TvuDialogPresenter() = default;
TvuDialogPresenter::~TvuDialogPresenter() = default;

TvuUpdaterDialogHost& TvuDialogPresenter::HostOf(TvuUpdater& updater) {
    std::unique_ptr<TvuUpdaterDialogHost>& host = hosts_[&updater];
    if (!host)
        host = std::make_unique<TvuUpdaterHost>(updater);
    return *host;
}

void TvuDialogPresenter::CheckStarted(TvuUpdater& updater) {
    SetDialogOwnerWindow(OwnerWindowOf(updater));
}

TvuUpgradeAnswer TvuDialogPresenter::AskUpgrade(TvuUpdater&, const QString& message,
                                                TvuUpgradeQuestion question) {
    return AskUpgradeChoice(message, question);
}

bool TvuDialogPresenter::AskPassword(TvuUpdater& updater) {
    return vu::AskPassword(&HostOf(updater));
}

void TvuDialogPresenter::ShowProgress(TvuUpdater& updater) {
    ShowUpgradeWizard(&HostOf(updater));
}

void TvuDialogPresenter::CloseProgress() {
    DestroyUpgradeWizard();
}

void TvuDialogPresenter::BringProgressToFront() {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->BringToFront();
}

void TvuDialogPresenter::FileStarted(const QString& url, int position, int count) {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowFileStart(url, position, count);
}

void TvuDialogPresenter::FileSizeKnown(qint64 bytes) {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowFileSize(bytes);
}

void TvuDialogPresenter::FileProgress(int filePercent, int index, int count, double rate,
                                      qint64 secondsLeft) {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowProgress(filePercent, index, count, rate, secondsLeft);
}

void TvuDialogPresenter::FileMissing(const QString& name) {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowFileMissing(name);
}

void TvuDialogPresenter::FileRetry(const QString& text) {
    if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
        form->ShowRetry(text);
}

bool TvuDialogPresenter::ShowCompleted(const QStringList& installed) {
    TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
    if (form == nullptr)
        return false;
    form->ShowWizardCompleted(installed);
    return true;
}

void TvuDialogPresenter::CloseProgram() {
    CloseApplication();
}

void TvuDialogPresenter::UpdaterDestroyed(TvuUpdater& updater) {
    // The host's end takes the wizard and an open password prompt of the upgrader with it.
    hosts_.erase(&updater);
}

TvuScreenPresenter& ScreenPresenter() {
    static TvuScreenPresenter presenter;
    return presenter;
}

TvuDialogPresenter& DialogPresenter() {
    static TvuDialogPresenter presenter;
    return presenter;
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

} // namespace vu
