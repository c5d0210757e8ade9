// A small program that owns an upgrade component, for the whole-cycle test. It checks the
// address in VU_HOST_INFO_URL, downloads, presses OK on the wizard's completion page and is
// closed by the component; started again with the restart switch, it records OnAfterRestart and
// ends. Every step is appended to the file VU_HOST_RECORD as "<version> <step>".
#include "upgrade/dialogs/vuUpdaterWizard.h"
#include "upgrade/updater/vuUpdater.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QTimer>

using namespace vu;

#ifndef HOST_VERSION
#define HOST_VERSION "0.0"
#endif

namespace {

void Record(const QByteArray& step) {
    QFile file(QString::fromLocal8Bit(qgetenv("VU_HOST_RECORD")));
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
        file.write(QByteArray(HOST_VERSION) + " " + step + "\n");
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Velmora"));
    window.show();

    auto* updater = new TvuUpdater(&window);
    updater->SetInfoFileURL(qgetenv("VU_HOST_INFO_URL"));
    updater->SetVersionControl(byNumber);
    updater->SetVersionNumber(HOST_VERSION);
    updater->SetShowMessages(0);
    updater->OnAfterRestart = [](TvuUpdater*) {
        Record("afterrestart " + QCoreApplication::arguments().value(1).toLocal8Bit());
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    };
    updater->OnNoUpdateAvailable = [](TvuUpdater*) {
        Record("noupdate");
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    };
    updater->OnFileDone = [](TvuUpdater*, const QByteArray&) { Record("filedone"); };
    updater->OnEndUpgrade = [](TvuUpdater*, bool&) { Record("endupgrade"); };
    auto fail = [](TvuUpdater*) {
        Record("failed");
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    };
    updater->OnAborted = fail;
    updater->OnConnLost = fail;
    updater->OnNoInfoFile = fail;

    // The user presses OK on the completion page.
    QTimer presser;
    QObject::connect(&presser, &QTimer::timeout, [] {
        TvuUpdaterWizardForm* form = vuUpdaterWizardForm();
        if (form && form->Completed())
            form->FinishBtnClick();
    });
    presser.start(10);
    // Never outlive a broken test.
    QTimer::singleShot(120000, qApp, &QCoreApplication::quit);

    Record("started");
    updater->Loaded();
    if (QCoreApplication::arguments().value(1).toLocal8Bit() != updater->RestartParams())
        QTimer::singleShot(0, updater, [updater] { updater->CheckForUpdate(); });
    const int rc = app.exec();
    Record("exit");
    return rc;
}
