#include "upgrade/dialogs/vuUpdaterWizard.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuWizardProgress.h"
#include "upgrade/utils/vuUtils.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>

#include <algorithm>

namespace vu {

namespace {

QPointer<TvuUpdaterWizardForm> gForm;

constexpr int kClientWidth = 463;
constexpr int kClientHeight = 281;

// Designed positions inside the current-file frame.
constexpr QRect kCurrentFileFrame(136, 34, 319, 125);
constexpr int kDownloadingFromTop = 14;
constexpr int kFileSizeTop = 44;
constexpr int kTransferRateTop = 60;
constexpr int kEstimatedTimeTop = 76;
constexpr int kProgressTop = 96;

void SetAutoSizedText(QLabel& label, const QString& text) {
    SetLabelText(label, text);
    label.adjustSize();
}

QProgressBar* NewProgressBar(QWidget* parent, const char* name, int left, int top) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(left, top, 307, 22);
    return bar;
}

} // namespace

TvuUpdaterWizardForm::TvuUpdaterWizardForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("vuUpdaterWizardForm"));
    ApplyDialogStyle(*this, true);
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(10, 238, 447, 2);

    WizardTitle = NewLabel(this, "WizardTitle", 136, 10, 5, 22);
    WizardTitle->setFont(TitleFont(19));
    WizardTitle->setForegroundRole(QPalette::WindowText);

    AboutShadow = NewLabel(this, "AboutShadow", 31, 234, 3, 13);
    AboutShadow->setFont(DialogFont(12));
    AboutShadow->setAutoFillBackground(true); // breaks the line behind the text
    AboutLabel = NewLabel(this, "AboutLabel", 30, 233, 3, 13);
    AboutLabel->setFont(DialogFont(12));
    AboutLabel->setAttribute(Qt::WA_TranslucentBackground);
    {
        // Light text under dark text, one pixel apart: an etched label.
        QPalette shadow = AboutShadow->palette();
        shadow.setColor(QPalette::WindowText, palette().color(QPalette::Light));
        AboutShadow->setPalette(shadow);
        QPalette label = AboutLabel->palette();
        label.setColor(QPalette::WindowText, palette().color(QPalette::Dark));
        AboutLabel->setPalette(label);
    }

    AfterNote = NewLabel(this, "AfterNote", 136, 44, 319, 13);
    AfterNote->setWordWrap(true);
    AfterNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(10, 10, 120, 220);
    Image1 = NewLabel(Panel1, "Image1", 1, 1, 118, 218);
    Image1->setScaledContents(true);
    Image1->setPixmap(WizardSidePicture());

    LCurrentFile = new QGroupBox(this);
    LCurrentFile->setObjectName(QStringLiteral("LCurrentFile"));
    LCurrentFile->setGeometry(kCurrentFileFrame);
    LDownloadingFileFrom =
        NewLabel(LCurrentFile, "LDownloadingFileFrom", 6, kDownloadingFromTop, 2, 10);
    FileURL = new QLineEdit(LCurrentFile);
    FileURL->setObjectName(QStringLiteral("FileURL"));
    FileURL->setFrame(false);
    FileURL->setReadOnly(true); // every typed character is discarded
    FileURL->setFocusPolicy(Qt::ClickFocus);
    FileURL->setFont(DialogFont(12));
    FileURL->setGeometry(10, 28, 301, 13);
    FileURL->setTextMargins(0, 0, 0, 0);
    {
        QPalette url = FileURL->palette();
        url.setColor(QPalette::Base, palette().color(QPalette::Button));
        url.setColor(QPalette::Text, palette().color(QPalette::Highlight));
        FileURL->setPalette(url);
    }
    LFileSize = NewLabel(LCurrentFile, "LFileSize", 6, kFileSizeTop, 2, 10);
    LTransferRate = NewLabel(LCurrentFile, "LTransferRate", 6, kTransferRateTop, 2, 11);
    LEstimatedTime = NewLabel(LCurrentFile, "LEstimatedTime", 6, kEstimatedTimeTop, 2, 11);
    ProgressCurrentFile = NewProgressBar(LCurrentFile, "ProgressCurrentFile", 6, kProgressTop);

    LAllFiles = new QGroupBox(this);
    LAllFiles->setObjectName(QStringLiteral("LAllFiles"));
    LAllFiles->setGeometry(136, 162, 319, 67);
    AllDownloading = NewLabel(LAllFiles, "AllDownloading", 6, 16, 2, 11);
    ProgressAllFiles = NewProgressBar(LAllFiles, "ProgressAllFiles", 6, 38);

    FinishBtn = NewButton(this, "FinishBtn", 296, 248, 75, 25);
    FinishBtn->setEnabled(false);
    CancelBtn = NewButton(this, "CancelBtn", 380, 248, 75, 25);
    CancelBtn->setDefault(true);
    setTabOrder(FinishBtn, CancelBtn);

    AboutShadow->stackUnder(AboutLabel);

    connect(FinishBtn, &QPushButton::clicked, this, &TvuUpdaterWizardForm::FinishBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TvuUpdaterWizardForm::CancelBtnClick);
}

