#include "ui/session_bus.h"

#include <QTemporaryDir>
#include <QTest>

#include <map>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using velmora::sessionBusAvailable;

namespace {

velmora::EnvironmentReader environmentOf(std::map<std::string, std::string> values) {
    return [values = std::move(values)](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

// A listening unix socket at `path`, as a bus daemon leaves it; -1 on failure.
int listenAt(const QByteArray& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    qstrncpy(address.sun_path, path.constData(), sizeof address.sun_path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 1) != 0)
        return -1;
    return fd;
}

} // namespace

class SessionBusTest : public QObject {
    Q_OBJECT
private slots:
    void addressOrPerUserSocketMeansABus() {
        QVERIFY(!sessionBusAvailable(environmentOf({})));
        QVERIFY(!sessionBusAvailable(environmentOf({{"DBUS_SESSION_BUS_ADDRESS", ""}})));
        QVERIFY(sessionBusAvailable(
            environmentOf({{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"}})));

        QTemporaryDir runtime;
        QVERIFY(runtime.isValid());
        const std::string dir = runtime.path().toStdString();
        QVERIFY(!sessionBusAvailable(environmentOf({{"XDG_RUNTIME_DIR", dir}})));
        // A plain file of that name is no bus.
        QFile plain(runtime.filePath(QStringLiteral("bus")));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QVERIFY(!sessionBusAvailable(environmentOf({{"XDG_RUNTIME_DIR", dir}})));
        QVERIFY(plain.remove());
        const int fd = listenAt(QFile::encodeName(runtime.filePath(QStringLiteral("bus"))));
        QVERIFY(fd >= 0);
        QVERIFY(sessionBusAvailable(environmentOf({{"XDG_RUNTIME_DIR", dir}})));
        ::close(fd);
    }
};

QTEST_GUILESS_MAIN(SessionBusTest)
#include "session_bus_test.moc"
