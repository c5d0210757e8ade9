#pragma once

#include <QIcon>
#include <QIconEngine>
#include <QList>

// The window icon as an icon engine that draws each size when it is first asked for, instead of
// drawing every size up front. It offers the X11 window property only the sizes a window manager
// shows (title bar and task switcher); the larger ones come from the installed icon files, but
// any size asked for directly is still drawn for that size.
namespace velmora {

class WindowIconEngine final : public QIconEngine {
public:
    // The sizes the icon announces, smallest first.
    static QList<QSize> offeredSizes();

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state,
                         qreal scale) override;
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    bool isNull() override { return false; }
    QString key() const override;
    QIconEngine* clone() const override;

    // How many sizes have been drawn so far.
    int drawnSizes() const { return static_cast<int>(drawn_.size()); }

private:
    // The sizes drawn so far, held by Qt's own pixmap icon, which also derives the disabled and
    // selected looks from them.
    QIcon cache_;
    QList<int> drawn_;
};

} // namespace velmora
