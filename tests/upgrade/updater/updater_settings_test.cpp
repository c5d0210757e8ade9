// The upgrade component without a server: defaults, stored settings and their rules, the main
// window's configuration, the restart event, the language setting and the version decision.
#include "updater_test_support.h"

#include "language/vuUpdaterLanguage.h"
#include "upgrade/updater/vuUpdater.h"
#include "upgrade/updater/vuUpdater1Settings.h"
#include "upgrade/updater/vuUpdaterHiddenWindow.h"

#include <QDate>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace vu;

using namespace vutest;

namespace {

QByteArray Save(const TvuUpdater& u) {
    return SaveComponentSettings(u);
}

} // namespace

TEST(UpdaterDefaults, PublishedSettingsStartAtTheirDefaults) {
    TvuUpdater u;
    EXPECT_FALSE(u.AutoCheck());
    EXPECT_EQ(u.AutoCheckDelay(), 10000);
    EXPECT_EQ(u.InfoFileURL(), "http://");
    EXPECT_EQ(u.RestartParams(), "/afterupgrade");
    EXPECT_EQ(u.MiscFilesUpgrade(), mfuAlwaysDownload);
    EXPECT_EQ(u.VersionControl(), byDate);
    EXPECT_EQ(u.VersionDate(), QDate::currentDate().toString("MM/dd/yyyy").toLatin1());
    EXPECT_TRUE(u.VersionDateAutoSet());
    EXPECT_TRUE(u.VersionNumber().isEmpty());
    EXPECT_EQ(u.ShowMessages(), 75);
    EXPECT_TRUE(u.UseCache());
    EXPECT_EQ(u.ThreadPriority(), tpNormal);
    EXPECT_EQ(qint32(u.TransferBufferSize()), 4096);
    ASSERT_NE(u.InfoFile(), nullptr);
    EXPECT_TRUE(u.InfoFile()->Files().isEmpty());
    EXPECT_EQ(u.InfoFile()->UpgradeMethod(), umSelfUpgrade);
    ASSERT_NE(u.Wizard(), nullptr);
    EXPECT_TRUE(u.Wizard()->Enabled());
    EXPECT_FALSE(u.Wizard()->HideFileLocation());
    EXPECT_TRUE(u.Wizard()->Pic118x218().isNull());
    EXPECT_EQ(u.Wizard()->Language(), wlAuto);
    EXPECT_TRUE(u.Wizard()->StayOnTop());
    EXPECT_FALSE(u.CheckingInfoFile() || u.AutomaticCheck() || u.AutomaticCheckDone() ||
                 u.Aborted());
    EXPECT_FALSE(u.AutoCheckTimerActive());
}

TEST(UpdaterStoredSettings, RestartParamsStoredOnlyWhenChangedAndEmptyReadsAsBlank) {
    TvuUpdater u;
    EXPECT_FALSE(Save(u).contains("RestartParams"));
    u.SetRestartParams("");
    EXPECT_EQ(u.RestartParams(), " ");
    EXPECT_TRUE(Save(u).contains("RestartParams=\" \""));

    TvuUpdater v;
    ASSERT_TRUE(LoadComponentSettings(v, "RestartParams=\"\"\n"));
    EXPECT_EQ(v.RestartParams(), " ");
    ASSERT_TRUE(LoadComponentSettings(v, "RestartParams=\"/afterupgrade\"\n"));
    EXPECT_FALSE(Save(v).contains("RestartParams"));
}

