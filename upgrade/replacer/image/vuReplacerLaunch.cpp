#include "upgrade/replacer/image/vuReplacerLaunch.h"

#include "upgrade/replacer/image/vuReplacerImage.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern char** environ;

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

qint64 SpawnReplacer(const QString& helperPath, const QStringList& arguments, int handedFd,
                     QString* error) {
    const QByteArray program = QFile::encodeName(helperPath);
    QList<QByteArray> encoded{program};
    for (const QString& argument : arguments)
        encoded.append(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& argument : encoded)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (handedFd >= 0) {
        // Duplicated onto another number, which clears close-on-exec in the helper.
        const int target = handedFd == 3 ? 4 : 3;
        posix_spawn_file_actions_adddup2(&actions, handedFd, target);
    }
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(rc));
        return -1;
    }
    return pid;
}

bool StartReplacer(const QString& helperPath, const QStringList& arguments) {
    return SpawnReplacer(helperPath, arguments, -1) > 0;
}

} // namespace vu