TvuUpdaterWizardForm::~TvuUpdaterWizardForm() {
    if (gForm == this)
        gForm.clear();
}

void TvuUpdaterWizardForm::ApplyFileLocationLayout(bool hide) {
    FileURL->setVisible(!hide);
    LDownloadingFileFrom->setVisible(!hide);
    if (hide) {
        // The figures move up into the place of the address, and the frame closes up.
        const int fileSizeTop = kDownloadingFromTop;
        const int transferRateTop = fileSizeTop + 16;
        const int estimatedTimeTop = transferRateTop + 16;
        LFileSize->move(LFileSize->x(), fileSizeTop);
        LTransferRate->move(LTransferRate->x(), transferRateTop);
        LEstimatedTime->move(LEstimatedTime->x(), estimatedTimeTop);
        ProgressCurrentFile->move(ProgressCurrentFile->x(), estimatedTimeTop + 20);
        LCurrentFile->setGeometry(kCurrentFileFrame.x(), kCurrentFileFrame.y() + 10,
                                  kCurrentFileFrame.width(), kCurrentFileFrame.height() - 30);
    } else {
        LFileSize->move(LFileSize->x(), kFileSizeTop);
        LTransferRate->move(LTransferRate->x(), kTransferRateTop);
        LEstimatedTime->move(LEstimatedTime->x(), kEstimatedTimeTop);
        ProgressCurrentFile->move(ProgressCurrentFile->x(), kProgressTop);
        LCurrentFile->setGeometry(kCurrentFileFrame);
    }
}

void TvuUpdaterWizardForm::Prepare() {
    const QString about = u' ' + LoadMessageString(vuIdUpdaterLabel) + u' ';
    SetAutoSizedText(*AboutLabel, about);
    SetAutoSizedText(*AboutShadow, about);

    const bool stayOnTop = updater_ == nullptr || updater_->DialogStayOnTop();
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) != stayOnTop) {
        const bool visible = isVisible();
        ApplyDialogStyle(*this, stayOnTop);
        if (visible)
            show();
    }
    ApplyFileLocationLayout(updater_ != nullptr && updater_->DialogHideFileLocation());

    const QImage picture = updater_ != nullptr ? updater_->DialogSidePicture() : QImage();
    Image1->setPixmap(picture.isNull() ? WizardSidePicture() : QPixmap::fromImage(picture));

    // The downloading state (also when a wizard that is still open is used again).
    completed_ = false;
    LCurrentFile->setVisible(true);
    LAllFiles->setVisible(true);
    AfterNote->clear();
    AfterNote->resize(319, 13);
    FileURL->clear();
    LFileSize->clear();
    LTransferRate->clear();
    AllDownloading->clear();
    ProgressCurrentFile->setValue(0);
    ProgressAllFiles->setValue(0);
    FinishBtn->setEnabled(false);
    FinishBtn->setDefault(false);
    CancelBtn->setEnabled(true);
    CancelBtn->setDefault(true);

    SetAutoSizedText(*LEstimatedTime, LoadMessageText(vmPreparing));
    setWindowTitle(LoadMessageText(vmCaption));
    SetAutoSizedText(*WizardTitle, LoadMessageText(vmDownloadingFiles));
    LCurrentFile->setTitle(u' ' + LoadMessageText(vmCurrentFile) + u' ');
    LAllFiles->setTitle(u' ' + LoadMessageText(vmAllFiles) + u' ');
    SetAutoSizedText(*LDownloadingFileFrom, LoadMessageText(vmDownloadingFileFrom));
    FinishBtn->setText(LoadMessageText(vmNext));
    CancelBtn->setText(LoadMessageText(vmCancel));
}