TEST(UpdaterStoredSettings, EveryChangedSettingSurvivesARoundTrip) {
    TvuUpdater u;
    u.SetAutoCheckDelay(2500);
    u.SetInfoFileURL("http://127.0.0.1/\xa4\xa4.inf");
    u.SetRestartParams("/again");
    u.SetMiscFilesUpgrade(mfuOnlyIfSizeDifferent);
    u.SetVersionControl(byNumber);
    u.SetVersionDate("01/02/2003");
    u.SetVersionDateAutoSet(false);
    u.SetVersionNumber("1.2.3.4");
    u.SetShowMessages(mNoInfoFile | mConnLost);
    u.SetUseCache(false);
    u.InfoFile()->SetFiles({"http://a/one", "http://a/two"});
    u.InfoFile()->SetUpgradeMethod(umUseExternalSetup);
    u.InfoFile()->SetUpgradeMsg("line\r\nnext");
    u.Wizard()->SetEnabled(false);
    u.Wizard()->SetHideFileLocation(true);
    u.Wizard()->SetStayOnTop(false);
    QImage picture(118, 218, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    u.Wizard()->SetPic118x218(picture);
    u.Wizard()->SetLanguage(wlGerman);
    u.SetHTTPUsername("name");
    u.SetHTTPPassword("word");
    u.Proxy()->AccessType = atUseProxy;
    u.Proxy()->ProxyServer = "proxy.example";
    u.Proxy()->ProxyPort = 3128;
    u.Proxy()->ProxyBypass = "127.0.0.1;*.local";
    const QByteArray text = Save(u);

    TvuUpdater v;
    QStringList problems;
    ASSERT_TRUE(LoadComponentSettings(v, text, &problems)) << problems.join("; ").toStdString();
    EXPECT_EQ(Save(v), text);
    EXPECT_EQ(v.AutoCheckDelay(), 2500);
    EXPECT_EQ(v.InfoFileURL(), "http://127.0.0.1/\xa4\xa4.inf");
    EXPECT_EQ(v.RestartParams(), "/again");
    EXPECT_EQ(v.MiscFilesUpgrade(), mfuOnlyIfSizeDifferent);
    EXPECT_EQ(v.VersionControl(), byNumber);
    EXPECT_EQ(v.VersionDate(), "01/02/2003");
    EXPECT_FALSE(v.VersionDateAutoSet());
    EXPECT_EQ(v.ShowMessages(), mNoInfoFile | mConnLost);
    EXPECT_FALSE(v.UseCache());
    EXPECT_EQ(v.InfoFile()->Files(), (QByteArrayList{"http://a/one", "http://a/two"}));
    EXPECT_EQ(v.InfoFile()->UpgradeMethod(), umUseExternalSetup);
    EXPECT_EQ(v.InfoFile()->UpgradeMsg(), "line\r\nnext");
    EXPECT_FALSE(v.Wizard()->Enabled());
    EXPECT_TRUE(v.Wizard()->HideFileLocation());
    EXPECT_FALSE(v.Wizard()->StayOnTop());
    EXPECT_EQ(v.Wizard()->Pic118x218().size(), QSize(118, 218));
    EXPECT_EQ(v.Wizard()->Language(), wlGerman);
    EXPECT_EQ(v.HTTPUsername(), "name");
    EXPECT_EQ(v.HTTPPassword(), "word");
    EXPECT_EQ(*v.Proxy(), *u.Proxy());
    // Stored proxy settings as an administrator writes them by hand.
    TvuUpdater w;
    ASSERT_TRUE(
        LoadComponentSettings(w, "Proxy.AccessType=atDirect\nProxy.ProxyPort=8118\n", &problems))
        << problems.join("; ").toStdString();
    EXPECT_EQ(w.Proxy()->AccessType, atDirect);
    EXPECT_EQ(w.Proxy()->ProxyPort, 8118);
    EXPECT_FALSE(LoadComponentSettings(w, "Proxy.AccessType=atSomewhere\n"));
}

TEST(UpdaterStoredSettings, ValuesThatDoNotFitAreRefused) {
    TvuUpdater u;
    QStringList problems;
    EXPECT_FALSE(LoadComponentSettings(u,
                                       "ShowMessages=128\nVersionControl=byColour\n"
                                       "AutoCheck=\"yes\"\nWizard.Language=wlKlingon\n"
                                       "InfoFileURL=5\nNoSuchThing=1\n",
                                       &problems));
    EXPECT_EQ(problems.size(), 6);
    EXPECT_EQ(u.ShowMessages(), 75);
    EXPECT_EQ(u.VersionControl(), byDate);
    EXPECT_FALSE(u.AutoCheck());
    EXPECT_EQ(u.Wizard()->Language(), wlAuto);
    EXPECT_EQ(u.InfoFileURL(), "http://");
}

TEST(UpdaterMainWindowInstance, StoredSettingsLoadAndTheCheckEndsSilently) {
    TvuUpdater u;
    QStringList problems;
    ASSERT_TRUE(LoadComponentSettings(u, vuUpdater1Settings(), &problems))
        << problems.join("; ").toStdString();
    EXPECT_EQ(u.InfoFile()->Files(), QByteArrayList{"http://velmora.invalid/upgrade/kelp.inf"});
    EXPECT_EQ(u.InfoFileURL(), VELMORA_INFO_FILE_URL);
    EXPECT_EQ(u.VersionDate(), "06/13/2006");
    EXPECT_TRUE(u.VersionDateAutoSet());
    EXPECT_EQ(u.ShowMessages(), 75);
    if (u.InfoFileURL() != "http://")
        GTEST_SKIP() << "built with an information file address: tests never fetch it";

    RecordingPresenter presenter;
    EventLog log;
    log.Attach(u);
    u.CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return !log.Names.empty() && !u.Busy(); }));
    EXPECT_TRUE(presenter.Boxes.empty());
    EXPECT_TRUE(presenter.Dialogs.empty());
    EXPECT_EQ(log.Count("BeginUpgrade"), 0);
}

