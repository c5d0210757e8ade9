// The online test: which addresses count as a network, and what a host name that resolves to a
// loopback address makes of the machine. The latter runs the probe in a private mount and host
// name namespace with its own hosts file, so it needs root (CI has it) and is skipped otherwise.
#include "upgrade/utils/vuOnline.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <string>

#include <unistd.h>

using namespace vu;

TEST(UtilsOnline, LoopbackAddressesAreNoNetwork) {
    for (const char* loopback :
         {"127.0.0.1", "127.0.1.1", "127.255.255.254", "127.1.2.3", "::1", "::ffff:127.0.1.1"})
        EXPECT_FALSE(IsNetworkAddress(loopback)) << loopback;
    for (const char* network : {"10.0.0.2", "192.168.1.20", "126.255.255.255", "128.0.0.1",
                                "2001:db8::1", "fe80::1", "::ffff:10.0.0.2"})
        EXPECT_TRUE(IsNetworkAddress(network)) << network;
    for (const char* none : {"", "localhost", "127.0.0", "1.2.3.4.5", "::1::"})
        EXPECT_FALSE(IsNetworkAddress(none)) << none;
}

namespace {

// Runs the probe with `hosts` as /etc/hosts and "velmora-probe" as the host name; returns its
// output, or "" when the namespace could not be set up.
std::string ProbeWithHosts(const QByteArray& hosts) {
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("hosts")));
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(hosts) != hosts.size())
        return {};
    file.close();
    QProcess probe;
    probe.start(QStringLiteral("unshare"),
                {QStringLiteral("--mount"), QStringLiteral("--uts"), QStringLiteral("--"),
                 QStringLiteral("sh"), QStringLiteral("-c"),
                 QStringLiteral("mount --bind \"$1\" /etc/hosts && hostname velmora-probe && "
                                "exec \"$2\""),
                 QStringLiteral("sh"), file.fileName(), QStringLiteral(VU_TEST_ONLINE_PROBE)});
    if (!probe.waitForFinished(60000)) {
        probe.kill();
        probe.waitForFinished(5000);
        return {};
    }
    if (probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0)
        return {};
    return probe.readAllStandardOutput().trimmed().toStdString();
}

bool CanUseNamespaces() {
    if (geteuid() != 0)
        return false;
    QProcess check;
    check.start(QStringLiteral("unshare"),
                {QStringLiteral("--mount"), QStringLiteral("--uts"), QStringLiteral("true")});
    return check.waitForFinished(30000) && check.exitStatus() == QProcess::NormalExit &&
           check.exitCode() == 0;
}

} // namespace

TEST(UtilsOnline, HostNamedByALoopbackAddressIsOffline) {
    if (!CanUseNamespaces())
        GTEST_SKIP() << "needs root and mount and host name namespaces";
    // Debian's installer writes the host's own name on 127.0.1.1.
    EXPECT_EQ(ProbeWithHosts("127.0.0.1 localhost\n127.0.1.1 velmora-probe\n"), "offline");
    EXPECT_EQ(ProbeWithHosts("127.0.0.1 localhost velmora-probe\n"), "offline");
    EXPECT_EQ(ProbeWithHosts("::1 velmora-probe\n"), "offline");
    EXPECT_EQ(ProbeWithHosts("127.0.0.1 localhost\n10.20.30.40 velmora-probe\n"), "online");
    EXPECT_EQ(ProbeWithHosts("2001:db8::7 velmora-probe\n"), "online");
}
