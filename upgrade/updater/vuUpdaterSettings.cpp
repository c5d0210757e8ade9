#include "upgrade/updater/vuUpdaterSettings.h"

namespace vu {

namespace {

constexpr const char* kMethodNames[] = {"umSelfUpgrade", "umUseExternalSetup", "umRedirectToURL"};

QByteArray Join(const QByteArrayList& lines) {
    return lines.join('\n');
}

QByteArrayList Split(const QByteArray& text) {
    QByteArrayList lines;
    if (text.isEmpty())
        return lines;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        lines.append(line);
    }
    return lines;
}

} // namespace

QByteArray UpgradeMethodName(TvuUpgradeMethod value) {
    return value <= umRedirectToURL ? QByteArray(kMethodNames[value]) : QByteArray();
}

bool UpgradeMethodFromName(const QByteArray& name, TvuUpgradeMethod& value) {
    for (int i = 0; i <= umRedirectToURL; ++i)
        if (name == kMethodNames[i]) {
            value = static_cast<TvuUpgradeMethod>(i);
            return true;
        }
    return false;
}

QByteArray LanguageIdent(TvuUpdaterLanguage value) {
    if (value == wlAuto)
        return "wlAuto";
    const QString name = LanguageName(value);
    return name.isEmpty() ? QByteArray() : "wl" + name.toLatin1();
}

bool LanguageFromIdent(const QByteArray& name, TvuUpdaterLanguage& value) {
    for (int i = wlAuto; i <= vuLastLanguage; ++i)
        if (LanguageIdent(static_cast<TvuUpdaterLanguage>(i)) == name) {
            value = static_cast<TvuUpdaterLanguage>(i);
            return true;
        }
    return false;
}

// ---- TvuUpdaterInfo --------------------------------------------------------------------------

void TvuUpdaterInfo::WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const {
    if (!files_.isEmpty())
        writer.WriteString(prefix + ".Files", Join(files_));
    if (method_ != umSelfUpgrade)
        writer.WriteIdent(prefix + ".UpgradeMethod", UpgradeMethodName(method_));
    if (!message_.isEmpty())
        writer.WriteString(prefix + ".UpgradeMsg", message_);
}

bool TvuUpdaterInfo::ReadProperty(const QByteArray& name, const TvuStoredValue& value) {
    QByteArray text;
    if (name == "Files" && value.ToString(text)) {
        files_ = Split(text);
        return true;
    }
    if (name == "UpgradeMethod" && value.ToIdent(text))
        return UpgradeMethodFromName(text, method_);
    if (name == "UpgradeMsg" && value.ToString(text)) {
        message_ = text;
        return true;
    }
    return false;
}

// ---- TvuUpdaterWizard ------------------------------------------------------------------------

TvuUpdaterWizard::TvuUpdaterWizard() {
    language_ = wlAuto;
    DetectLanguage();
}

void TvuUpdaterWizard::SetLanguage(TvuUpdaterLanguage value) {
    ApplyUpdaterLanguage(language_, value);
}

void TvuUpdaterWizard::WriteProperties(TvuSettingsWriter& writer, const QByteArray& prefix) const {
    if (!enabled_)
        writer.WriteBool(prefix + ".Enabled", enabled_);
    if (hideFileLocation_)
        writer.WriteBool(prefix + ".HideFileLocation", hideFileLocation_);
    if (!picturePng_.isEmpty())
        writer.WriteBinary(prefix + ".Pic118x218", picturePng_);
    if (language_ != wlAuto)
        writer.WriteIdent(prefix + ".Language", LanguageIdent(language_));
    if (!stayOnTop_)
        writer.WriteBool(prefix + ".StayOnTop", stayOnTop_);
}

bool TvuUpdaterWizard::ReadProperty(const QByteArray& name, const TvuStoredValue& value) {
    if (name == "Enabled")
        return value.ToBool(enabled_);
    if (name == "HideFileLocation")
        return value.ToBool(hideFileLocation_);
    if (name == "StayOnTop")
        return value.ToBool(stayOnTop_);
    if (name == "Pic118x218") {
        // Read only where it is shown; here it must at least be a PNG file.
        static constexpr char kPngSignature[] = "\x89PNG\r\n\x1a\n";
        QByteArray png;
        if (!value.ToBinary(png) || !png.startsWith(kPngSignature))
            return false;
        picturePng_ = png;
        picture_.reset();
        return true;
    }
    if (name == "Language") {
        QByteArray ident;
        TvuUpdaterLanguage language = wlAuto;
        if (!value.ToIdent(ident) || !LanguageFromIdent(ident, language))
            return false;
        SetLanguage(language);
        return true;
    }
    return false;
}

} // namespace vu
