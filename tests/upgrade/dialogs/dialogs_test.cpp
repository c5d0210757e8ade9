// The three upgrade dialogs, answered through the presenter seam: texts, layout, results, and
// the wizard's ways of closing.
#include "fake_updater.h"
#include "tests/support/event_loop_wait.h"
#include "tests/support/qstring_printer.h"
#include "tests/support/recording_presenter.h"

#include "upgrade/dialogs/vuScreenPresenter.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterPassword.h"
#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace vu;

using vutest::RecordingPresenter;

namespace {

void FlushEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        FSavedBase = MessageBase;
        MessageBase = MessageBlockStart(wlEnglish);
    }
    void TearDown() override {
        DestroyUpgradeWizard();
        FlushEvents();
        MessageBase = FSavedBase;
    }

private:
    quint16 FSavedBase = 0;
};

const QString kEnglishQuestionStart = QStringLiteral("A newer version of Velmora was released.\n");
const QString kEnglishQuestionEnd =
    QStringLiteral("\nDo you want to update your version with the latest one?");

} // namespace

// ---- Upgrade question ------------------------------------------------------------------------

TEST_F(Dialogs, UpgradeQuestionTextsLayoutAndAnswers) {
    RecordingPresenter presenter;
    QString label;
    QString caption;
    int labelWidth = 0;
    int labelBottom = 0;
    int clientHeight = 0;
    int clientWidth = 0;
    int panelTop = 0;
    bool yesIsDefault = false;
    bool topmost = false;
    presenter.OnDialog = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TvuUpdaterUpgradeMessageForm&>(dialog);
        EXPECT_EQ(vuUpdaterUpgradeMessageForm(), &form);
        label = form.Label1->text();
        caption = form.windowTitle();
        labelWidth = form.Label1->width();
        labelBottom = form.Label1->y() + form.Label1->height();
        clientHeight = form.height();
        clientWidth = form.width();
        panelTop = form.BottomPanel->y();
        yesIsDefault = form.YesBtn->isDefault();
        topmost = form.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        EXPECT_EQ(form.YesBtn->text(), QStringLiteral("&Yes"));
        EXPECT_EQ(form.LaterBtn->text(), QStringLiteral("&Later"));
        form.YesBtn->click();
        return form.result();
    };

    // An empty release note still leaves a blank line between the two sentences.
    EXPECT_TRUE(AskUpgrade(QString()));
    EXPECT_EQ(label, kEnglishQuestionStart + kEnglishQuestionEnd);
    EXPECT_EQ(caption, QStringLiteral("Application update wizard"));
    EXPECT_TRUE(yesIsDefault);
    EXPECT_TRUE(topmost);
    // The designed width, or wider for the caption: the label spans it less 45 and 11.
    EXPECT_GE(clientWidth, 318);
    EXPECT_EQ(labelWidth, clientWidth + 2 * 3 - 45 - 11);
    EXPECT_EQ(clientHeight, labelBottom + 45);
    EXPECT_EQ(panelTop, clientHeight - 45);
    EXPECT_EQ(vuUpdaterUpgradeMessageForm(), nullptr); // freed after the answer

    // A note stands on lines of its own; a long one wraps and makes the window taller.
    const int shortHeight = clientHeight;
    const QString note = QStringLiteral("Version 2 brings a faster lookup, a larger table of "
                                        "codes and many small corrections to the reports.");
    EXPECT_TRUE(AskUpgrade(note));
    EXPECT_EQ(label, kEnglishQuestionStart + u'\n' + note + u'\n' + kEnglishQuestionEnd);
    EXPECT_GT(clientHeight, shortHeight);
    EXPECT_EQ(clientHeight, labelBottom + 45);
}

