// The version check against a local server, through real transfers: every outcome with and
// without its message bit, the newer-version paths, the busy channel and the automatic check.
#include "updater_test_support.h"

#include "tests/upgrade/http/server/local_http_server.h"
#include "tests/upgrade/http/server/scripted_server.h"
#include "upgrade/dialogs/vuUpdaterMessages.h"
#include "upgrade/updater/vuUpdater.h"

#include <QDate>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace vu;

using namespace vutest;

namespace {

const char kNewer[] = "#date=06/14/2006\r\n#url=@1@\r\n#url2=@2@\r\n#message={Fresh.}\r\n";

class UpdaterCheck : public testing::Test {
protected:
    EnvironmentOverride environment; // outlives the updater

    void SetUp() override {
        ASSERT_TRUE(server.running());
        environment.PrivateProgramFolder();
        environment.Set(&TvuEnvironment::Today, [] { return QDate(2026, 12, 8); });
        environment.Set(&TvuEnvironment::Online, [this] { return online; });
        updater = std::make_unique<TvuUpdater>();
        updater->SetVersionDate("06/13/2006");
        log.Attach(*updater);
    }
    void TearDown() override { updater.reset(); }

    QByteArray Url(const std::string& path) const {
        return QByteArray::fromStdString(server.url(path));
    }
    void Serve(const std::string& path, std::string body) {
        // @1@, @2@, @3@ stand for the addresses /files/f1, /files/f2, /files/f3.
        for (const char* n : {"1", "2", "3"}) {
            const std::string key = std::string("@") + n + "@";
            for (std::size_t at; (at = body.find(key)) != std::string::npos;)
                body.replace(at, key.size(), server.url(std::string("/files/f") + n));
        }
        server.serve(path, body, "text/plain");
    }
    // Starts a check of `url` and waits until its outcome has been handled.
    void Check(const QByteArray& url) {
        updater->SetInfoFileURL(url);
        const std::size_t before = log.Names.size();
        updater->CheckForUpdate();
        ASSERT_TRUE(WaitFor([&] { return log.Names.size() > before && !updater->Busy(); }));
    }
    // A port on 127.0.0.1 where nothing listens any more.
    static QByteArray ClosedPortUrl() {
        // Bind an ephemeral port, then close it again: nothing listens there afterwards.
        int port = 0;
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
            port = ntohs(address.sin_port);
        if (fd >= 0)
            ::close(fd);
        return "http://127.0.0.1:" + QByteArray::number(port) + "/kelp.inf";
    }

    LocalHTTPServer server;
    RecordingPresenter presenter;
    EventLog log;
    std::unique_ptr<TvuUpdater> updater;
    bool online = true;
};

} // namespace

// An outcome's event always fires; its message box follows its bit of ShowMessages: a missing
// information file, an unreachable host and no newer version are silent by default and shown with
// their bit, a broken transfer is shown by default and silent without its bit.
TEST_F(UpdaterCheck, EachOutcomeShowsItsMessageOnlyWithItsBit) {
    Serve("/same.inf", "#date=06/13/2006\r\n#url=@1@\r\n");
    const QByteArray closed = ClosedPortUrl();
    const QString closedServer = "'" + QString(closed).section('/', 0, 2) + "'";
    const struct {
        const char* event;
        TvuUpdaterShowMessage bit;
        QByteArray first, second; // checked with the default bits, then with `bit` flipped
        QString text;
        bool whole; // else the start of the text, before the reason a library words itself
        unsigned icon;
    } rows[] = {
        {"NoInfoFile", mNoInfoFile, Url("/status/404"), Url("/status/500"),
         LoadMessageText(vmNoInfoFile), true, MB_ICONERROR},
        {"HostUnreachable", mHostUnreachable, closed, closed,
         FormatMessageText(vmConnectionRefused, {closedServer}), false, MB_ICONERROR},
        {"ConnLost", mConnLost, Url("/short/100/10"), Url("/short/100/10"),
         LoadMessageText(vmConnectionLost), true, MB_ICONERROR},
        {"NoUpdateAvailable", mNoUpdateAvailable, Url("/same.inf"), Url("/same.inf"),
         LoadMessageText(vmNoNewerVersion), true, MB_ICONINFORMATION},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.event);
        log = EventLog();
        presenter.Boxes.clear();
        updater->SetShowMessages(vuDefaultShowMessages);
        Check(row.first);
        EXPECT_EQ(presenter.Boxes.size(), (vuDefaultShowMessages & row.bit) != 0 ? 1u : 0u);
        updater->SetShowMessages(vuDefaultShowMessages ^ row.bit);
        Check(row.second);
        EXPECT_EQ(log.Names, (std::vector<std::string>{row.event, row.event}));
        const bool unreachable = row.bit == mHostUnreachable;
        EXPECT_EQ(log.UnreachableURL, unreachable ? closed : QByteArray());
        EXPECT_EQ(log.UnreachableHost, unreachable ? "127.0.0.1" : QByteArray());
        ASSERT_EQ(presenter.Boxes.size(), 1u);
        const ShownBox& box = presenter.Boxes[0];
        EXPECT_TRUE(row.whole ? box.Text == row.text : box.Text.startsWith(row.text))
            << box.Text.toStdString();
        EXPECT_EQ(box.Caption, LoadMessageText(vmCaption));
        EXPECT_EQ(box.Flags & MB_ICONMASK, row.icon);
        EXPECT_EQ(box.Flags & MB_TYPEMASK, MB_OK);
    }
}

