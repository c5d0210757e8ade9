#include "ui/ui_fonts.h"

namespace velmora {

namespace {

QFont fontOf(const QStringList& families, int pixels) {
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

QStringList sansFirst() {
    return {QStringLiteral("DejaVu Sans"), QString::fromLatin1(kChineseFontFamily),
            QStringLiteral("Sans Serif")};
}

} // namespace

QFont windowFont() {
    return fontOf(sansFirst(), 11);
}

QFont diagramFont() {
    return fontOf({QString::fromLatin1(kChineseFontFamily), QStringLiteral("DejaVu Sans")}, 11);
}

QFont characterFont() {
    return fontOf(sansFirst(), 24);
}

} // namespace velmora
