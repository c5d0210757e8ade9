// What the window's start leaves for later: the window comes up, settles its start-up work
// (the upgrade component's check for an interrupted upgrade included) and draws itself without
// - the Big5 converters, which only a choice, a report or a save needs;
// - any image plugin.
#include "big5/big5.h"
#include "concepts/report.h"
#include "ui/tform1.h"
#include "ui/velmora_application.h"

#include <QFile>
#include <QTest>

namespace {

bool mapsContain(const char* text) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return !maps.open(QIODevice::ReadOnly) || maps.readAll().contains(text);
}

} // namespace

class WindowStartTest : public QObject {
    Q_OBJECT

private slots:
    void startDefersConvertersAndImagePlugins() {
        velmora::TForm1 form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        // The queued start-up work runs with the first turns of the event loop.
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        QVERIFY(form.isVisible());
        QVERIFY2(!velmora::big5ConvertersOpened(), "the window's start converted Big5 text");
        QVERIFY(!form.grab().isNull());
        QVERIFY2(!mapsContain("/imageformats/"), "drawing the window loaded an image plugin");
#if VELMORA_WITH_UPDATER
        QVERIFY(form.vuUpdater1 != nullptr);
#endif
        // The first report opens the converters and fills the concept table it reads.
        const velmora::ReportResult report = form.btn3Click();
        QVERIFY(report.ok());
        QVERIFY(velmora::big5ConvertersOpened());
        QCOMPARE(velmora::fromBig5(report.lines.constLast()),
                 QStringLiteral("　　1主觀－1行為族－1經驗類－10行為屬：〔因═團體利益〕═意識層次。"
                                "Ｆ２待人：〔因－目的，果－待人〕〔體═對象，用═行為〕"
                                "〔可知人事時地物情理法〕"));
    }
};

int main(int argc, char** argv) {
    velmora::VelmoraApplication app(argc, argv);
    WindowStartTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_start_test.moc"