TEST_F(Dialogs, UpgradeQuestionLaterEscAndCloseBoxAnswerNo) {
    RecordingPresenter presenter;
    presenter.OnDialog = [](QDialog& dialog) {
        dynamic_cast<TvuUpdaterUpgradeMessageForm&>(dialog).LaterBtn->click();
        return dialog.result();
    };
    EXPECT_FALSE(AskUpgrade(QStringLiteral("note")));

    presenter.OnDialog = [](QDialog& dialog) {
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return dialog.result();
    };
    EXPECT_FALSE(AskUpgrade(QString()));

    presenter.OnDialog = [](QDialog& dialog) {
        dialog.show();
        dialog.close();
        return dialog.result();
    };
    EXPECT_FALSE(AskUpgrade(QString()));

    // Enter presses Yes.
    presenter.OnDialog = [](QDialog& dialog) {
        dialog.show();
        QTest::keyClick(&dialog, Qt::Key_Return);
        return dialog.result();
    };
    EXPECT_TRUE(AskUpgrade(QString()));
    EXPECT_EQ(presenter.Dialogs.size(), 4u);
}

TEST_F(Dialogs, UpgradeQuestionProgramNameAndSecondQuestion) {
    RecordingPresenter presenter;
    QString label;
    bool nested = true;
    presenter.OnDialog = [&](QDialog& dialog) {
        label = dynamic_cast<TvuUpdaterUpgradeMessageForm&>(dialog).Label1->text();
        nested = AskUpgrade(QStringLiteral("second")); // while the first is open
        return int(QDialog::Accepted);
    };
    const QString title = QGuiApplication::applicationDisplayName();
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Velmora ") +
                                               LoadMessageString(vuIdDesignEnvironment));
    EXPECT_TRUE(AskUpgrade(QString()));
    QGuiApplication::setApplicationDisplayName(title);
    EXPECT_TRUE(label.startsWith(QStringLiteral("A newer version of <AppTitle> was released.")))
        << label.toStdString();
    EXPECT_FALSE(nested);
    EXPECT_EQ(presenter.Dialogs.size(), 1u);
}

TEST_F(Dialogs, UpgradeQuestionInTraditionalChinese) {
    RecordingPresenter presenter;
    MessageBase = MessageBlockStart(wlChineseTraditional);
    QString caption, yes, label;
    presenter.OnDialog = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TvuUpdaterUpgradeMessageForm&>(dialog);
        caption = form.windowTitle();
        yes = form.YesBtn->text();
        label = form.Label1->text();
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(AskUpgrade(QString()));
    EXPECT_EQ(caption, QStringLiteral("軟體升級精靈"));
    EXPECT_EQ(yes, QStringLiteral("(&Y)好"));
    EXPECT_EQ(label, QStringLiteral("Velmora 已經有新的版本推出.\n\n您要升級到新的版本嗎 ?"));
}

// ---- Message boxes -------------------------------------------------------------------------

TEST_F(Dialogs, MessageBoxesCarryTheCaptionOfTheLanguage) {
    RecordingPresenter presenter;
    presenter.BoxAnswer = IDOK;
    EXPECT_EQ(ShowMessageByIndex(vmNoInfoFile, MB_ICONERROR), IDOK);
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Caption, QStringLiteral("Application update wizard"));
    EXPECT_EQ(presenter.Boxes[0].Text, QStringLiteral("File which contains upgrade information "
                                                      "was not found on developer's site."));
    EXPECT_EQ(presenter.Boxes[0].Flags, MB_ICONERROR);

    MessageBase = MessageBlockStart(wlChineseSimplified);
    presenter.BoxAnswer = IDYES;
    EXPECT_EQ(
        ShowMessageText(FormatMessageText(vmLostFile, {"data.bin"}), MB_YESNO | MB_ICONEXCLAMATION),
        IDYES);
    ASSERT_EQ(presenter.Boxes.size(), 2u);
    EXPECT_EQ(presenter.Boxes[1].Caption, QStringLiteral("软件升级精灵"));
    EXPECT_EQ(
        presenter.Boxes[1].Text,
        QStringLiteral("文档data.bin找不到或者发生错误，\r\r您要忽略这个文档并且继续升级操作吗？"));
    EXPECT_EQ(DisplayText(QStringLiteral("a\r\rb\r\nc")), QStringLiteral("a\n\nb\nc"));
}

// ---- Password prompt -----------------------------------------------------------------------