TEST(UpdaterAfterRestart, RaisedAfterLoadingOnlyForTheExactSwitch) {
    EnvironmentOverride environment;
    struct Case {
        QByteArray argument, restartParams;
        bool raised;
    };
    const Case cases[] = {{"/afterupgrade", "", true},
                          {"/AfterUpgrade", "", false},
                          {"", "", false},
                          {"/afterupgrade0", "", false},
                          {"-again", "-again", true}};
    for (const Case& c : cases) {
        environment.Set(&TvuEnvironment::FirstArgument, [&] { return c.argument; });
        TvuUpdater u;
        int raised = 0;
        u.OnAfterRestart = [&](TvuUpdater* sender) {
            EXPECT_EQ(sender, &u);
            ++raised;
        };
        const QByteArray settings = c.restartParams.isEmpty()
                                        ? QByteArray()
                                        : "RestartParams=\"" + c.restartParams + "\"\n";
        ASSERT_TRUE(LoadComponentSettings(u, settings));
        EXPECT_EQ(raised, c.raised ? 1 : 0) << c.argument.toStdString();
    }
    // Unassigned: loading is harmless.
    environment.Set(&TvuEnvironment::FirstArgument, [] { return QByteArray("/afterupgrade"); });
    TvuUpdater quiet;
    EXPECT_TRUE(LoadComponentSettings(quiet, ""));
}

TEST(UpdaterLanguage, SetterSelectsBlocksAndAutoDetectsAgain) {
    qputenv("LC_ALL", "zh_TW.UTF-8");
    TvuUpdater u;
    EXPECT_EQ(MessageBase, 42050); // detected when the wizard settings were created
    u.Wizard()->SetLanguage(wlRussian);
    EXPECT_EQ(MessageBase, 41050);
    EXPECT_EQ(u.Wizard()->Language(), wlRussian);
    // The same value again does nothing, even when another upgrader changed the block.
    MessageBase = 41000;
    u.Wizard()->SetLanguage(wlRussian);
    EXPECT_EQ(MessageBase, 41000);
    // Auto detects the system's language again.
    qputenv("LC_ALL", "pt_BR.UTF-8");
    u.Wizard()->SetLanguage(wlAuto);
    EXPECT_EQ(MessageBase, 41300);
    EXPECT_EQ(u.Wizard()->Language(), wlAuto);
    qputenv("LC_ALL", "C");
    u.Wizard()->SetLanguage(wlEnglish);
    EXPECT_EQ(MessageBase, 41000);
    qunsetenv("LC_ALL");
}

TEST(UpdaterHiddenWindow, TimerKeepsFiringAndAnErrorInItsHandlerIsShownNotFatal) {
    RecordingPresenter presenter;
    int fired = 0;
    TvuUpdaterHiddenWindow window([&] {
        if (++fired == 1)
            throw std::runtime_error("timer trouble");
    });
    window.SetTimer(5);
    EXPECT_TRUE(window.TimerActive());
    ASSERT_TRUE(WaitFor([&] { return fired >= 3; }));
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Text, "timer trouble");
    EXPECT_EQ(presenter.Boxes[0].Flags & MB_ICONMASK, MB_ICONSTOP);
    window.KillTimer();
    EXPECT_FALSE(window.TimerActive());
    EXPECT_TRUE(window.QueryEndSession());
}

class UpdaterDecision : public testing::Test {
protected:
    void SetUp() override {
        environment.Set(&TvuEnvironment::Today, [] { return QDate(2026, 12, 8); });
    }
    EnvironmentOverride environment;
    TvuUpdater u;
};

TEST_F(UpdaterDecision, ByDate) {
    u.SetVersionDate("06/13/2006");
    EXPECT_FALSE(u.IsNewerVersion("", "06/13/2006"));
    EXPECT_TRUE(u.IsNewerVersion("", "06/14/2006"));
    EXPECT_TRUE(u.IsNewerVersion("", "6/14/2006"));
    EXPECT_FALSE(u.IsNewerVersion("", "06/12/2006"));
    // The year as written: 06 is the year 6.
    EXPECT_FALSE(u.IsNewerVersion("", "06/14/06"));
    // A missing or unreadable file date counts as today.
    EXPECT_TRUE(u.IsNewerVersion("", ""));
    EXPECT_TRUE(u.IsNewerVersion("", "13/14/2006"));
    // An unreadable VersionDate is today as well: not newer than today, newer than tomorrow.
    u.SetVersionDate("garbage");
    EXPECT_FALSE(u.IsNewerVersion("", "12/08/2026"));
    EXPECT_TRUE(u.IsNewerVersion("", "12/09/2026"));
    // The version number is not read by date.
    u.SetVersionDate("06/13/2006");
    EXPECT_FALSE(u.IsNewerVersion("99.0", "06/13/2006"));
}

TEST_F(UpdaterDecision, ByNumber) {
    u.SetVersionControl(byNumber);
    u.SetVersionNumber("1.9");
    EXPECT_TRUE(u.IsNewerVersion("1.10", "01/01/1990"));
    u.SetVersionNumber("1.2.0.0");
    EXPECT_FALSE(u.IsNewerVersion("1.2", "12/31/9999"));
    EXPECT_TRUE(u.IsNewerVersion("1.2.0.1", ""));
    EXPECT_FALSE(u.IsNewerVersion("", ""));
}