// The message names what went wrong and the server with its real scheme and port.
TEST_F(UpdaterCheck, ServersWithoutAnAnswerAreNamedWithTheCause) {
    LocalHTTPServer tls(LocalHTTPServer::Scheme::Https);
    ScriptedServer silent([](ScriptedConnection& c) { c.Hold(); });
    const QByteArray closed = ClosedPortUrl();
    const QString closedServer = "'" + QString(closed).section('/', 0, 2) + "'";
    const QString silentServer = "'" + QString::fromStdString(silent.url("")) + "'";
    const QString tlsServer = "'" + QString::fromStdString(tls.origin()) + "'";
    updater->SetShowMessages(vuDefaultShowMessages | mHostUnreachable);
    updater->Timeouts()->ReceiveTimeout = 300; // silence for 0.3 s counts as a whole second
    const struct {
        QByteArray url;
        QString text; // the message's start, up to the reason a library words itself
    } cases[] = {
        {closed, FormatMessageText(vmConnectionRefused, {closedServer})},
        {"http://velmora.invalid/kelp.inf",
         FormatMessageText(vmNameNotResolved, {"'http://velmora.invalid'"})},
        {QByteArray::fromStdString(silent.url("/kelp.inf")),
         FormatMessageText(vmNoAnswer, {silentServer, 1})},
        {QByteArray::fromStdString(tls.url("/kelp.inf")),
         FormatMessageText(vmCertificateNotVerified, {tlsServer, "@"}).section('@', 0, 0)},
    };
    for (const auto& c : cases) {
        presenter.Boxes.clear();
        Check(c.url);
        EXPECT_EQ(log.Names.back(), "HostUnreachable") << c.url.constData();
        ASSERT_EQ(presenter.Boxes.size(), 1u) << c.url.constData();
        EXPECT_TRUE(presenter.Boxes[0].Text.startsWith(c.text))
            << presenter.Boxes[0].Text.toStdString() << " / " << c.text.toStdString();
    }
    // libcurl's reason follows for the certificate.
    EXPECT_TRUE(presenter.Boxes[0].Text.contains("certificate", Qt::CaseInsensitive));

    // No address at all (the default "http://"): no information file, no host named.
    presenter.Boxes.clear();
    updater->SetShowMessages(vuAllShowMessages);
    Check("http://");
    EXPECT_EQ(log.Names.back(), "NoInfoFile");
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(presenter.Boxes[0].Text, LoadMessageText(vmNoInfoFile));
}

// A proxy that wants credentials nobody gives is its own outcome, named in its message.
TEST_F(UpdaterCheck, ProxyWantingCredentialsEndsTheCheckNamingTheProxy) {
    Serve("/kelp.inf", kNewer);
    LocalHTTPServer proxy;
    proxy.actAsProxy("puser", "ppass");
    updater->Proxy()->AccessType = atUseProxy;
    updater->Proxy()->ProxyServer = "127.0.0.1";
    updater->Proxy()->ProxyPort = proxy.port();
    updater->Proxy()->ProxyBypass = "";
    std::optional<TvuUpgradeOutcome> outcome;
    updater->OnUpgradeEnded = [&](TvuUpdater*, TvuUpgradeOutcome ended) { outcome = ended; };
    updater->SetInfoFileURL(Url("/kelp.inf"));
    updater->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return outcome.has_value() && !updater->Busy(); }));
    EXPECT_EQ(*outcome, uoProxyRefused);
    EXPECT_TRUE(log.Names.empty()); // no missing information file, no unreachable host
    ASSERT_EQ(presenter.Boxes.size(), 1u);
    EXPECT_EQ(
        presenter.Boxes[0].Text,
        FormatMessageText(vmProxyCredentials, {"127.0.0.1:" + QString::number(proxy.port())}));
    EXPECT_EQ(server.requestCount(), 0u);
}

