// The window icon drawn on demand: what it announces to the window system, what it draws and
// when, and how the window and the application share it.
#include "ui/artwork.h"
#include "ui/tform1.h"
#include "ui/window_icon_engine.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

using velmora::WindowIconEngine;

namespace {

QImage premultiplied(const QPixmap& pixmap) {
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

class WindowIconTest : public QObject {
    Q_OBJECT

private slots:
    void drawsEachSizeOnceWhenFirstAskedFor() {
        auto* engine = new WindowIconEngine;
        const QIcon icon(engine);
        QVERIFY(!icon.isNull());
        QCOMPARE(engine->drawnSizes(), 0);
        // Sizes the window system is offered and sizes it is not are both drawn exactly.
        for (int size : {16, 32, 128, 512, 20}) {
            const QPixmap pixmap = icon.pixmap(QSize(size, size), 1.0);
            QCOMPARE(pixmap.size(), QSize(size, size));
            QCOMPARE(premultiplied(pixmap), velmora::windowIconImage(size));
        }
        QCOMPARE(engine->drawnSizes(), 5);
        // Asking again reuses the drawn picture.
        QCOMPARE(premultiplied(icon.pixmap(QSize(32, 32), 1.0)), velmora::windowIconImage(32));
        QCOMPARE(engine->drawnSizes(), 5);
        // A wider request gets the square that fits; nothing for an empty one.
        QCOMPARE(icon.pixmap(QSize(48, 24), 1.0).size(), QSize(24, 24));
        QCOMPARE(icon.actualSize(QSize(48, 24)), QSize(24, 24));
        QVERIFY(icon.pixmap(QSize(0, 16), 1.0).isNull());
        // On a doubled screen the device pixels are drawn, not a scaled-up 32.
        const QPixmap doubled = icon.pixmap(QSize(32, 32), 2.0);
        QCOMPARE(doubled.devicePixelRatio(), 2.0);
        QImage devicePixels = premultiplied(doubled);
        devicePixels.setDevicePixelRatio(1.0);
        QCOMPARE(devicePixels, velmora::windowIconImage(64));
    }

    void offersOnlyTheSizesAWindowManagerShows() {
        // The X11 window property carries every announced size, so the large ones stay out.
        const QIcon icon = velmora::applicationIcon();
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(32, 32)));
        for (const QSize& size : sizes)
            QVERIFY2(size.width() == size.height() && size.width() <= 128,
                     qPrintable(QStringLiteral("%1").arg(size.width())));
    }

    void disabledLookIsDerivedFromTheDrawing() {
        const QIcon icon = velmora::applicationIcon();
        const QImage normal = premultiplied(icon.pixmap(QSize(32, 32), 1.0, QIcon::Normal));
        const QImage disabled = premultiplied(icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled));
        QCOMPARE(disabled.size(), normal.size());
        QVERIFY(disabled != normal);
    }

    void paintsCentredInTheRectangle() {
        const QIcon icon = velmora::applicationIcon();
        QImage canvas(48, 32, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        {
            QPainter painter(&canvas);
            icon.paint(&painter, canvas.rect());
        }
        QCOMPARE(canvas.copy(8, 0, 32, 32), velmora::windowIconImage(32));
        QCOMPARE(canvas.copy(0, 0, 8, 32).pixelColor(3, 16).alpha(), 0);
    }

    void windowUsesTheApplicationsIcon() {
        // Without an application icon the window draws its own.
        QGuiApplication::setWindowIcon(QIcon());
        {
            velmora::TForm1 form;
            QVERIFY(!form.windowIcon().isNull());
            QCOMPARE(premultiplied(form.windowIcon().pixmap(QSize(32, 32), 1.0)),
                     velmora::windowIconImage(32));
        }
        const QIcon shared = velmora::applicationIcon();
        QGuiApplication::setWindowIcon(shared);
        velmora::TForm1 form;
        QCOMPARE(form.windowIcon().cacheKey(), shared.cacheKey());
    }
};

QTEST_MAIN(WindowIconTest)

#include "window_icon_test.moc"
