#include "ui/group_box_frame.h"

#include <QApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>
#include <QPixmapCache>
#include <QStyle>

#include <cstring>

namespace velmora {

namespace {

template <typename T> QString keyDigits(T value) {
    static constexpr char16_t kDigits[] = u"0123456789abcdef";
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    QString digits;
    for (const unsigned char byte : bytes) {
        digits += QChar(kDigits[byte & 0xF]);
        digits += QChar(kDigits[byte >> 4]);
    }
    return digits;
}

// QPixmap's kind for a colour pixmap (a bitmap would be 1).
constexpr unsigned kPixmapKind = 0;

} // namespace

QString groupBoxFramePicture() {
    return QStringLiteral(":/qt-project.org/styles/commonstyle/images/fusion_groupbox.png");
}

QString pixmapFileCacheKey(const QString& fileName) {
    const QFileInfo info(fileName);
    return QStringLiteral("qt_pixmap") + info.absoluteFilePath() +
           keyDigits(static_cast<unsigned>(info.lastModified().toSecsSinceEpoch())) +
           keyDigits(static_cast<quint64>(info.size())) + keyDigits(kPixmapKind);
}

bool preloadGroupBoxFrame() {
    QStyle* style = QApplication::style();
    if (!style || style->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) != 0)
        return false;
    const QString picture = groupBoxFramePicture();
    if (!QFileInfo::exists(picture))
        return false;
    // The format named and no guessing: only the built-in PNG reader is asked.
    QImageReader reader(picture, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (image.isNull())
        return false;
    return QPixmapCache::insert(pixmapFileCacheKey(picture), QPixmap::fromImage(image));
}

} // namespace velmora
