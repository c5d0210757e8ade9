// The upgrade entry at the foot of the result memo's popup menu and the window's own upgrade
// component with its stored settings.
#include "tests/support/recording_presenter.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/upgrade/http/server/local_http_server.h"

#include "ui/menu_check.h"
#include "ui/tform1.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/updater/vuUpdater.h"

#include <memory>

#include <QAction>
#include <QDialog>
#include <QMenu>
#include <QTest>

using velmora::TForm1;

class UpgradeMenuTest : public QObject {
    Q_OBJECT
private slots:
    void entryFollowsClearingItemAndIsAlwaysEnabled();
    void storedSettingsOfTheWindowsComponent();
    void checkWithStoredSettingsShowsNothingAndSecondClickStartsNothing();
    void checkFromTheMenuAlwaysAnswers_data();
    void checkFromTheMenuAlwaysAnswers();
};

void UpgradeMenuTest::entryFollowsClearingItemAndIsAlwaysEnabled() {
    ScriptedDialogs dialogs;
    TForm1 form;
    const QList<QAction*> items = form.pm1->actions();
    QCOMPARE(items.size(), 8);
    QCOMPARE(items.at(5), form.N5);
    QCOMPARE(items.at(6), form.N7);
    QCOMPARE(items.at(7), form.N8);
    QVERIFY(form.N7->isSeparator());
    QCOMPARE(form.N8->text(), QStringLiteral("檢查升級..."));
    QVERIFY(form.N8->shortcut().isEmpty());
    QVERIFY(form.N8->icon().isNull());

    // Empty memo: the memo's own commands go grey, the upgrade entry stays available.
    form.pm1Popup();
    QVERIFY(!form.N1->isEnabled());
    QVERIFY(form.N8->isEnabled());
    form.N8->setEnabled(false);
    form.pm1Popup();
    QVERIFY2(!form.N8->isEnabled(), "the popup handler must leave the upgrade entry alone");
}

void UpgradeMenuTest::storedSettingsOfTheWindowsComponent() {
    ScriptedDialogs dialogs;
    TForm1 form;
    QVERIFY(form.vuUpdater1);
    QCOMPARE(form.vuUpdater1->parent(), &form);
    QCOMPARE(form.vuUpdater1->InfoFileURL(), QByteArray(VELMORA_INFO_FILE_URL));
    QCOMPARE(form.vuUpdater1->VersionDate(), QByteArray("06/13/2006"));
    QVERIFY(form.vuUpdater1->VersionDateAutoSet());
    QCOMPARE(form.vuUpdater1->RestartParams(), QByteArray("/afterupgrade"));
    QCOMPARE(form.vuUpdater1->InfoFile()->Files().size(), 1);
    QVERIFY(form.vuUpdater1->InfoFile()->Files().first().endsWith("/kelp.inf"));
    QVERIFY(!form.vuUpdater1->Busy());
}

void UpgradeMenuTest::checkWithStoredSettingsShowsNothingAndSecondClickStartsNothing() {
    if (QByteArray(VELMORA_INFO_FILE_URL) != "http://")
        QSKIP("built with an information file address: tests never fetch it");
    ScriptedDialogs dialogs;
    vutest::RecordingPresenter presenter;
    TForm1 form;
    // Every way a check can end; exactly one of them must be raised for the two clicks.
    QStringList outcomes;
    vu::TvuUpdater* updater = form.vuUpdater1;
    updater->OnNoInfoFile = [&](QObject*) { outcomes << "no information file"; };
    updater->OnHostUnreachable = [&](vu::TvuUpdater*, const QByteArray&, const QByteArray&) {
        outcomes << "host unreachable";
    };
    updater->OnConnLost = [&](QObject*) { outcomes << "connection lost"; };
    updater->OnNoUpdateAvailable = [&](QObject*) { outcomes << "no update"; };
    updater->OnAborted = [&](QObject*) { outcomes << "aborted"; };

    form.N8->trigger();
    QVERIFY(form.vuUpdater1->Busy());
    form.N8->trigger(); // while the first check runs
    QTRY_VERIFY_WITH_TIMEOUT(!form.vuUpdater1->Busy(), 20000);
    QTest::qWait(0);

    QCOMPARE(outcomes.size(), 1);
    QCOMPARE(int(presenter.Boxes.size()), 0);
    QCOMPARE(int(presenter.Dialogs.size()), 0);
    QCOMPARE(dialogs.messages.size(), 0);
}

void UpgradeMenuTest::checkFromTheMenuAlwaysAnswers_data() {
    QTest::addColumn<QByteArray>("path"); // on the local server; empty: the placeholder address
    QTest::addColumn<bool>("serverRuns");
    QTest::addColumn<QString>("message"); // empty: nothing is shown
    QTest::addColumn<unsigned>("icon");
    QTest::newRow("no newer version")
        << QByteArray("/kelp.inf") << true << vu::LoadMessageText(vu::vmNoNewerVersion)
        << vu::MB_ICONINFORMATION;
    QTest::newRow("information file missing")
        << QByteArray("/status/404") << true << vu::LoadMessageText(vu::vmNoInfoFile)
        << vu::MB_ICONERROR;
    // @PORT@ stands for the server's port.
    QTest::newRow("host unreachable")
        << QByteArray("/kelp.inf") << false
        << vu::FormatMessageText(vu::vmConnectionRefused,
                                 {QStringLiteral("'http://127.0.0.1:@PORT@'")})
        << vu::MB_ICONERROR;
    QTest::newRow("placeholder address") << QByteArray() << false << QString() << 0u;
}

void UpgradeMenuTest::checkFromTheMenuAlwaysAnswers() {
    QFETCH(QByteArray, path);
    QFETCH(bool, serverRuns);
    QFETCH(QString, message);
    QFETCH(unsigned, icon);
    ScriptedDialogs dialogs;
    vutest::RecordingPresenter presenter;
    TForm1 form;
    auto server = std::make_unique<vutest::LocalHTTPServer>();
    // An information file of a version older than the stored date.
    server->serve("/kelp.inf", "#date=01/01/2000\r\n#url=http://127.0.0.1:1/x\r\n", "text/plain");
    const QByteArray url = path.isEmpty()
                               ? QByteArray("http://")
                               : QByteArray::fromStdString(server->url(path.toStdString()));
    message.replace(QStringLiteral("@PORT@"), QString::number(server->port()));
    if (!serverRuns)
        server.reset(); // nothing listens on its port any more
    form.vuUpdater1->SetInfoFileURL(url);
    int ended = 0;
    form.vuUpdater1->OnUpgradeEnded = [&](vu::TvuUpdater*, vu::TvuUpgradeOutcome) { ++ended; };

    form.N8->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(ended, 1, 20000);
    if (message.isEmpty()) {
        QCOMPARE(int(presenter.Boxes.size()), 0);
        return;
    }
    QCOMPARE(int(presenter.Boxes.size()), 1);
    QCOMPARE(presenter.Boxes[0].Text, message);
    QCOMPARE(presenter.Boxes[0].Flags & vu::MB_ICONMASK, icon);
    QVERIFY(velmora::namesInformationFile(url));
}

QTEST_MAIN(UpgradeMenuTest)
#include "upgrade_menu_test.moc"