void TvuUpdaterWizardForm::ShowFileStart(const QString& url, int position, int count) {
    FileURL->setText(url);
    FileURL->setCursorPosition(0);
    SetAutoSizedText(*AllDownloading, WizardPositionText(position, count));
}

void TvuUpdaterWizardForm::ShowFileSize(qint64 bytes) {
    SetAutoSizedText(*LFileSize, WizardFileSizeText(bytes));
}

void TvuUpdaterWizardForm::ShowProgress(int filePercent, int index, int count, double rate,
                                        qint64 secondsLeft) {
    ProgressCurrentFile->setValue(std::clamp(filePercent, 0, 100));
    ProgressAllFiles->setValue(std::min<int>(WizardTotalPercent(filePercent, index, count), 100));
    SetAutoSizedText(*LTransferRate, WizardTransferRateText(rate));
    SetAutoSizedText(*LEstimatedTime, WizardTimeLeftText(secondsLeft));
}

void TvuUpdaterWizardForm::ShowWizardCompleted() {
    SetAutoSizedText(*WizardTitle, LoadMessageText(vmUpgradeCompleted));
    SetLabelText(*AfterNote, FormatMessageText(vmUpdateCompletedNote, {ApplicationTitle()}));
    AfterNote->resize(319, WrappedHeight(*AfterNote));
    LCurrentFile->setVisible(false);
    LAllFiles->setVisible(false);
    CancelBtn->setEnabled(false);
    CancelBtn->setDefault(false);
    FinishBtn->setText(LoadMessageText(vmOK));
    FinishBtn->setEnabled(true);
    FinishBtn->setDefault(true);
    FinishBtn->setFocus();
    completed_ = true;
}

void TvuUpdaterWizardForm::FinishBtnClick() {
    closePermitted_ = true;
    close();
}

void TvuUpdaterWizardForm::CancelBtnClick() {
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TvuUpdaterWizardForm::reject() {
    if (CancelBtn->isEnabled() && CancelBtn->isVisible())
        CancelBtn->click();
}

bool TvuUpdaterWizardForm::AskAbort() {
    return vuMessageBox(LoadMessageText(vmAbortQuestion), ApplicationTitle(),
                        MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void TvuUpdaterWizardForm::closeEvent(QCloseEvent* event) {
    if (closed_) {
        event->accept();
        return;
    }
    bool abort = false;
    if (!closePermitted_) {
        // The close box, the window menu, Alt+F4, Cancel, Enter and Esc.
        QPointer<TvuUpdaterWizardForm> self(this);
        const bool yes = AskAbort();
        if (self.isNull())
            return;
        if (!yes || closed_) {
            // No: the wizard and the download go on. Or the upgrader ended the wizard while
            // the question was open.
            if (closed_)
                event->accept();
            else
                event->ignore();
            return;
        }
        abort = true;
    }
    closePermitted_ = false;
    event->accept();
    TvuUpdaterDialogHost* updater = updater_;
    FormClose();
    if (abort && updater != nullptr)
        updater->DialogAbortUpgrade();
}

void TvuUpdaterWizardForm::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    if (gForm == this)
        gForm.clear();
    if (updater_ != nullptr)
        SignalEvent(updater_->DialogWaitEvent());
    deleteLater();
}

TvuUpdaterWizardForm* vuUpdaterWizardForm() {
    return gForm.data();
}

void ShowUpgradeWizard(TvuUpdaterDialogHost* updater) {
    const bool created = gForm.isNull();
    if (created)
        gForm = new TvuUpdaterWizardForm();
    TvuUpdaterWizardForm* form = gForm.data();
    form->SetUpdater(updater);
    form->Prepare();
    if (created)
        CenterOnScreen(*form);
    form->show();
}

void DestroyUpgradeWizard() {
    TvuUpdaterWizardForm* form = gForm.data();
    if (form == nullptr)
        return;
    gForm.clear();
    form->closed_ = true;
    form->updater_ = nullptr;
    form->hide();
    form->deleteLater();
}

void DetachWizardHost(TvuUpdaterDialogHost* updater) {
    if (TvuUpdaterWizardForm* form = gForm.data(); form != nullptr && form->updater_ == updater)
        DestroyUpgradeWizard();
}

} // namespace vu