TEST_F(UpdaterCheck, InformationFileOverOneMebibyteIsNoInformationFile) {
    // Without a length the body is received up to the limit and given up; an announced length
    // over it is refused at once.
    Check(Url("/chunked/3000000"));
    Check(Url("/bytes/1048577"));
    EXPECT_EQ(log.Names, (std::vector<std::string>{"NoInfoFile", "NoInfoFile"}));

    // A file of exactly 1 MiB is still read.
    std::string file = "#date=06/12/2006\r\n";
    file.resize(1024 * 1024, ' ');
    Serve("/full.inf", file);
    Check(Url("/full.inf"));
    EXPECT_EQ(log.Names.back(), "NoUpdateAvailable");
}

TEST_F(UpdaterCheck, NewerVersionWithoutFilesIsNoUpdate) {
    Serve("/nofiles.inf", "#date=06/14/2006\r\n#message={x}\r\n#url1=\r\n");
    Check(Url("/nofiles.inf"));
    EXPECT_EQ(log.Names, std::vector<std::string>{"NoUpdateAvailable"});
    EXPECT_TRUE(presenter.Dialogs.empty());
}

TEST_F(UpdaterCheck, InfoFileIsFetchedPastAnyCache) {
    Serve("/same.inf", "#date=06/13/2006\r\n");
    Check(Url("/same.inf"));
    const auto requests = server.requestsFor("/same.inf");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_NE(requests[0].header("Pragma").find("no-cache"), std::string::npos);
}

TEST_F(UpdaterCheck, PasswordRefusedAbortsAndHandlerRetryCarriesCredentials) {
    // The prompt is answered Cancel: the upgrade is abandoned.
    updater->SetInfoFileURL(Url("/auth/Updates"));
    updater->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return log.Count("Aborted") == 1 && !updater->Busy(); }));
    EXPECT_EQ(log.Realm, "Updates");
    EXPECT_EQ(log.Names.front(), "PasswordRequest");
    EXPECT_EQ(presenter.Dialogs.size(), 1u);
    EXPECT_EQ(log.Count("NoInfoFile"), 0);

    // A handler that supplies the credentials and asks for a retry: no prompt, the file arrives.
    updater->OnPasswordRequest = [&](QObject*, const QByteArray& realm, bool& tryAgain) {
        log.Names.push_back("PasswordRequest");
        log.Realm = realm;
        updater->SetHTTPUsername("user");
        updater->SetHTTPPassword("secret");
        tryAgain = true;
    };
    log.Names.clear();
    presenter.Dialogs.clear();
    Check(Url("/auth/Updates"));
    EXPECT_TRUE(presenter.Dialogs.empty());
    EXPECT_EQ(log.Count("PasswordRequest"), 1);
    EXPECT_EQ(log.Count("Aborted"), 0);
    // The body "granted" is an information file without markers: no update.
    EXPECT_EQ(log.Names.back(), "NoUpdateAvailable");
}

TEST_F(UpdaterCheck, PasswordRequestWithoutItsBitAbortsWithoutPrompt) {
    updater->SetShowMessages(vuDefaultShowMessages & ~mPasswordRequest);
    updater->SetInfoFileURL(Url("/auth/Updates"));
    updater->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return log.Count("Aborted") == 1 && !updater->Busy(); }));
    EXPECT_TRUE(presenter.Dialogs.empty());
}

TEST_F(UpdaterCheck, NewerVersionAsksAndLaterDeclines) {
    Serve("/newer.inf", kNewer);
    presenter.DialogResult = QDialog::Rejected;
    Check(Url("/newer.inf"));
    EXPECT_EQ(log.Names, (std::vector<std::string>{"BeginUpgrade", "LaterUpgrade"}));
    EXPECT_EQ(log.BeginMessage, "Fresh.");
    EXPECT_EQ(log.BeginMethod, umSelfUpgrade);
    EXPECT_EQ(log.BeginFiles, (QByteArrayList{Url("/files/f1"), Url("/files/f2")}));
    EXPECT_EQ(presenter.Dialogs.size(), 1u);
    // The pending list stays until the next check.
    EXPECT_EQ(updater->PendingFiles().size(), 2);
}

