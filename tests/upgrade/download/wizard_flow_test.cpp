// The wizard and its questions as a user meets them: real windows (the wizard, the abort question,
// the component's message boxes) answered by a scripted user while the download goes on. Every
// order of events must end in exactly one outcome, leave no window behind and let the next check
// through.
#include "upgrade_fixture.h"

#include "tests/support/event_loop_wait.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/utils/vuApplicationState.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <set>

using namespace vu;
using namespace download_test;

namespace {

// What the scripted user sees: the open question (nullptr when none), and whether the last file
// has been downloaded and its outcome handled.
struct Moment {
    QMessageBox* Question = nullptr;
    bool DownloadEnded = false;
};

// The user's step each time the window system is looked at; returns the button to press in the
// open question, or none to leave it open for now.
using Step = std::function<QMessageBox::StandardButton(const Moment&, UpgradeScenario&)>;

struct Order {
    const char* Name;
    std::vector<std::string> Paths;
    // Cancel is pressed after the first file; the server holds the second one until the user
    // sees the abort question.
    bool CancelDuringLastFile;
    Step UserStep;
    TvuUpgradeOutcome Outcome;
    bool Installed; // the new files were installed
};

bool IsAbortQuestion(const QMessageBox* box) {
    return box != nullptr && box->text() == DisplayText(LoadMessageText(vmAbortQuestion));
}

// Presses OK on the completion page when it is shown and no question is open.
void PressOkWhenCompleted(const Moment& now) {
    TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
    if (now.Question == nullptr && form != nullptr && form->Completed())
        form->FinishBtn->click();
}

// The abort question is opened while the last file downloads, and answered `answer` once that
// download has ended.
Step AnswerAfterTheEnd(QMessageBox::StandardButton answer) {
    return [answer](const Moment& now, UpgradeScenario&) {
        PressOkWhenCompleted(now);
        return IsAbortQuestion(now.Question) && now.DownloadEnded ? answer : QMessageBox::NoButton;
    };
}

// A first file, then one the server holds until it is released.
const std::vector<std::string> kHeldLastFile = {"/files/readme.txt", "/stall-headers"};

} // namespace

