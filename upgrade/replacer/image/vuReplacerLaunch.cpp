#include "vuReplacerLaunch.h"

#include "vuReplacerImage.h"

#include <QFile>
#include <QProcess>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vu {

namespace {

bool WriteAll(int fd, const char* data, qint64 size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

bool WriteReplacerHelper(const QString& path) {
    QFile resource(vuReplacerImageResourcePath());
    if (!resource.open(QIODevice::ReadOnly))
        return false;
    return WriteReplacerHelperImage(path, resource.readAll());
}

bool WriteReplacerHelperImage(const QString& path, const QByteArray& image) {
    if (image.isEmpty())
        return false;
    const QByteArray name = QFile::encodeName(path);
    // A helper of an earlier upgrade may still be running; unlinking works all the same.
    if (::unlink(name.constData()) != 0 && errno != ENOENT)
        return false;
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0700);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, image.constData(), image.size());
    // The mode asked for at creation is reduced by the umask; the helper must be executable.
    ok = ok && ::fchmod(fd, 0700) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(name.constData());
    return ok;
}

QString ReplacerCommandLine(const QString& helperPath, const QString& programPath,
                            const QString& parameters) {
    return helperPath + QLatin1Char(' ') + programPath + QStringLiteral(" +") + parameters;
}

QStringList ReplacerArguments(const QString& helperPath, const QString& commandLine) {
    QString rest = commandLine;
    if (rest.startsWith(helperPath + QLatin1Char(' ')))
        rest = rest.mid(helperPath.size() + 1);
    return rest.split(QLatin1Char(' '), Qt::KeepEmptyParts);
}

bool StartReplacer(const QString& helperPath, const QStringList& arguments) {
    return QProcess::startDetached(helperPath, arguments);
}

} // namespace vu