TEST_F(Dialogs, PasswordPromptOkHandsTheCredentialsOver) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    QString label, caption, shownUser;
    int clientHeight = 0, labelBottom = 0;
    bool masked = false;
    presenter.OnDialog = [&](QDialog& dialog) {
        auto& form = dynamic_cast<TvuUpdaterPasswordForm&>(dialog);
        label = form.Label1->text();
        caption = form.windowTitle();
        shownUser = form.UsernameEdit->text();
        masked = form.PasswordEdit->echoMode() == QLineEdit::Password;
        clientHeight = form.height();
        labelBottom = form.Label1->y() + form.Label1->height();
        EXPECT_TRUE(form.PasswordEdit->text().isEmpty());
        EXPECT_EQ(form.UsernameLab->text(), QStringLiteral("User Name"));
        EXPECT_EQ(form.OKBtn->text(), QStringLiteral("&OK"));
        EXPECT_TRUE(form.OKBtn->isDefault());
        form.UsernameEdit->setText(QStringLiteral("alice"));
        form.PasswordEdit->setText(QStringLiteral("s3cret"));
        form.OKBtn->click();
        return form.result();
    };
    EXPECT_TRUE(AskPassword(&updater));
    EXPECT_EQ(caption, QStringLiteral("Enter password"));
    EXPECT_EQ(label, QStringLiteral("Access to remote file \"setup.exe\" is password protected."
                                    "\n\nPlease enter your username and password (received "
                                    "after registration) to continue software upgrade."));
    EXPECT_EQ(shownUser, QStringLiteral("olduser"));
    EXPECT_TRUE(masked);
    EXPECT_EQ(clientHeight, labelBottom + 98);
    EXPECT_EQ(updater.Username, QStringLiteral("alice"));
    EXPECT_EQ(updater.Password, QStringLiteral("s3cret"));
    EXPECT_EQ(vuUpdaterPasswordForm(), nullptr);
}

TEST_F(Dialogs, PasswordPromptCancelEscAndCloseBoxChangeNothing) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    const std::vector<std::function<void(TvuUpdaterPasswordForm&)>> ways = {
        [](TvuUpdaterPasswordForm& form) { form.CancelBtn->click(); },
        [](TvuUpdaterPasswordForm& form) {
            form.show();
            QTest::keyClick(&form, Qt::Key_Escape);
        },
        [](TvuUpdaterPasswordForm& form) {
            form.show();
            form.close();
        },
    };
    for (const auto& way : ways) {
        presenter.OnDialog = [&](QDialog& dialog) {
            auto& form = dynamic_cast<TvuUpdaterPasswordForm&>(dialog);
            form.UsernameEdit->setText(QStringLiteral("mallory"));
            form.PasswordEdit->setText(QStringLiteral("guess"));
            way(form);
            return form.result();
        };
        EXPECT_FALSE(AskPassword(&updater));
    }
    EXPECT_EQ(updater.CredentialsSet, 0);
    EXPECT_EQ(updater.Username, QStringLiteral("olduser"));
    EXPECT_EQ(updater.Password, QStringLiteral("oldpass"));
}

// ---- Progress wizard -----------------------------------------------------------------------

