#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuScreenPresenter.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

namespace vu {

namespace {

QPointer<TvuUpdaterUpgradeMessageForm> gForm;

// 318 x 119, the buttons 45 high; right of the question: the outer width less the label's left
// edge and 11, as designed.
constexpr TvuIconDialogDesign kDesign = {318, 119, 45, 11 - 2 * vuDialogFrame};

} // namespace

TvuUpdaterUpgradeMessageForm::TvuUpdaterUpgradeMessageForm(QWidget* parent) : QDialog(parent) {
    PrepareDialogWindow(*this, "vuUpdaterUpgradeMessageForm", true);
    Label1 = NewWrappedLabel(this, "Label1", 45, 5, 22, 13);
    Icon = NewIcon(this, "Icon", UpgradeQuestionIcon());

    BottomPanel = new QWidget(this);
    BottomPanel->setObjectName(QStringLiteral("BottomPanel"));
    BottomPanel->setFixedHeight(kDesign.PanelHeight);
    YesBtn = NewButton(BottomPanel, "YesBtn", 78, 13, 75, 23);
    YesBtn->setDefault(true);
    LaterBtn = NewButton(BottomPanel, "LaterBtn", 167, 13, 75, 23);
    SkipBtn = NewButton(BottomPanel, "SkipBtn", 0, 13, 75, 23);
    SkipBtn->hide();
    // Yes, Later and (when offered) Skip this version, centred; a hidden button leaves no gap.
    auto* buttons = new QHBoxLayout(BottomPanel);
    buttons->setContentsMargins(0, 13, 0, 9);
    buttons->setSpacing(9);
    buttons->addStretch(1);
    for (QPushButton* button : {YesBtn, LaterBtn, SkipBtn}) {
        button->setMinimumWidth(75);
        button->setFixedHeight(23);
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    setTabOrder(YesBtn, LaterBtn);
    setTabOrder(LaterBtn, SkipBtn);

    // The icon beside the question, the buttons below; Prepare sizes the window to the text.
    LayOutIconTextAndPanel(*this, *Icon, *Label1, *BottomPanel, kDesign);

    connect(YesBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(LaterBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(SkipBtn, &QPushButton::clicked, this, [this] { done(kSkipResult); });
}

TvuUpdaterUpgradeMessageForm::~TvuUpdaterUpgradeMessageForm() = default;

void TvuUpdaterUpgradeMessageForm::Prepare(const QString& message, TvuUpgradeQuestion question) {
    const QString note = message.isEmpty() ? message : u'\n' + message + u'\n';
    SetLabelText(*Label1, FormatMessageText(question.Critical ? vmCriticalRelease : vmNewerVersion,
                                            {UpgradeProgramName(), note}));
    setWindowTitle(LoadMessageText(vmCaption));
    SetButtonText(*YesBtn, LoadMessageText(vmYes));
    SetButtonText(*LaterBtn, LoadMessageText(vmLater));
    SetButtonText(*SkipBtn, LoadMessageText(vmSkipThisVersion));
    // A critical release is not put off: Yes alone, centred.
    LaterBtn->setVisible(!question.Critical);
    SkipBtn->setVisible(question.OfferSkip && !question.Critical);

    InvalidateLayouts(*this);
    // As designed, or wider when the caption or the buttons need it.
    const int clientWidth = std::max(
        {kDesign.ClientWidth, CaptionWidth(*this), BottomPanel->minimumSizeHint().width()});
    // The label spans the outer width less its left edge and a margin of 11.
    const int labelWidth = clientWidth + 2 * vuDialogFrame - Label1->x() - 11;
    int clientHeight = Label1->y() + Label1->heightForWidth(labelWidth) + kDesign.PanelHeight;
    // A very long release note must not push the buttons off the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int available = screen->availableGeometry().height() - 40;
        if (available > kDesign.PanelHeight + Label1->y() && clientHeight > available)
            clientHeight = available;
    }
    setFixedSize(clientWidth, clientHeight);
    LayOutNow(*this);
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
    PlaceInFrontOf(*form, DialogParent());
    form->Prepare(message, question);
    const int result = UserPresenter().ExecDialog(*form);
    // FormClose: the window is freed and the reference cleared (unless it went with its parent).
    delete gForm.data();
    gForm.clear();
    if (result == QDialog::Accepted)
        return uaYes;
    // Only a button that is shown can give its answer.
    const bool skipShown = question.OfferSkip && !question.Critical;
    return result == TvuUpdaterUpgradeMessageForm::kSkipResult && skipShown ? uaSkip : uaLater;
}

} // namespace vu
