// The wizard's side picture of the upgrader's settings (vuUpdaterSettings.h) as an image: made
// here, with the dialogs that show it, from the PNG bytes the settings keep.
#include "upgrade/updater/vuUpdaterSettings.h"

#include <QBuffer>
#include <QImage>

namespace vu {

const QImage& TvuUpdaterWizard::Pic118x218() const {
    static const QImage kNone;
    if (!picture_ && !picturePng_.isEmpty()) {
        QImage image;
        if (image.loadFromData(picturePng_, "PNG"))
            picture_ = std::make_shared<const QImage>(std::move(image));
    }
    return picture_ ? *picture_ : kNone;
}

void TvuUpdaterWizard::SetPic118x218(const QImage& picture) {
    picturePng_.clear();
    picture_.reset();
    if (picture.isNull())
        return;
    QBuffer buffer(&picturePng_);
    buffer.open(QIODevice::WriteOnly);
    if (!picture.save(&buffer, "PNG")) {
        picturePng_.clear();
        return;
    }
    picture_ = std::make_shared<const QImage>(picture.copy());
}

} // namespace vu
