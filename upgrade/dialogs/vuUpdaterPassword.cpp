#include "upgrade/dialogs/vuUpdaterPassword.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace vu {

namespace {

QPointer<TvuUpdaterPasswordForm> gForm;

constexpr int kClientWidth = 297;
constexpr int kClientHeight = 141;
constexpr int kPanelHeight = 98;

QLineEdit* NewEdit(QWidget* parent, const char* name, int top) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(122, top, 157, 21);
    return edit;
}

} // namespace

TvuUpdaterPasswordForm::TvuUpdaterPasswordForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("vuUpdaterPasswordForm"));
    ApplyDialogStyle(*this, false);
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = NewLabel(this, "Label1", 45, 5, 246, 13);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1 = NewLabel(this, "Image1", 7, 5, 32, 32);
    Image1->setPixmap(PasswordIcon());
    Image1->resize(Image1->pixmap().size());

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);
    UsernameLab = NewLabel(BottomPanel, "UsernameLab", 45, 14, 22, 13);
    PasswordLab = NewLabel(BottomPanel, "PasswordLab", 45, 38, 23, 13);
    UsernameEdit = NewEdit(BottomPanel, "UsernameEdit", 10);
    PasswordEdit = NewEdit(BottomPanel, "PasswordEdit", 34);
    PasswordEdit->setEchoMode(QLineEdit::Password);
    OKBtn = NewButton(BottomPanel, "OKBtn", 114, 68, 75, 23);
    OKBtn->setDefault(true);
    CancelBtn = NewButton(BottomPanel, "CancelBtn", 204, 68, 75, 23);
    setTabOrder(UsernameEdit, PasswordEdit);
    setTabOrder(PasswordEdit, OKBtn);
    setTabOrder(OKBtn, CancelBtn);

    connect(OKBtn, &QPushButton::clicked, this, &TvuUpdaterPasswordForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TvuUpdaterPasswordForm::~TvuUpdaterPasswordForm() = default;

void TvuUpdaterPasswordForm::Prepare() {
    const QString fileName = updater_ != nullptr ? updater_->DialogRemoteFileName() : QString();
    SetLabelText(*Label1, FormatMessageText(vmPasswordProtected, {fileName}));
    Label1->resize(Label1->width(), WrappedHeight(*Label1));
    setWindowTitle(LoadMessageText(vmEnterPassword));
    SetLabelText(*UsernameLab, LoadMessageText(vmUserName));
    UsernameLab->adjustSize();
    UsernameEdit->setText(updater_ != nullptr ? updater_->DialogUsername() : QString());
    SetLabelText(*PasswordLab, LoadMessageText(vmPassword));
    PasswordLab->adjustSize();
    OKBtn->setText(LoadMessageText(vmOK));
    CancelBtn->setText(LoadMessageText(vmCancel));

    const int clientHeight = Label1->y() + Label1->height() + kPanelHeight;
    setFixedSize(kClientWidth, clientHeight);
    BottomPanel->move(0, clientHeight - kPanelHeight);
    CenterOnScreen(*this);
    UsernameEdit->setFocus();
}

void TvuUpdaterPasswordForm::OKBtnClick() {
    if (updater_ != nullptr)
        updater_->DialogSetCredentials(UsernameEdit->text(), PasswordEdit->text());
    accept();
}

TvuUpdaterPasswordForm* vuUpdaterPasswordForm() {
    return gForm.data();
}

bool AskPassword(TvuUpdaterDialogHost* updater) {
    if (!gForm.isNull())
        return false;
    auto* form = new TvuUpdaterPasswordForm();
    gForm = form;
    form->SetUpdater(updater);
    form->Prepare();
    const int result = UserPresenter().ExecDialog(*form);
    // FormClose: the window is freed and the reference cleared.
    gForm.clear();
    delete form;
    return result == QDialog::Accepted;
}

void DetachPasswordHost(TvuUpdaterDialogHost* updater) {
    if (TvuUpdaterPasswordForm* form = gForm.data(); form != nullptr && form->updater_ == updater)
        form->updater_ = nullptr;
}

} // namespace vu
