#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace vu {

namespace {

QPointer<TvuUpdaterUpgradeMessageForm> gForm;

constexpr int kClientWidth = 318;
constexpr int kClientHeight = 119;
constexpr int kPanelHeight = 45;
// The row of buttons when Skip this version joins Yes and Later: centred, 9 apart, the skip
// button as wide as its text needs within bounds.
constexpr int kButtonGap = 9;
constexpr int kButtonWidth = 75;
constexpr int kMaxSkipWidth = kClientWidth - 2 * kButtonWidth - 4 * kButtonGap;

} // namespace

TvuUpdaterUpgradeMessageForm::TvuUpdaterUpgradeMessageForm(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("vuUpdaterUpgradeMessageForm"));
    ApplyDialogStyle(*this, true);
    setFont(DialogFont());
    setFixedSize(kClientWidth, kClientHeight);

    Label1 = NewLabel(this, "Label1", 45, 5, 22, 13);
    Label1->setWordWrap(true);
    Label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Icon = NewLabel(this, "Icon", 7, 5, 32, 32);
    Icon->setPixmap(UpgradeQuestionIcon());

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setGeometry(0, kClientHeight - kPanelHeight, kClientWidth, kPanelHeight);

    YesBtn = NewButton(BottomPanel, "YesBtn", 78, 13, 75, 23);
    YesBtn->setDefault(true);
    LaterBtn = NewButton(BottomPanel, "LaterBtn", 167, 13, 75, 23);
    SkipBtn = NewButton(BottomPanel, "SkipBtn", 0, 13, 75, 23);
    SkipBtn->hide();
    setTabOrder(YesBtn, LaterBtn);
    setTabOrder(LaterBtn, SkipBtn);

    connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SkipBtn, &QPushButton::clicked, this, [this] { done(kSkipResult); });
}

TvuUpdaterUpgradeMessageForm::~TvuUpdaterUpgradeMessageForm() = default;

void TvuUpdaterUpgradeMessageForm::Prepare(const QString& message, TvuUpgradeQuestion question) {
    const QString note = message.isEmpty() ? message : u'\n' + message + u'\n';
    // The outer width of the designed window less the label's left edge and a margin of 11.
    const int outerWidth = width() + 2 * vuDialogFrame;
    Label1->resize(outerWidth - Label1->x() - 11, Label1->height());
    SetLabelText(*Label1, FormatMessageText(question.Critical ? vmCriticalRelease : vmNewerVersion,
                                            {UpgradeProgramName(), note}));
    Label1->resize(Label1->width(), WrappedHeight(*Label1));
    setWindowTitle(LoadMessageText(vmCaption));
    YesBtn->setText(LoadMessageText(vmYes));
    LaterBtn->setText(LoadMessageText(vmLater));
    SkipBtn->setText(LoadMessageText(vmSkipThisVersion));
    // A critical release is not put off: Yes alone, centred.
    LaterBtn->setVisible(!question.Critical);
    SkipBtn->setVisible(question.OfferSkip && !question.Critical);
    if (question.Critical) {
        YesBtn->move((kClientWidth - kButtonWidth) / 2, YesBtn->y());
    } else if (question.OfferSkip) {
        const int skipWidth = std::clamp(SkipBtn->sizeHint().width(), kButtonWidth, kMaxSkipWidth);
        const int left = (kClientWidth - 2 * kButtonWidth - skipWidth - 2 * kButtonGap) / 2;
        YesBtn->move(left, YesBtn->y());
        LaterBtn->move(left + kButtonWidth + kButtonGap, LaterBtn->y());
        SkipBtn->setGeometry(left + 2 * (kButtonWidth + kButtonGap), SkipBtn->y(), skipWidth,
                             SkipBtn->height());
    }

    int clientHeight = Label1->y() + Label1->height() + kPanelHeight;
    // A very long release note must not push the buttons off the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int available = screen->availableGeometry().height() - 40;
        if (available > kPanelHeight + Label1->y() && clientHeight > available)
            clientHeight = available;
    }
    setFixedSize(kClientWidth, clientHeight);
    BottomPanel->move(0, clientHeight - kPanelHeight);
    CenterOnScreen(*this);
}

void TvuUpdaterUpgradeMessageForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    raise();
}

TvuUpdaterUpgradeMessageForm* vuUpdaterUpgradeMessageForm() {
    return gForm.data();
}

QString UpgradeProgramName() {
    const QString title = ApplicationTitle();
    if (title.contains(LoadMessageString(vuIdDesignEnvironment)))
        return LoadMessageString(vuIdAppTitle);
    return title;
}

bool AskUpgrade(const QString& message) {
    return AskUpgradeChoice(message, {}) == uaYes;
}

TvuUpgradeAnswer AskUpgradeChoice(const QString& message, TvuUpgradeQuestion question) {
    // The question is modal: while it is open (a second check reached it from the nested event
    // loop), it cannot be asked a second time, and the second asker gets "Later".
    if (!gForm.isNull())
        return uaLater;
    auto* form = new TvuUpdaterUpgradeMessageForm();
    gForm = form;
    form->Prepare(message, question);
    const int result = UserPresenter().ExecDialog(*form);
    // FormClose: the window is freed and the reference cleared.
    gForm.clear();
    delete form;
    if (result == QDialog::Accepted)
        return uaYes;
    // Only a button that is shown can give its answer.
    const bool skipShown = question.OfferSkip && !question.Critical;
    return result == TvuUpdaterUpgradeMessageForm::kSkipResult && skipShown ? uaSkip : uaLater;
}

} // namespace vu
