// What the window's start leaves for later: the window comes up, settles its start-up work
// (the upgrade component's check for an interrupted upgrade included) and has loaded neither the
// transfer library nor the signature library, which only a check for a new version needs.
#include "ui/tform1.h"
#include "ui/velmora_application.h"
#if VELMORA_WITH_UPDATER
#include "upgrade/http/vuCurlLibrary.h"
#include "vuCryptoLibrary.h"
#endif

#include <QTest>

class WindowStartTest : public QObject {
    Q_OBJECT

private slots:
    void startLoadsNoTransferLibrary() {
        velmora::TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The queued start-up work runs with the first turns of the event loop.
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        QVERIFY(form.isVisible());
#if VELMORA_WITH_UPDATER
        QVERIFY(form.vuUpdater1 != nullptr);
        QVERIFY2(!CurlLibraryLoaded(), "the window's start loaded libcurl");
        QVERIFY2(!vu::CryptoLibraryLoaded(), "the window's start loaded libcrypto");
#endif
    }
};

int main(int argc, char** argv) {
    velmora::VelmoraApplication app(argc, argv);
    WindowStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_start_test.moc"