TEST_F(UpdaterCheck, HandlerCanRefuseOrChangeTheUpgradeBeforeTheQuestion) {
    Serve("/newer.inf", kNewer);
    updater->OnBeginUpgrade = [&](TvuUpdater*, const QByteArray&, TvuUpgradeMethod, QByteArrayList&,
                                  bool& canUpgrade) {
        log.Names.push_back("BeginUpgrade");
        canUpgrade = false;
    };
    Check(Url("/newer.inf"));
    EXPECT_EQ(log.Names, (std::vector<std::string>{"BeginUpgrade", "LaterUpgrade"}));
    EXPECT_TRUE(presenter.Dialogs.empty());

    // Without the question bit the upgrade starts at once; the handler's list is the one used.
    updater->OnBeginUpgrade = [&](TvuUpdater*, const QByteArray&, TvuUpgradeMethod,
                                  QByteArrayList& files, bool&) { files.removeLast(); };
    updater->SetShowMessages(vuDefaultShowMessages & ~mAskUpgrade);
    updater->Wizard()->SetEnabled(false);
    log.Names.clear();
    updater->SetInfoFileURL(Url("/newer.inf"));
    updater->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return !updater->CheckingInfoFile(); }));
    EXPECT_EQ(updater->PendingFiles(), QByteArrayList{Url("/files/f1")});
    EXPECT_EQ(log.Count("LaterUpgrade"), 0);
    EXPECT_TRUE(presenter.Dialogs.empty());
    updater->Abort();
}

TEST_F(UpdaterCheck, RedirectMethodOpensOnlyTheFirstAddress) {
    Serve("/redirect.inf", std::string(kNewer) + "#url3=@3@\r\n#method=2\r\n");
    const std::vector<QStringList>& started = environment.RecordProcessStarts();
    presenter.DialogResult = QDialog::Accepted;
    Check(Url("/redirect.inf"));
    EXPECT_EQ(log.BeginMethod, umRedirectToURL);
    EXPECT_EQ(log.BeginFiles.size(), 3);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(started[0].contains(QString::fromLatin1(Url("/files/f1"))));
    EXPECT_FALSE(started[0].join(' ').contains("/files/f2"));
    // Nothing is downloaded.
    EXPECT_TRUE(server.requestsFor("/files/f1").empty());
    EXPECT_FALSE(updater->Busy());
}

TEST_F(UpdaterCheck, RedirectWithTheListEmptiedByTheHandlerOpensNothing) {
    Serve("/redirect.inf", std::string(kNewer) + "#method=2\r\n");
    int starts = 0;
    environment.Set(&TvuEnvironment::StartProcess,
                    [&](const QString&, const QStringList&) { return ++starts, true; });
    updater->OnBeginUpgrade = [](TvuUpdater*, const QByteArray&, TvuUpgradeMethod,
                                 QByteArrayList& files, bool&) { files.clear(); };
    updater->SetShowMessages(vuDefaultShowMessages & ~mAskUpgrade);
    updater->OnLaterUpgrade = [&](TvuUpdater*) { log.Names.push_back("LaterUpgrade"); };
    updater->SetInfoFileURL(Url("/redirect.inf"));
    updater->CheckForUpdate();
    ASSERT_TRUE(WaitFor([&] { return server.requestCount() == 1 && !updater->Busy(); }));
    EXPECT_EQ(starts, 0);
    EXPECT_TRUE(updater->PendingFiles().isEmpty());
}

TEST_F(UpdaterCheck, CheckWhileTheChannelIsBusyDoesNothing) {
    updater->SetInfoFileURL(Url("/stall-headers"));
    updater->CheckForUpdate();
    ASSERT_TRUE(server.waitForStalled(1));
    EXPECT_TRUE(updater->Busy());
    updater->SetInfoFileURL(Url("/status/404"));
    updater->CheckForUpdate();
    updater->CheckForUpdate();
    server.releaseStalls();
    ASSERT_TRUE(WaitFor([&] { return !updater->Busy() && !log.Names.empty(); }));
    EXPECT_EQ(server.requestCount(), 1u);
    EXPECT_TRUE(server.requestsFor("/status/404").empty());
}

