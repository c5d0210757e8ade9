// Every page of the upgrade dialogs in every language, laid out offscreen: no text may be cut by
// the edge of its label, its frame or its window, and no caption by the title bar.
#include "fake_updater.h"
#include "tests/support/recording_presenter.h"

#include "upgrade/dialogs/vuDialogSupport.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/dialogs/vuUpdaterPassword.h"
#include "upgrade/dialogs/vuUpdaterUpgradeMsg.h"
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/dialogs/vuWizardProgress.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>

#include <functional>

using namespace vu;

namespace {

QRect InWindow(const QWidget& widget, const QWidget& window) {
    return QRect(widget.mapTo(&window, QPoint(0, 0)), widget.size());
}

// One line for each text of `window` that does not fit, naming the page and the control.
QStringList Misfits(const QString& page, QWidget& window) {
    QStringList misfits;
    auto misfit = [&](const QWidget& control, const QString& text) {
        misfits << page + u'/' + control.objectName() + QStringLiteral(": \"") + text + u'"';
    };
    if (window.width() < CaptionWidth(window))
        misfit(window, window.windowTitle());
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        if (!label->isVisibleTo(&window) || label->text().isEmpty())
            continue;
        const bool ownSize = label->wordWrap()
                                 ? label->heightForWidth(label->width()) <= label->height()
                                 : label->sizeHint().width() <= label->width() &&
                                       label->sizeHint().height() <= label->height();
        const QWidget* parent = label->parentWidget();
        if (!ownSize || !parent->rect().contains(label->geometry()) ||
            !window.rect().contains(InWindow(*label, window)))
            misfit(*label, label->text());
    }
    for (const QAbstractButton* button : window.findChildren<QAbstractButton*>()) {
        if (button->isVisibleTo(&window) && (button->sizeHint().width() > button->width() ||
                                             !window.rect().contains(InWindow(*button, window))))
            misfit(*button, button->text());
    }
    for (const QGroupBox* frame : window.findChildren<QGroupBox*>()) {
        if (frame->isVisibleTo(&window) &&
            (frame->fontMetrics().horizontalAdvance(frame->title()) + 16 > frame->width() ||
             !window.rect().contains(InWindow(*frame, window))))
            misfit(*frame, frame->title());
        // The lines of a frame begin below its title.
        for (const QWidget* line : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (line->isVisibleTo(&window) && line->y() < frame->fontMetrics().height())
                misfit(*line, frame->title());
        }
    }
    return misfits;
}

class TextFit : public ::testing::Test {
protected:
    void SetUp() override { saved_ = MessageBase; }
    void TearDown() override {
        DestroyUpgradeWizard();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        MessageBase = saved_;
    }

private:
    quint16 saved_ = 0;
};

} // namespace

TEST_F(TextFit, EveryPageInEveryLanguage) {
    vutest::RecordingPresenter presenter;
    FakeUpdater updater;
    updater.RemoteFileName = QStringLiteral("velmora-2.0-setup.bin");
    QStringList misfits;
    QString name;
    presenter.OnDialog = [&](QDialog& dialog) {
        misfits << Misfits(name + QString::fromLatin1(dialog.metaObject()->className()), dialog);
        return int(QDialog::Rejected);
    };
    for (int language = wlEnglish; language <= wlTurkish; ++language) {
        name = QString::number(language) + u' ';
        MessageBase = MessageBlockStart(TvuUpdaterLanguage(language));
        const QString note = QStringLiteral("Version 2.0 classifies twice as many characters.");
        AskUpgradeChoice(note, {false, true}); // Yes, Later and Skip this version
        AskUpgradeChoice(note, {true, false}); // a critical release
        AskPassword(&updater);

        DestroyUpgradeWizard();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        ShowUpgradeWizard(&updater);
        TvuUpdaterWizardForm& wizard = *vuUpdaterWizardForm();
        misfits << Misfits(name + QStringLiteral("wizard prepared"), wizard);
        // The longest figures a download shows.
        wizard.ShowFileStart(QStringLiteral("http://127.0.0.1/releases/velmora-2.0-setup.bin"), 12,
                             12);
        wizard.ShowFileSize(2147483647);
        wizard.ShowProgress(99, 11, 12, 99999.9, 359999);
        misfits << Misfits(name + QStringLiteral("wizard downloading"), wizard);
        wizard.ShowRetry(RetryStatusText(QStringLiteral("velmora-2.0-setup.bin"), 3, 3, 4,
                                         QStringLiteral("the connection broke off after "
                                                        "2147483647 bytes")));
        misfits << Misfits(name + QStringLiteral("wizard retry"), wizard);
        // Counters speak the language too.
        if (language != wlEnglish) {
            EXPECT_FALSE(wizard.AllDownloading->text().contains(QStringLiteral(" of ")))
                << wizard.AllDownloading->text().toStdString();
        }
        wizard.ShowFileMissing(QStringLiteral("velmora-2.0-data.bin"));
        misfits << Misfits(name + QStringLiteral("wizard missing file"), wizard);
        wizard.ShowWizardCompleted({QStringLiteral("velmora"), QStringLiteral("kelp.dat")});
        misfits << Misfits(name + QStringLiteral("wizard completed"), wizard);
    }
    EXPECT_EQ(presenter.Dialogs.size(), 3u * 27u);
    EXPECT_TRUE(misfits.isEmpty()) << misfits.join(u'\n').toStdString();
}
