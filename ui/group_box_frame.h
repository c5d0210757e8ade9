#pragma once

#include <QString>

// The picture from which the Fusion style draws every group box's frame, read ahead of the first
// paint. Qt reads a picture file through whichever image plugin claims it, and to find that out
// it loads every installed plugin (JPEG, GIF, icons ...), although its built-in PNG reader is
// the one that reads this picture. Read here as PNG and left in the pixmap cache where the
// style's QPixmap(fileName) looks first, the picture draws the same frames and no plugin is
// loaded.
namespace velmora {

// Qt's resource name of the frame picture.
QString groupBoxFramePicture();

// The key under which QPixmap(fileName) caches the picture of an existing file: "qt_pixmap",
// the absolute path, then the time of last change (seconds, 32 bits), the size (64 bits) and the
// pixmap kind (0, a pixmap rather than a bitmap), each written byte by byte in memory order,
// every byte as two lower-case hexadecimal digits, the low one first.
QString pixmapFileCacheKey(const QString& fileName);

// Reads the frame picture into the pixmap cache when the application's style is Fusion (others
// draw their frames themselves). Returns whether it did. Needs the application object.
bool preloadGroupBoxFrame();

} // namespace velmora
