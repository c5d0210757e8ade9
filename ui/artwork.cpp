#include "ui/artwork.h"

#include "ui/window_icon_engine.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace velmora {

namespace {

QImage transparentImage(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage windowIconImage(int size) {
    QImage image = transparentImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32 x 32 grid.
    p.scale(size / 32.0, size / 32.0);
    // Stand and foot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 110, 150));
    p.drawRect(QRectF(13, 23, 6, 4));
    p.drawRoundedRect(QRectF(7, 27, 18, 3), 1, 1);
    // Casing and screen.
    p.setPen(QPen(QColor(40, 80, 130), 1));
    p.setBrush(QColor(120, 180, 230));
    p.drawRoundedRect(QRectF(1.5, 2.5, 29, 21), 2, 2);
    p.setPen(Qt::NoPen);
    QLinearGradient glass(0, 5, 0, 21);
    glass.setColorAt(0, QColor(200, 232, 255));
    glass.setColorAt(1, QColor(150, 205, 245));
    p.setBrush(glass);
    p.drawRect(QRectF(4, 5, 24, 16));
    // The orange crescent at the lower right: a disc with a smaller disc cut away.
    QPainterPath disc;
    disc.addEllipse(QRectF(18.5, 10.5, 9, 9));
    QPainterPath bite;
    bite.addEllipse(QRectF(21.5, 9, 8, 8));
    p.setBrush(QColor(255, 140, 0));
    p.drawPath(disc.subtracted(bite));
    return image;
}

QIcon applicationIcon() {
    return QIcon(new WindowIconEngine);
}

QImage driveImage() {
    QImage image = transparentImage(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(80, 80, 80), 1));
    QLinearGradient body(0, 4, 0, 12);
    body.setColorAt(0, QColor(215, 215, 215));
    body.setColorAt(1, QColor(150, 150, 150));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 4.5, 13, 7), 1.5, 1.5);
    // Slot and activity light.
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.drawLine(QPointF(3.5, 9.5), QPointF(9.5, 9.5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 200, 60));
    p.drawEllipse(QRectF(11, 8.5, 2, 2));
    return image;
}

QImage wasteBasketImage() {
    QImage image = transparentImage(16);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // The basket, narrowing downwards, filled with crumpled paper.
    QPainterPath basket;
    basket.moveTo(2.5, 5.5);
    basket.lineTo(13.5, 5.5);
    basket.lineTo(11.5, 14.5);
    basket.lineTo(4.5, 14.5);
    basket.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(120, 120, 130));
    p.drawPath(basket);
    p.setPen(QPen(QColor(90, 90, 100), 1));
    p.drawLine(QPointF(6, 7), QPointF(6.5, 13));
    p.drawLine(QPointF(10, 7), QPointF(9.5, 13));
    p.setPen(QPen(QColor(120, 120, 120), 0.8));
    p.setBrush(QColor(250, 250, 240));
    p.drawEllipse(QRectF(3, 2, 5, 4.5));
    p.drawEllipse(QRectF(7, 1.5, 5.5, 4.5));
    p.drawEllipse(QRectF(5.5, 3, 4, 3));
    return image;
}

} // namespace velmora
