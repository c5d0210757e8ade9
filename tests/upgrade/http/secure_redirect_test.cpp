// A secure transfer never continues in the clear: a redirect from https to http is not followed,
// while redirects that stay secure, or move from http to https, still are.

#include "tests/upgrade/http/server/local_http_server.h"
#include "transfer_fixture.h"

#include <QUrl>

#include <gtest/gtest.h>

using namespace vu;

using vutest::Fetch;
using vutest::LocalHTTPServer;
using vutest::RecordedTransfer;

namespace {

QByteArray RedirectTo(const LocalHTTPServer& from, const std::string& target) {
    return QByteArray::fromStdString(from.url("/redirect-to?u=")) +
           QUrl::toPercentEncoding(QString::fromStdString(target));
}

class SecureRedirect : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tls.running());
        ASSERT_TRUE(plain.running());
        http.Proxy()->AccessType = atDirect;
        http.SetCertificateAuthorityFile(QString::fromStdString(tls.certificateFile()));
        vutest::Record(http, r);
    }
    LocalHTTPServer tls{LocalHTTPServer::Scheme::Https};
    LocalHTTPServer plain;
    TvuCustomHTTP http;
    RecordedTransfer r;
};

TEST_F(SecureRedirect, HttpsToHttpIsRefusedAndNothingIsFetchedInTheClear) {
    http.SetURL(RedirectTo(tls, plain.url("/bytes/10")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "TransferFailed", "HTTPError"}));
    EXPECT_EQ(r.ErrorStatus, 302);
    EXPECT_TRUE(r.Redirects.isEmpty());
    EXPECT_EQ(plain.requestCount(), 0u);

    // The same through a secure hop first: the downgrade is refused wherever it happens.
    r = RecordedTransfer();
    http.SetURL(RedirectTo(tls, RedirectTo(tls, plain.url("/bytes/10")).toStdString()));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.ErrorStatus, 302);
    EXPECT_EQ(plain.requestCount(), 0u);
}

TEST_F(SecureRedirect, SecureAndUpgradingRedirectsAreFollowed) {
    http.SetURL(RedirectTo(tls, tls.url("/bytes/10")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
    EXPECT_EQ(r.Body, QByteArray::fromStdString(LocalHTTPServer::pattern(10)));

    r = RecordedTransfer();
    http.SetURL(RedirectTo(plain, tls.url("/bytes/10")));
    ASSERT_TRUE(Fetch(http));
    EXPECT_EQ(r.Events, QStringList({"HeaderInfo", "Done"}));
}

} // namespace
