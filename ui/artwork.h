#pragma once

#include <QIcon>
#include <QImage>

// The program's own pictures, drawn in code: the window icon and the two menu images.
namespace velmora {

// The window icon, 32 x 32 unless another size is asked for (the drawing scales): a light-blue
// monitor with a small orange crescent at its lower right.
QImage windowIconImage(int size = 32);

// The window icon for windows and the application: each size is drawn for that size when it
// is first needed, so the desktop shows a sharp picture in the title bar and the task switcher
// without the program drawing sizes nobody asks for.
QIcon applicationIcon();

// 16 x 16, transparent background: a small grey drive (saving).
QImage driveImage();

// 16 x 16, transparent background: a filled waste basket (clearing).
QImage wasteBasketImage();

} // namespace velmora
