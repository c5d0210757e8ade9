// The two settings objects that the upgrade component owns: the description of an upgrade kept
// with the component (TvuUpdaterInfo, property InfoFile) and the progress wizard's settings
// (TvuUpdaterWizard, property Wizard). Both store themselves as nested properties of the
// component ("InfoFile.Files", "Wizard.Language").
#pragma once

#include "language/vuUpdaterLanguage.h"
#include "upgrade/updater/vuUpdaterTypes.h"
#include "upgrade/utils/vuStoredSettings.h"

#include <QByteArrayList>

#include <memory>

class QImage;

namespace vu {

class TvuUpdaterInfo {
public:
    // The files of an upgrade; assigning copies the lines.
    const QByteArrayList& Files() const { return files_; }
    void SetFiles(const QByteArrayList& files) { files_ = files; }
    TvuUpgradeMethod UpgradeMethod() const { return method_; }
    void SetUpgradeMethod(TvuUpgradeMethod method) { method_ = method; }
    const QByteArray& UpgradeMsg() const { return message_; }
    void SetUpgradeMsg(const QByteArray& message) { message_ = message; }

    // Stored as <prefix>.Files (the lines joined by "\n"), .UpgradeMethod and .UpgradeMsg, each
    // only when it differs from its default.
    void WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const;
    // `name` without the prefix; false when it is not one of these or the value does not fit.
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& value);

private:
    QByteArrayList files_;
    TvuUpgradeMethod method_ = umSelfUpgrade;
    QByteArray message_;
};

class TvuUpdaterWizard {
public:
    // Starts with Language wlAuto, which detects the system's language (sets MessageBase).
    TvuUpdaterWizard();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value) { enabled_ = value; }
    bool HideFileLocation() const { return hideFileLocation_; }
    void SetHideFileLocation(bool value) { hideFileLocation_ = value; }
    // The wizard's side picture; a null image means the wizard keeps its built-in picture. Kept
    // as the PNG bytes it is stored as, so that the component needs no image code; the picture
    // itself is made by the dialogs (vuWizardPicture.cpp), which alone show it.
    const QImage& Pic118x218() const;
    void SetPic118x218(const QImage& picture);
    TvuUpdaterLanguage Language() const { return language_; }
    // Same value: nothing. Otherwise wlAuto detects the system's language again and any other
    // value selects its message block (process-wide MessageBase).
    void SetLanguage(TvuUpdaterLanguage value);
    bool StayOnTop() const { return stayOnTop_; }
    void SetStayOnTop(bool value) { stayOnTop_ = value; }

    // Stored as <prefix>.Enabled, .HideFileLocation, .Pic118x218 (PNG bytes), .Language (the
    // enumeration name) and .StayOnTop, each only when it differs from its default.
    void WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const;
    bool ReadProperty(const QByteArray& name, const TvuStoredValue& value);

private:
    bool enabled_ = true;
    bool hideFileLocation_ = false;
    QByteArray picturePng_;
    mutable std::shared_ptr<const QImage> picture_; // picturePng_ read, when asked for
    TvuUpdaterLanguage language_ = wlAuto;
    bool stayOnTop_ = true;
};

// The enumeration names used in the stored settings ("umSelfUpgrade", "wlEnglish", ...); the
// parsers return false for unknown names.
QByteArray UpgradeMethodName(TvuUpgradeMethod value);
bool UpgradeMethodFromName(const QByteArray& name, TvuUpgradeMethod& value);
QByteArray LanguageIdent(TvuUpdaterLanguage value);
bool LanguageFromIdent(const QByteArray& name, TvuUpdaterLanguage& value);

} // namespace vu
