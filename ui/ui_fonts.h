#pragma once

#include <QFont>
#include <QStringList>

// Fonts of the main window. A sans-serif face at fixed pixel heights with a Traditional Chinese
// face as fallback, so every Chinese text renders as characters.
namespace velmora {

// The Traditional Chinese face that the set-up installs.
inline constexpr const char* kChineseFontFamily = "AR PL UMing TW";

// The window's font: 11 pixels, sans-serif first.
QFont windowFont();
// The diagram's font: 11 pixels, the Chinese face first so that box-drawing characters take
// the full width of a Chinese character and the columns line up.
QFont diagramFont();
// The character input's font: 24 pixels.
QFont characterFont();

} // namespace velmora
