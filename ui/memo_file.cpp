#include "ui/memo_file.h"

#include "big5/big5.h"
#include "ui/error_box.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace velmora {

QString withDefaultSuffix(const QString& path, const QString& suffix) {
    const QString name = QFileInfo(path).fileName();
    if (suffix.isEmpty() || name.isEmpty() || name.contains(QLatin1Char('.')))
        return path;
    return path + QLatin1Char('.') + suffix;
}

namespace {

// The first character (a whole code point) of `text` that has no Big5 form.
QString firstUnencodable(const QString& text) {
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!toBig5(character))
            return character;
        i += length;
    }
    return {};
}

QString codePointName(const QString& character) {
    const char32_t code = character.toUcs4().value(0);
    return QStringLiteral("U+") +
           QStringLiteral("%1").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

void saveBig5File(const QString& path, const QString& text) {
    const std::optional<QByteArray> bytes = toBig5(text);
    if (!bytes) {
        const QString character = firstUnencodable(text);
        throw UiError(QStringLiteral("The character \"%1\" (%2) has no Big5 form and cannot be "
                                     "saved; nothing was written")
                          .arg(character, codePointName(character)));
    }
    const QString fullPath = QFileInfo(path).absoluteFilePath();
    const QByteArray native = QFile::encodeName(fullPath);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        const int error = errno;
        throw UiError(QStringLiteral("Cannot create file \"%1\". %2")
                          .arg(fullPath, QString::fromLocal8Bit(std::strerror(error))));
    }
    const char* data = bytes->constData();
    qsizetype left = bytes->size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            ::close(fd);
            throw UiError(QStringLiteral("Stream write error"));
        }
        data += written;
        left -= written;
    }
    if (::close(fd) != 0 && errno != EINTR)
        throw UiError(QStringLiteral("Stream write error"));
}

} // namespace velmora
