#include "ui/window_icon_engine.h"

#include "ui/artwork.h"

#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace velmora {

QList<QSize> WindowIconEngine::offeredSizes() {
    // Title bars use 16 to 24 pixels, task switchers 32 to 64, both twice that on a doubled
    // screen.
    return {QSize(16, 16), QSize(24, 24), QSize(32, 32),
            QSize(48, 48), QSize(64, 64), QSize(128, 128)};
}

QPixmap WindowIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) {
    // The picture is square: a wider or taller request gets the square that fits.
    const int extent = std::min(size.width(), size.height());
    if (extent <= 0)
        return {};
    if (!drawn_.contains(extent)) {
        cache_.addPixmap(QPixmap::fromImage(windowIconImage(extent)));
        drawn_.append(extent);
    }
    return cache_.pixmap(QSize(extent, extent), 1.0, mode, state);
}

QPixmap WindowIconEngine::scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                                       qreal scale) {
    // `size` is already in device pixels: draw for it rather than scale a smaller picture.
    Q_UNUSED(scale);
    return pixmap(size, mode, state);
}

void WindowIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode,
                             QIcon::State state) {
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const QSize fitted = actualSize(rect.size(), mode, state);
    QPixmap picture = pixmap(fitted * ratio, mode, state);
    picture.setDevicePixelRatio(ratio);
    const QRect target(rect.x() + (rect.width() - fitted.width()) / 2,
                       rect.y() + (rect.height() - fitted.height()) / 2, fitted.width(),
                       fitted.height());
    painter->drawPixmap(target, picture);
}

QSize WindowIconEngine::actualSize(const QSize& size, QIcon::Mode, QIcon::State) {
    const int extent = std::max(0, std::min(size.width(), size.height()));
    return {extent, extent};
}

QList<QSize> WindowIconEngine::availableSizes(QIcon::Mode, QIcon::State) {
    return offeredSizes();
}

QString WindowIconEngine::key() const {
    return QStringLiteral("velmora-window-icon");
}

QIconEngine* WindowIconEngine::clone() const {
    return new WindowIconEngine(*this);
}

} // namespace velmora
