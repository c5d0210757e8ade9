#pragma once

#include <QIcon>
#include <QImage>

// The program's own pictures, drawn in code: the window icon and the two menu images.
namespace velmora {

// The window icon, 32 x 32 unless another size is asked for (the drawing scales): a light-blue
// monitor with a small orange crescent at its lower right.
QImage windowIconImage(int size = 32);

// The window icon at the icon theme's sizes (16 to 512 pixels), so that the desktop shows a
// sharp picture in the task switcher as well as in the title bar.
QIcon applicationIcon();

// 16 x 16, transparent background: a small grey drive (saving).
QImage driveImage();

// 16 x 16, transparent background: a filled waste basket (clearing).
QImage wasteBasketImage();

} // namespace velmora