TEST_F(Dialogs, WizardShowsTheDownloadingState) {
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
    ASSERT_NE(form, nullptr);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    // As designed, or larger where the desktop's fonts need it.
    EXPECT_GE(form->width(), 463);
    EXPECT_GE(form->height(), 281);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Application update wizard"));
    EXPECT_EQ(form->WizardTitle->text(), QStringLiteral("Downloading files..."));
    EXPECT_EQ(form->LCurrentFile->title(), QStringLiteral(" Current file "));
    EXPECT_EQ(form->LAllFiles->title(), QStringLiteral(" All files "));
    EXPECT_EQ(form->LDownloadingFileFrom->text(), QStringLiteral("Downloading file from"));
    EXPECT_EQ(form->LEstimatedTime->text(), QStringLiteral("Preparing. . ."));
    EXPECT_EQ(form->AboutLabel->text(), QStringLiteral(" Updater "));
    EXPECT_EQ(form->AboutShadow->text(), QStringLiteral(" Updater "));
    EXPECT_EQ(form->AboutShadow->pos(), form->AboutLabel->pos() + QPoint(1, 1));
    EXPECT_EQ(form->FinishBtn->text(), QStringLiteral("&Next >"));
    EXPECT_FALSE(form->FinishBtn->isEnabled());
    EXPECT_EQ(form->CancelBtn->text(), QStringLiteral("&Cancel"));
    EXPECT_TRUE(form->CancelBtn->isEnabled());
    EXPECT_TRUE(form->CancelBtn->isDefault());
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form->FileURL->isReadOnly());
    EXPECT_EQ(form->Image1->pixmap().size(), QSize(118, 218)); // the built-in picture

    // Three files, the second at 50 %.
    form->ShowFileStart(QStringLiteral("http://127.0.0.1/new/data.bin"), 2, 3);
    form->ShowFileSize(12595);
    form->ShowProgress(50, 1, 3, 7.25, 3725);
    EXPECT_EQ(form->FileURL->text(), QStringLiteral("http://127.0.0.1/new/data.bin"));
    EXPECT_EQ(form->AllDownloading->text(), QStringLiteral("Downloading 2 of 3"));
    EXPECT_EQ(form->LFileSize->text(), QStringLiteral("File size: 12.3 Kb"));
    EXPECT_EQ(form->ProgressCurrentFile->value(), 50);
    EXPECT_EQ(form->ProgressAllFiles->value(), 49);
    EXPECT_EQ(form->LTransferRate->text(), QStringLiteral("Transfer rate: 7.3 Kb/s"));
    EXPECT_EQ(form->LEstimatedTime->text(), QStringLiteral("Estimated time left: 1:02:05"));
    // Labels size themselves to their text.
    EXPECT_GE(form->LEstimatedTime->width(), form->LEstimatedTime->sizeHint().width());

    // A second call reuses the window.
    ShowUpgradeWizard(&updater);
    EXPECT_EQ(vuUpdaterWizardForm(), form);
}

TEST_F(Dialogs, WizardSettingsOfTheUpgrader) {
    FakeUpdater updater;
    updater.HideFileLocation = true;
    updater.StayOnTop = false;
    updater.Picture = QImage(20, 40, QImage::Format_RGB32);
    updater.Picture.fill(Qt::red);
    int hiddenFileSizeTop = 0;
    int hiddenFrameHeight = 0;
    for (int round = 0; round < 2; ++round) { // the same layout when the window is reused
        ShowUpgradeWizard(&updater);
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        ASSERT_NE(form, nullptr);
        EXPECT_TRUE(form->FileURL->isHidden());
        EXPECT_TRUE(form->LDownloadingFileFrom->isHidden());
        // The figures move up in their order and the frame closes up.
        EXPECT_LT(form->LFileSize->y(), form->LTransferRate->y());
        EXPECT_LT(form->LTransferRate->y(), form->LEstimatedTime->y());
        EXPECT_LT(form->LEstimatedTime->y(), form->ProgressCurrentFile->y());
        hiddenFileSizeTop = form->LFileSize->y();
        hiddenFrameHeight = form->LCurrentFile->height();
        EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        EXPECT_EQ(form->Image1->pixmap().toImage().pixelColor(5, 5), QColor(Qt::red));
    }
    updater.HideFileLocation = false;
    ShowUpgradeWizard(&updater);
    TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
    EXPECT_FALSE(form->FileURL->isHidden());
    EXPECT_EQ(form->LDownloadingFileFrom->y(), hiddenFileSizeTop);
    EXPECT_GT(form->LFileSize->y(), form->FileURL->y());
    EXPECT_GT(form->LCurrentFile->height(), hiddenFrameHeight + form->FileURL->height());
}