TEST(upgrade_download_Wizard, EveryOrderOfEventsEndsOnceAndFreesTheMenuEntry) {
    const std::vector<Order> orders = {
        {"download ends while the abort question is open, Yes", kHeldLastFile, true,
         AnswerAfterTheEnd(QMessageBox::Yes), uoCancelled, false},
        {"download ends while the abort question is open, No, then OK", kHeldLastFile, true,
         AnswerAfterTheEnd(QMessageBox::No), uoDownloaded, true},
        {"download fails while the abort question is open",
         {"/files/readme.txt", "/stall-body/5000"},
         true,
         [](const Moment& now, UpgradeScenario&) {
             // The connection breaks once the abort question is open; its message is confirmed.
             if (now.Question == nullptr || IsAbortQuestion(now.Question))
                 return QMessageBox::NoButton;
             return QMessageBox::Ok;
         },
         uoConnectionLost,
         false},
        {"a second check while the abort question is open, No, then OK", kHeldLastFile, true,
         [](const Moment& now, UpgradeScenario& s) {
             if (IsAbortQuestion(now.Question)) {
                 s.Updater->CheckForUpdate();
                 return QMessageBox::No;
             }
             PressOkWhenCompleted(now);
             return QMessageBox::NoButton;
         },
         uoDownloaded, true},
        {"completion page closed by the close box, Yes",
         {"/files/readme.txt", "/files/data.dat"},
         false,
         [](const Moment& now, UpgradeScenario&) {
             TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
             // The close box, from the event loop: the question it opens blocks.
             if (now.Question == nullptr && form != nullptr && form->Completed())
                 QMetaObject::invokeMethod(form, &QWidget::close, Qt::QueuedConnection);
             return now.Question != nullptr ? QMessageBox::Yes : QMessageBox::NoButton;
         },
         uoCancelled,
         false},
    };

    for (const Order& order : orders) {
        SCOPED_TRACE(order.Name);
        UpgradeScenario s;
        vutest::ScreenPresenter screen; // real windows, answered below
        s.Server.serve("/files/readme.txt", "readme");
        s.Server.serve("/files/data.dat", "data");
        s.Publish(order.Paths);
        s.Updater->Wizard()->SetEnabled(true);

        bool downloadEnded = false;
        s.Updater->OnFileDone = [&, count = order.Paths.size()](TvuUpdater* u,
                                                                const QByteArray& name) {
            s.Events.Done.push_back(name);
            if (order.CancelDuringLastFile && s.Events.Done.size() == 1)
                QMetaObject::invokeMethod(
                    vuUpdaterWizardForm(), [] { vuUpdaterWizardForm()->CancelBtn->click(); },
                    Qt::QueuedConnection);
            // The end of the last file counts once the step it queued has run.
            if (s.Events.Done.size() == count)
                QMetaObject::invokeMethod(
                    u, [&] { downloadEnded = true; }, Qt::QueuedConnection);
        };

        // Every question seen belongs to the wizard: in front of it and modal.
        std::vector<QString> questions;
        std::set<const QMessageBox*> answered;
        QTimer user;
        QObject::connect(&user, &QTimer::timeout, [&] {
            Moment now;
            now.DownloadEnded = downloadEnded;
            now.Question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (now.Question != nullptr && answered.insert(now.Question).second) {
                questions.push_back(now.Question->text());
                if (IsAbortQuestion(now.Question))
                    s.Server.releaseStalls(); // the held file comes (or breaks) now
                EXPECT_NE(now.Question->parentWidget(), nullptr)
                    << now.Question->text().toStdString();
                EXPECT_EQ(now.Question->parentWidget(), vuUpdaterWizardForm());
                EXPECT_EQ(now.Question->windowModality(), Qt::ApplicationModal);
            }
            const QMessageBox::StandardButton press = order.UserStep(now, s);
            if (now.Question != nullptr && press != QMessageBox::NoButton) {
                QAbstractButton* button = now.Question->button(press);
                ASSERT_NE(button, nullptr);
                button->click();
            }
        });
        user.start(5);
        // A stuck wizard would hold the test for ever: after a while every question is answered
        // No and the component's waits give up, so that the case fails instead.
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, [&] {
            ADD_FAILURE() << "still not ended after 30 s";
            SetApplicationCloseRequested();
            user.stop();
            QTimer::singleShot(0, [] {
                while (QWidget* modal = QApplication::activeModalWidget())
                    modal->close();
                if (TvuUpdaterWizardForm* form = vuUpdaterWizardForm())
                    form->FinishBtnClick();
            });
        });
        giveUp.start(30000);

        ASSERT_TRUE(s.Run());
        EXPECT_TRUE(vutest::WaitFor([&] {
            return vuUpdaterWizardForm() == nullptr &&
                   QApplication::activeModalWidget() == nullptr && !s.Updater->Upgrading();
        }));
        giveUp.stop();
        user.stop();

        EXPECT_EQ(s.Events.Outcomes, std::vector<TvuUpgradeOutcome>{order.Outcome});
        EXPECT_FALSE(questions.empty());
        EXPECT_EQ(s.Server.requestsFor("/info.txt").size(), 1u) << "a second check got through";
        const std::string last = order.Paths.back().substr(order.Paths.back().rfind('/') + 1);
        if (order.Installed) {
            EXPECT_EQ(s.Events.Closed, 1);
            EXPECT_EQ(s.Log(1).size(), 1u);
            EXPECT_EQ(vutest::ReadFile(s / "readme.txt"), "readme");
            EXPECT_TRUE(vutest::Exists(s / last));
        } else {
            EXPECT_EQ(s.Events.Closed, 0);
            EXPECT_FALSE(vutest::Exists(s / "readme.txt"));
            EXPECT_FALSE(vutest::Exists(s / last));
        }
        EXPECT_TRUE(s.PendingFiles().empty());

        // The menu entry works again: the next check ends with an outcome of its own. It is sent
        // unless the replacement helper still holds the program folder for its installation.
        s.Server.serve("/info.txt", "#version=1.0\r\n#method=0\r\n", "text/plain");
        s.Updater->CheckForUpdate();
        ASSERT_TRUE(vutest::WaitFor([&] { return s.Events.Outcomes.size() == 2; }));
        if (s.Events.Outcomes.back() != uoAlreadyRunning || !order.Installed) {
            EXPECT_EQ(s.Events.Outcomes.back(), uoNoUpdate);
            EXPECT_EQ(s.Server.requestsFor("/info.txt").size(), 2u);
        }
    }
}
