#include "upgrade/dialogs/vuUpdaterPassword.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuScreenPresenter.h"
#include "upgrade/dialogs/vuUpdaterDialogHost.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <algorithm>

namespace vu {

namespace {

QPointer<TvuUpdaterPasswordForm> gForm;

// 297 x 141, the fields and buttons 98 high, the request 6 from the right, as designed.
constexpr TvuIconDialogDesign kDesign = {297, 141, 98, 6};

QLineEdit* NewEdit(QWidget* parent, const char* name, int top) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setGeometry(122, top, 157, 21);
    edit->setMinimumWidth(157);
    edit->setFixedHeight(21);
    return edit;
}

} // namespace

TvuUpdaterPasswordForm::TvuUpdaterPasswordForm(QWidget* parent) : QDialog(parent) {
    PrepareDialogWindow(*this, "vuUpdaterPasswordForm", false);
    Label1 = NewWrappedLabel(this, "Label1", 45, 5, 246, 13);
    Image1 = NewIcon(this, "Image1", PasswordIcon());

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
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

    // The two fields with their labels, the buttons below them at the right.
    auto* fields = new QGridLayout(BottomPanel);
    fields->setContentsMargins(45, 10, 18, 7);
    fields->setHorizontalSpacing(8);
    fields->setVerticalSpacing(3);
    fields->addWidget(UsernameLab, 0, 0);
    fields->addWidget(UsernameEdit, 0, 1);
    fields->addWidget(PasswordLab, 1, 0);
    fields->addWidget(PasswordEdit, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 10, 0, 0);
    buttons->setSpacing(15);
    buttons->addStretch(1);
    for (QPushButton* button : {OKBtn, CancelBtn}) {
        button->setMinimumWidth(75);
        button->setFixedHeight(23);
        buttons->addWidget(button);
    }
    fields->addLayout(buttons, 2, 0, 1, 2);
    fields->setColumnMinimumWidth(0, 122 - 45 - 8);
    fields->setColumnStretch(1, 1);

    LayOutIconTextAndPanel(*this, *Image1, *Label1, *BottomPanel, kDesign);

    connect(OKBtn, &QPushButton::clicked, this, &TvuUpdaterPasswordForm::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

TvuUpdaterPasswordForm::~TvuUpdaterPasswordForm() = default;

void TvuUpdaterPasswordForm::Prepare() {
    const QString fileName = updater_ != nullptr ? updater_->DialogRemoteFileName() : QString();
    SetLabelText(*Label1, FormatMessageText(vmPasswordProtected, {fileName}));
    setWindowTitle(LoadMessageText(vmEnterPassword));
    SetLabelText(*UsernameLab, LoadMessageText(vmUserName));
    UsernameEdit->setText(updater_ != nullptr ? updater_->DialogUsername() : QString());
    SetLabelText(*PasswordLab, LoadMessageText(vmPassword));
    SetButtonText(*OKBtn, LoadMessageText(vmOK));
    SetButtonText(*CancelBtn, LoadMessageText(vmCancel));

    InvalidateLayouts(*this);
    // As designed, or wider when the caption, the labels or the buttons need it.
    const QSize panel = BottomPanel->minimumSizeHint();
    const int clientWidth = std::max({kDesign.ClientWidth, CaptionWidth(*this), panel.width()});
    const int panelHeight = std::max(kDesign.PanelHeight, panel.height());
    BottomPanel->setFixedHeight(panelHeight);
    const int labelWidth = clientWidth - Label1->x() - kDesign.RightMargin;
    const int clientHeight = Label1->y() + Label1->heightForWidth(labelWidth) + panelHeight;
    setFixedSize(clientWidth, clientHeight);
    LayOutNow(*this);
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
    PlaceInFrontOf(*form, DialogParent());
    form->Prepare();
    const int result = UserPresenter().ExecDialog(*form);
    // FormClose: the window is freed and the reference cleared (unless it went with its parent).
    delete gForm.data();
    gForm.clear();
    return result == QDialog::Accepted;
}

void DetachPasswordHost(TvuUpdaterDialogHost* updater) {
    if (TvuUpdaterPasswordForm* form = gForm.data(); form != nullptr && form->updater_ == updater)
        form->updater_ = nullptr;
}

} // namespace vu