TEST_F(Dialogs, WizardEscAndEnterAskTheAbortQuestionNoKeepsGoing) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    QPointer<TvuUpdaterWizardForm> form = vuUpdaterWizardForm();
    presenter.BoxAnswer = IDNO;

    QTest::keyClick(form.data(), Qt::Key_Escape);
    FlushEvents();
    QTest::keyClick(form.data(), Qt::Key_Return);
    FlushEvents();
    form->CancelBtn->click();
    FlushEvents();
    form->close(); // the close box
    FlushEvents();

    ASSERT_EQ(presenter.Boxes.size(), 4u);
    for (const auto& box : presenter.Boxes) {
        EXPECT_EQ(
            box.Text,
            QStringLiteral("The update is not completed.\rWould you like to abort upgrading?"));
        EXPECT_EQ(box.Caption, QStringLiteral("Velmora"));
        EXPECT_EQ(box.Flags, MB_YESNO | MB_ICONQUESTION);
    }
    ASSERT_FALSE(form.isNull());
    EXPECT_EQ(vuUpdaterWizardForm(), form.data());
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(updater.Aborts, 0);
}

TEST_F(Dialogs, WizardYesClosesFirstThenAborts) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    QPointer<TvuUpdaterWizardForm> form = vuUpdaterWizardForm();
    bool goneWhenAborted = false;
    updater.OnAbort = [&] { goneWhenAborted = vuUpdaterWizardForm() == nullptr; };
    presenter.BoxAnswer = IDYES;

    QTest::keyClick(form.data(), Qt::Key_Escape);
    ASSERT_TRUE(vutest::WaitFor([&] { return updater.Aborts > 0; }, 15000));

    EXPECT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(updater.Aborts, 1);
    EXPECT_EQ(updater.Closes, 1);
    EXPECT_TRUE(updater.ClosedBeforeAbort);
    EXPECT_TRUE(goneWhenAborted);
    FlushEvents();
    EXPECT_TRUE(form.isNull());
}

TEST_F(Dialogs, WizardCompletedState) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    QPointer<TvuUpdaterWizardForm> form = vuUpdaterWizardForm();
    form->ShowWizardCompleted();
    EXPECT_TRUE(form->Completed());
    EXPECT_EQ(form->WizardTitle->text(), QStringLiteral("Upgrade completed!"));
    EXPECT_EQ(form->AfterNote->text(),
              QStringLiteral("The update of Velmora has been successfully completed.\n\nPress the "
                             "OK button to restart program."));
    EXPECT_EQ(form->AfterNote->width(), 319);
    EXPECT_GT(form->AfterNote->height(), 13); // sized to the wrapped note
    EXPECT_TRUE(form->LCurrentFile->isHidden());
    EXPECT_TRUE(form->LAllFiles->isHidden());
    EXPECT_FALSE(form->CancelBtn->isEnabled());
    EXPECT_TRUE(form->FinishBtn->isEnabled());
    EXPECT_EQ(form->FinishBtn->text(), QStringLiteral("&OK"));

    // Esc does nothing now.
    QTest::keyClick(form.data(), Qt::Key_Escape);
    FlushEvents();
    EXPECT_TRUE(presenter.Boxes.empty());
    ASSERT_FALSE(form.isNull());

    // The close box still asks; No keeps the window.
    presenter.BoxAnswer = IDNO;
    form->close();
    FlushEvents();
    EXPECT_EQ(presenter.Boxes.size(), 1u);
    ASSERT_FALSE(form.isNull());

    // Enter presses OK: closed without a question, the upgrader hears of it, nothing aborted.
    EXPECT_EQ(updater.Closes, 0);
    QTest::keyClick(form.data(), Qt::Key_Return);
    EXPECT_EQ(updater.Closes, 1);
    EXPECT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(updater.Aborts, 0);
    EXPECT_EQ(vuUpdaterWizardForm(), nullptr);
    FlushEvents();
    EXPECT_TRUE(form.isNull());
}

TEST_F(Dialogs, WizardCompletedCloseBoxYesAbandonsTheRestart) {
    RecordingPresenter presenter;
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    vuUpdaterWizardForm()->ShowWizardCompleted();
    presenter.BoxAnswer = IDYES;
    vuUpdaterWizardForm()->close();
    EXPECT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(updater.Aborts, 1);
    EXPECT_EQ(vuUpdaterWizardForm(), nullptr);
}

