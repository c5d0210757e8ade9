#include "upgrade/utils/vuFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <ctime>

namespace vu {

QString GetTempDir() {
    const QByteArray env = qgetenv("TMPDIR");
    if (!env.isEmpty()) {
        const QFileInfo info(QString::fromLocal8Bit(env));
        if (info.isDir()) {
            QString path = info.filePath();
            return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        }
    }
    const QString own =
        QStringLiteral("/tmp/velmora-") + QString::number(static_cast<qulonglong>(getuid()));
    if (EnsurePrivateFolder(own))
        return own + QLatin1Char('/');
    QString dir =
        QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath();
    return dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

bool EnsurePrivateFolder(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty())
        return false;
    if (mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    // Opened without following links, then checked through the open descriptor, so that the
    // folder cannot be swapped between the check and the change of mode.
    const int fd = open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid();
    if (ok && (st.st_mode & 077) != 0)
        ok = fchmod(fd, st.st_mode & 0700) == 0;
    close(fd);
    return ok;
}

QString URLToFileName(const QString& url) {
    QString s = url;
    s.replace(QLatin1Char('/'), QLatin1Char('\\'));
    const int cut = std::max(s.lastIndexOf(QLatin1Char('\\')), s.lastIndexOf(QLatin1Char(':')));
    return s.mid(cut + 1);
}

namespace {

// A date-time packed with two-second resolution into the DOS range and read back as UTC seconds.
bool PackedFileTime(TDateTime value, timespec& out) {
    if (!std::isfinite(value))
        return false;
    int y, mo, d, h, mi, s, ms;
    DecodeDate(value, y, mo, d);
    DecodeTime(value, h, mi, s, ms);
    if (y < 1980 || y > 2107)
        return false;
    TDateTime packed = 0;
    if (!TryEncodeDateTime(y, mo, d, h, mi, s / 2 * 2, 0, packed))
        return false;
    out.tv_sec = static_cast<time_t>(std::llround(UnixFromDateTime(packed)));
    out.tv_nsec = 0;
    return true;
}

} // namespace

bool SetFileTimes(const QString& fileName, TDateTime creation, TDateTime lastWrite,
                  TDateTime lastAccess) {
    Q_UNUSED(creation); // Linux keeps no settable creation time.
    const QByteArray path = QFile::encodeName(fileName);
    if (path.isEmpty())
        return false;
    const int fd = open(path.constData(), O_WRONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return false;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = 0;
    times[0].tv_nsec = times[1].tv_nsec = UTIME_OMIT;
    if (lastAccess != -1)
        PackedFileTime(lastAccess, times[0]);
    if (lastWrite != -1)
        PackedFileTime(lastWrite, times[1]);
    const bool ok = futimens(fd, times) == 0;
    close(fd);
    return ok;
}

qint64 FileSize64(const QString& fileName) {
    const QByteArray path = QFile::encodeName(fileName);
    struct stat st {};
    if (path.isEmpty() || stat(path.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return -1;
    return static_cast<qint64>(st.st_size);
}

bool ResourceToStream(const QString& resourceName, const QString& resourceType, QIODevice* stream) {
    if (!stream || resourceName.isEmpty() || resourceType.isEmpty())
        return false;
    QFile resource(QStringLiteral(":/") + resourceType + QLatin1Char('/') + resourceName);
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    const QByteArray data = resource.readAll();
    if (data.isEmpty())
        return false;
    return stream->isWritable() && stream->write(data) == data.size();
}

} // namespace vu