TEST_F(UpdaterCheck, AutomaticCheckWaitsForTheNetworkAndRetriesUnreachableHosts) {
    online = false;
    updater->SetShowMessages(vuAllShowMessages & ~mAskUpgrade);
    updater->SetAutoCheckDelay(30);
    updater->SetInfoFileURL(ClosedPortUrl());
    int onlineQueries = 0;
    environment.Set(&TvuEnvironment::Online, [&] {
        ++onlineQueries;
        return online;
    });
    updater->SetAutoCheck(true);
    EXPECT_TRUE(updater->AutoCheckTimerActive());
    EXPECT_EQ(updater->AutoCheckTimerInterval(), 30);
    // Offline: the timer keeps firing and nothing is fetched.
    ASSERT_TRUE(WaitFor([&] { return onlineQueries >= 3; }));
    EXPECT_TRUE(log.Names.empty());
    EXPECT_TRUE(updater->AutoCheckTimerActive());

    // Online but the host cannot be reached: no message, a new attempt after each delay.
    online = true;
    ASSERT_TRUE(WaitFor([&] { return log.Count("HostUnreachable") >= 2; }));
    EXPECT_TRUE(presenter.Boxes.empty());
    EXPECT_TRUE(updater->AutomaticCheck());

    // Once a check gets through, the timer stops for good, and no box is shown for the
    // automatic check's "no newer version".
    Serve("/same.inf", "#date=06/13/2006\r\n");
    updater->SetInfoFileURL(Url("/same.inf"));
    ASSERT_TRUE(WaitFor([&] { return log.Count("NoUpdateAvailable") == 1 && !updater->Busy(); }));
    EXPECT_TRUE(updater->AutomaticCheckDone());
    EXPECT_FALSE(updater->AutoCheckTimerActive());
    EXPECT_TRUE(presenter.Boxes.empty());

    // A check by the user afterwards is not automatic and shows its box again.
    Check(Url("/same.inf"));
    EXPECT_FALSE(updater->AutomaticCheck());
    EXPECT_EQ(presenter.Boxes.size(), 1u);
}

TEST_F(UpdaterCheck, AutomaticFlagLastsThroughTheDownloadThatFollows) {
    // The automatic check finds a newer version whose file lies on a host that is gone: the lost
    // host during the download shows no message and re-arms the timer.
    server.serve("/auto.inf",
                 "#date=06/14/2006\r\n#url=" + ClosedPortUrl().toStdString() +
                     "\r\n#message={m}\r\n",
                 "text/plain");
    updater->SetShowMessages(vuAllShowMessages);
    updater->Wizard()->SetEnabled(false);
    presenter.DialogResult = QDialog::Accepted; // "Yes" to the upgrade question
    updater->SetInfoFileURL(Url("/auto.inf"));
    updater->SetAutoCheckDelay(100);
    updater->SetAutoCheck(true);
    ASSERT_TRUE(WaitFor([&] { return log.Count("HostUnreachable") == 1 && !updater->Busy(); }));
    EXPECT_EQ(log.Names, (std::vector<std::string>{"BeginUpgrade", "HostUnreachable"}));
    EXPECT_EQ(presenter.Dialogs.size(), 1u); // the question, and no message box after it
    EXPECT_TRUE(presenter.Boxes.empty());
    EXPECT_TRUE(updater->AutomaticCheck());
    EXPECT_FALSE(updater->AutomaticCheckDone());
    EXPECT_TRUE(updater->AutoCheckTimerActive());
    updater->SetAutoCheck(false);
}

TEST_F(UpdaterCheck, AutoCheckTimerFollowsItsSettings) {
    updater->SetAutoCheckDelay(0);
    updater->SetAutoCheck(true);
    EXPECT_FALSE(updater->AutoCheckTimerActive());
    updater->SetAutoCheckDelay(500);
    EXPECT_FALSE(updater->AutoCheckTimerActive()); // read only when the timer is re-evaluated
    updater->SetAutoCheck(true);
    EXPECT_TRUE(updater->AutoCheckTimerActive());
    EXPECT_EQ(updater->AutoCheckTimerInterval(), 500);
    updater->SetAutoCheck(false);
    EXPECT_FALSE(updater->AutoCheckTimerActive());
}
