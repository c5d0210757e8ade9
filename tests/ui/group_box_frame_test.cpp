// The group box frame read ahead of the first paint: cached where the style looks for it, equal
// to the picture Qt reads itself, and drawn without loading any image plugin.
#include "ui/group_box_frame.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QPixmap>
#include <QPixmapCache>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool imagePluginLoaded() {
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return true;
    return maps.readAll().contains("/imageformats/");
}

} // namespace

class GroupBoxFrameTest : public QObject {
    Q_OBJECT

private slots:
    void framesDrawWithoutImagePlugins() {
        QVERIFY(!imagePluginLoaded());
        QVERIFY(velmora::preloadGroupBoxFrame());
        QGroupBox box(QStringLiteral("立場"));
        box.resize(185, 73);
        const QImage drawn = box.grab().toImage();
        QVERIFY(!drawn.isNull());
        QVERIFY2(!imagePluginLoaded(), "drawing a group box loaded an image plugin");
    }

    void preloadedPictureIsWhatQtReads() {
        QVERIFY(velmora::preloadGroupBoxFrame());
        QPixmap cached;
        QVERIFY(QPixmapCache::find(velmora::pixmapFileCacheKey(velmora::groupBoxFramePicture()),
                                   &cached));
        const QImage ownReading(velmora::groupBoxFramePicture());
        QVERIFY(!ownReading.isNull());
        QCOMPARE(cached.toImage(), QPixmap::fromImage(ownReading).toImage());
    }

    // The key must be the one QPixmap(fileName) files a picture under, or the style would read
    // the picture again through the plugins.
    void keyIsTheOneQPixmapCachesFilesUnder() {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString path = folder.filePath(QStringLiteral("frame.png"));
        QImage image(7, 5, QImage::Format_ARGB32);
        image.fill(QColor(10, 20, 30, 40));
        QVERIFY(image.save(path, "PNG"));
        QPixmap found;
        QVERIFY(!QPixmapCache::find(velmora::pixmapFileCacheKey(path), &found));
        const QPixmap loaded(path);
        QVERIFY(!loaded.isNull());
        QVERIFY(QPixmapCache::find(velmora::pixmapFileCacheKey(path), &found));
        QCOMPARE(found.cacheKey(), loaded.cacheKey());
        QVERIFY(!QPixmapCache::find(velmora::pixmapFileCacheKey(path + QStringLiteral(".other")),
                                    &found));
    }

    void otherStylesAreLeftAlone() {
        QApplication::setStyle(QStringLiteral("Windows"));
        QVERIFY(!velmora::preloadGroupBoxFrame());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    GroupBoxFrameTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "group_box_frame_test.moc"
