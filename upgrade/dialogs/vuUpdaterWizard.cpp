#include "upgrade/dialogs/vuUpdaterWizard.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuScreenPresenter.h"
#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuWizardProgress.h"
#include "upgrade/utils/vuUtils.h"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vu {

namespace {

QPointer<TvuUpdaterWizardForm> gForm;

// The client area as designed; the window grows beyond it when its texts need more room.
constexpr int kClientWidth = 463;
constexpr int kClientHeight = 281;
// The right column: title, note and the two frames.
constexpr int kColumnWidth = 319;

QProgressBar* NewProgressBar(QWidget* parent, const char* name) {
    auto* bar = new QProgressBar(parent);
    bar->setObjectName(QLatin1String(name));
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setFixedHeight(22);
    return bar;
}

// A vertical layout for the lines of a frame, which begin below the frame's title.
QVBoxLayout* NewFrameLayout(QGroupBox* frame) {
    auto* lines = new QVBoxLayout(frame);
    lines->setContentsMargins(6, frame->fontMetrics().height() + 2, 6, 5);
    lines->setSpacing(1);
    return lines;
}

} // namespace

TvuUpdaterWizardForm::TvuUpdaterWizardForm(QWidget* parent) : QDialog(parent) {
    PrepareDialogWindow(*this, "vuUpdaterWizardForm", true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setFixedSize(120, 220);
    Image1 = NewLabel(Panel1, "Image1", 1, 1, 118, 218);
    Image1->setScaledContents(true);
    Image1->setPixmap(WizardSidePicture());

    WizardTitle = NewLabel(this, "WizardTitle", 0, 0, 0, 0);
    WizardTitle->setFont(TitleFont(19));
    WizardTitle->setForegroundRole(QPalette::WindowText);

    AfterNote = NewWrappedLabel(this, "AfterNote", 0, 0, 0, 0);
    AfterNote->setMinimumWidth(kColumnWidth);

    LCurrentFile = new QGroupBox(this);
    LCurrentFile->setObjectName(QStringLiteral("LCurrentFile"));
    LDownloadingFileFrom = NewLabel(LCurrentFile, "LDownloadingFileFrom", 0, 0, 0, 0);
    FileURL = new QLineEdit(LCurrentFile);
    FileURL->setObjectName(QStringLiteral("FileURL"));
    FileURL->setFrame(false);
    FileURL->setReadOnly(true); // every typed character is discarded
    FileURL->setFocusPolicy(Qt::ClickFocus);
    FileURL->setFont(DialogFont(12));
    FileURL->setTextMargins(0, 0, 0, 0);
    // A long address scrolls inside the line instead of widening the window.
    FileURL->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    FileURL->setFixedHeight(QFontMetrics(FileURL->font()).height() + 1);
    {
        QPalette url = FileURL->palette();
        url.setColor(QPalette::Base, palette().color(QPalette::Button));
        url.setColor(QPalette::Text, palette().color(QPalette::Highlight));
        FileURL->setPalette(url);
    }
    LFileSize = NewLabel(LCurrentFile, "LFileSize", 0, 0, 0, 0);
    LTransferRate = NewLabel(LCurrentFile, "LTransferRate", 0, 0, 0, 0);
    LEstimatedTime = NewLabel(LCurrentFile, "LEstimatedTime", 0, 0, 0, 0);
    ProgressCurrentFile = NewProgressBar(LCurrentFile, "ProgressCurrentFile");
    QVBoxLayout* current = NewFrameLayout(LCurrentFile);
    current->addWidget(LDownloadingFileFrom);
    current->addWidget(FileURL);
    current->addWidget(LFileSize);
    current->addWidget(LTransferRate);
    current->addWidget(LEstimatedTime);
    current->addSpacing(3);
    current->addWidget(ProgressCurrentFile);

    LAllFiles = new QGroupBox(this);
    LAllFiles->setObjectName(QStringLiteral("LAllFiles"));
    AllDownloading = NewLabel(LAllFiles, "AllDownloading", 0, 0, 0, 0);
    ProgressAllFiles = NewProgressBar(LAllFiles, "ProgressAllFiles");
    QVBoxLayout* all = NewFrameLayout(LAllFiles);
    all->addWidget(AllDownloading);
    all->addSpacing(3);
    all->addWidget(ProgressAllFiles);

    Bevel1 = new QFrame(this);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setFixedHeight(2);

    FinishBtn = NewButton(this, "FinishBtn", 0, 0, 0, 0);
    FinishBtn->setEnabled(false);
    CancelBtn = NewButton(this, "CancelBtn", 0, 0, 0, 0);
    CancelBtn->setDefault(true);
    for (QPushButton* button : {FinishBtn, CancelBtn}) {
        button->setMinimumWidth(75);
        button->setFixedHeight(25);
    }
    setTabOrder(FinishBtn, CancelBtn);

    // The etched label lies on the line, outside the layout (see resizeEvent).
    AboutShadow = NewLabel(this, "AboutShadow", 0, 0, 0, 0);
    AboutShadow->setFont(DialogFont(12));
    AboutShadow->setAutoFillBackground(true); // breaks the line behind the text
    AboutLabel = NewLabel(this, "AboutLabel", 0, 0, 0, 0);
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
    AboutShadow->stackUnder(AboutLabel);

    auto* column = new QVBoxLayout;
    column->setSpacing(1);
    column->addStrut(kColumnWidth); // as designed, wider when a text needs it
    column->addWidget(WizardTitle);
    column->addWidget(AfterNote);
    column->addWidget(LCurrentFile);
    column->addWidget(LAllFiles);
    column->addStretch(1);
    auto* body = new QHBoxLayout;
    body->setSpacing(6);
    body->addWidget(Panel1, 0, Qt::AlignTop);
    body->addLayout(column, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(9);
    buttons->addStretch(1);
    buttons->addWidget(FinishBtn);
    buttons->addWidget(CancelBtn);
    auto* root = new QVBoxLayout(this);
    root->setSizeConstraint(QLayout::SetNoConstraint); // FitToTexts sizes the window
    root->setContentsMargins(10, 10, 8, 8);
    root->setSpacing(8);
    root->addLayout(body, 1);
    root->addWidget(Bevel1);
    root->addLayout(buttons);
    setFixedSize(kClientWidth, kClientHeight);

    connect(FinishBtn, &QPushButton::clicked, this, &TvuUpdaterWizardForm::FinishBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TvuUpdaterWizardForm::CancelBtnClick);
}

TvuUpdaterWizardForm::~TvuUpdaterWizardForm() {
    if (gForm == this)
        gForm.clear();
}

void TvuUpdaterWizardForm::SetAutoSizedText(QLabel& label, const QString& text) {
    SetLabelText(label, text);
    FitToTexts();
}

void TvuUpdaterWizardForm::FitToTexts() {
    // Never narrower or lower than designed, and never shrinking while it is open, so that the
    // window does not jump with every figure.
    QLayout* root = layout();
    InvalidateLayouts(*this);
    const int width = std::max(
        {kClientWidth, this->width(), root->totalMinimumSize().width(), CaptionWidth(*this)});
    const int height = std::max({kClientHeight, this->height(),
                                 root->hasHeightForWidth() ? root->totalHeightForWidth(width)
                                                           : root->totalMinimumSize().height()});
    if (size() != QSize(width, height))
        setFixedSize(width, height);
    LayOutNow(*this);
    PlaceAboutLabel();
}

void TvuUpdaterWizardForm::PlaceAboutLabel() {
    for (QLabel* label : {AboutLabel, AboutShadow})
        label->adjustSize();
    const QPoint at(Bevel1->x() + 20, Bevel1->y() - AboutLabel->height() / 2);
    AboutLabel->move(at);
    AboutShadow->move(at + QPoint(1, 1));
}

void TvuUpdaterWizardForm::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    PlaceAboutLabel();
}

void TvuUpdaterWizardForm::ApplyFileLocationLayout(bool hide) {
    // The figures move up into the place of the address, and the frame closes up.
    FileURL->setVisible(!hide);
    LDownloadingFileFrom->setVisible(!hide);
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
    AfterNote->setVisible(false);
    setFixedSize(kClientWidth, kClientHeight);
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
    SetButtonText(*FinishBtn, LoadMessageText(vmNext));
    SetButtonText(*CancelBtn, LoadMessageText(vmCancel));
    FitToTexts();
}

void TvuUpdaterWizardForm::ShowFileStart(const QString& url, int position, int count) {
    FileURL->setText(url);
    FileURL->setCursorPosition(0);
    SetAutoSizedText(*AllDownloading, WizardPositionText(position, count));
    // Nothing of the previous file stays: its size and speed are not this file's.
    LFileSize->clear();
    LTransferRate->clear();
    SetAutoSizedText(*LEstimatedTime, LoadMessageText(vmPreparing));
    ProgressCurrentFile->setValue(0);
}

void TvuUpdaterWizardForm::ShowFileMissing(const QString& name) {
    SetAutoSizedText(*LFileSize, FormatMessageText(vmFileMissingLine, {name}));
    LTransferRate->clear();
    LEstimatedTime->clear();
    ProgressCurrentFile->setValue(0);
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

void TvuUpdaterWizardForm::ShowRetry(const QString& text) {
    LTransferRate->clear();
    SetAutoSizedText(*LEstimatedTime, text);
}

void TvuUpdaterWizardForm::ShowWizardCompleted(const QStringList& installed) {
    // The abort question is open: it is answered first. No shows this page then; Yes ends the
    // upgrade without it.
    if (asking_) {
        completionPending_ = true;
        pendingInstalled_ = installed;
        return;
    }
    completionPending_ = false;
    SetAutoSizedText(*WizardTitle, LoadMessageText(vmUpgradeCompleted));
    QString note = FormatMessageText(vmUpdateCompletedNote, {ApplicationTitle()});
    if (!installed.isEmpty())
        note += QStringLiteral("\n\n") +
                FormatMessageText(vmInstalledFiles, {installed.join(QStringLiteral(", "))});
    SetLabelText(*AfterNote, note);
    AfterNote->setVisible(true);
    LCurrentFile->setVisible(false);
    LAllFiles->setVisible(false);
    CancelBtn->setEnabled(false);
    CancelBtn->setDefault(false);
    SetButtonText(*FinishBtn, LoadMessageText(vmOK));
    FinishBtn->setEnabled(true);
    FinishBtn->setDefault(true);
    FinishBtn->setFocus();
    completed_ = true;
    FitToTexts();
}

void TvuUpdaterWizardForm::BringToFront() {
    raise();
    activateWindow();
    for (QDialog* question : findChildren<QDialog*>(Qt::FindDirectChildrenOnly)) {
        if (question->isVisible())
            question->raise();
    }
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
        // The close box, the window menu, Alt+F4, Cancel, Enter and Esc. While the question is
        // open, another way of closing waits for its answer.
        if (asking_) {
            event->ignore();
            return;
        }
        QPointer<TvuUpdaterWizardForm> self(this);
        asking_ = true;
        const bool yes = AskAbort();
        if (self.isNull())
            return;
        asking_ = false;
        if (closed_) {
            // The upgrader ended the wizard while the question was open (its download failed).
            event->accept();
            return;
        }
        if (!yes) {
            // The wizard and the download go on; a download that ended meanwhile shows its
            // completion now.
            event->ignore();
            if (completionPending_)
                ShowWizardCompleted(pendingInstalled_);
            return;
        }
        abort = true;
    }
    closePermitted_ = false;
    event->accept();
    TvuUpdaterDialogHost* updater = updater_;
    FormClose();
    if (updater != nullptr) {
        updater->DialogWizardClosed();
        if (abort)
            updater->DialogAbortUpgrade();
    }
}

void TvuUpdaterWizardForm::FormClose() {
    if (closed_)
        return;
    closed_ = true;
    if (gForm == this)
        gForm.clear();
    SetDialogFrontWindow(nullptr);
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
    SetDialogFrontWindow(form);
}

void DestroyUpgradeWizard() {
    TvuUpdaterWizardForm* form = gForm.data();
    if (form == nullptr)
        return;
    gForm.clear();
    SetDialogFrontWindow(nullptr);
    form->closed_ = true;
    form->updater_ = nullptr;
    // A question of the wizard that is still open goes with it, answered No.
    for (QDialog* question : form->findChildren<QDialog*>(Qt::FindDirectChildrenOnly))
        question->reject();
    form->hide();
    form->deleteLater();
}

void DetachWizardHost(TvuUpdaterDialogHost* updater) {
    if (TvuUpdaterWizardForm* form = gForm.data(); form != nullptr && form->updater_ == updater)
        DestroyUpgradeWizard();
}

} // namespace vu