TEST_F(Dialogs, WizardEndedByTheUpgrader) {
    RecordingPresenter presenter;
    {
        FakeUpdater updater;
        ShowUpgradeWizard(&updater);
        QPointer<TvuUpdaterWizardForm> form = vuUpdaterWizardForm();
        DestroyUpgradeWizard();
        EXPECT_EQ(vuUpdaterWizardForm(), nullptr);
        EXPECT_FALSE(form->isVisible());
        FlushEvents();
        EXPECT_TRUE(form.isNull());
        EXPECT_TRUE(presenter.Boxes.empty());
        EXPECT_EQ(updater.Aborts, 0);

        ShowUpgradeWizard(&updater); // a new window after the old one went away
        EXPECT_NE(vuUpdaterWizardForm(), nullptr);
    }
    // The upgrader went away: its wizard goes with it.
    EXPECT_EQ(vuUpdaterWizardForm(), nullptr);

    // The upgrader ends the wizard while the abort question is open (its download failed).
    FakeUpdater updater;
    ShowUpgradeWizard(&updater);
    QPointer<TvuUpdaterWizardForm> form = vuUpdaterWizardForm();
    struct EndingPresenter : RecordingPresenter {
        int MessageBox(const QString& text, const QString& caption, unsigned flags) override {
            DestroyUpgradeWizard();
            FlushEvents();
            return RecordingPresenter::MessageBox(text, caption, flags);
        }
    } ending;
    ending.BoxAnswer = IDYES;
    form->close();
    EXPECT_EQ(ending.Boxes.size(), 1u);
    EXPECT_EQ(updater.Aborts, 0);
    FlushEvents();
    EXPECT_TRUE(form.isNull());
}

// ---- Where questions open -------------------------------------------------------------------

TEST_F(Dialogs, EveryQuestionOpensInFrontOfAndModalToItsWindow) {
    FakeUpdater updater;
    QWidget mainWindow;
    mainWindow.show();
    SetDialogOwnerWindow(&mainWindow);
    struct Row {
        const char* Name;
        bool OverWizard; // shown while the wizard is open
        std::function<void()> Ask;
    };
    const std::vector<Row> rows = {
        {"message box", false, [] { ShowMessageByIndex(vmNoNewerVersion, MB_ICONINFORMATION); }},
        {"upgrade question", false, [] { AskUpgrade(QString()); }},
        {"password prompt", false, [&] { AskPassword(&updater); }},
        {"message box", true, [] { ShowMessageByIndex(vmConnectionLost, MB_ICONERROR); }},
        {"lost-file question", true,
         [] {
             ShowMessageText(FormatMessageText(vmLostFile, {"data.bin"}),
                             MB_YESNO | MB_ICONEXCLAMATION);
         }},
        {"password prompt", true, [&] { AskPassword(&updater); }},
        {"abort question", true, [] { vuUpdaterWizardForm()->close(); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.Name) + (row.OverWizard ? " over the wizard" : ""));
        if (row.OverWizard)
            ShowUpgradeWizard(&updater);
        QWidget* const owner = row.OverWizard ? vuUpdaterWizardForm() : &mainWindow;
        // The user looks at the question that opened, then closes it.
        QPointer<QWidget> parent;
        Qt::WindowModality modality = Qt::NonModal;
        bool onTop = false;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            if (QWidget* question = QApplication::activeModalWidget()) {
                parent = question->parentWidget();
                modality = question->windowModality();
                onTop = question->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                question->close();
            }
        });
        user.start(5);
        row.Ask();
        user.stop();
        EXPECT_EQ(parent.data(), owner);
        EXPECT_EQ(modality, Qt::ApplicationModal);
        if (row.OverWizard) {
            EXPECT_TRUE(onTop) << "under a window that stays on top the question must too";
        }
        DestroyUpgradeWizard();
        FlushEvents();
    }
    SetDialogOwnerWindow(nullptr);
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmora"));
    QGuiApplication::setApplicationDisplayName(QStringLiteral("Velmora"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
