// The stored settings of TvuUpdater: each property written when it differs from its default,
// and read back by name (the transfer component's own, "Proxy.", "InfoFile." and "Wizard." to
// theirs).
#include "upgrade/updater/vuUpdater.h"

namespace vu {

namespace {

constexpr const char* kMiscFilesNames[] = {"mfuAlwaysDownload", "mfuOnlyIfSizeDifferent"};
constexpr const char* kVersionControlNames[] = {"byDate", "byNumber"};

template <typename Enum, std::size_t N>
bool EnumFromName(const char* const (&names)[N], const QByteArray& name, Enum& value) {
    for (std::size_t i = 0; i < N; ++i)
        if (name == names[i]) {
            value = static_cast<Enum>(i);
            return true;
        }
    return false;
}

} // namespace

void TvuUpdater::WriteProperties(TvuSettingsWriter& writer) const {
    TvuCustomHTTP::WriteProperties(writer);
    Proxy()->WriteProperties(writer, "Proxy");
    if (autoCheck_)
        writer.WriteBool("AutoCheck", true);
    if (autoCheckDelay_ != 10000)
        writer.WriteInteger("AutoCheckDelay", autoCheckDelay_);
    infoFile_->WriteProperties(writer, "InfoFile");
    if (infoFileURL_ != "http://")
        writer.WriteString("InfoFileURL", infoFileURL_);
    if (restartParams_ != "/afterupgrade")
        writer.WriteString("RestartParams", restartParams_);
    if (miscFilesUpgrade_ != mfuAlwaysDownload)
        writer.WriteIdent("MiscFilesUpgrade", kMiscFilesNames[miscFilesUpgrade_]);
    if (versionControl_ != byDate)
        writer.WriteIdent("VersionControl", kVersionControlNames[versionControl_]);
    // The default is the date of creation, which changes from day to day: always stored.
    writer.WriteString("VersionDate", versionDate_);
    if (!versionDateAutoSet_)
        writer.WriteBool("VersionDateAutoSet", false);
    if (!versionNumber_.isEmpty())
        writer.WriteString("VersionNumber", versionNumber_);
    if (showMessages_ != vuDefaultShowMessages)
        writer.WriteInteger("ShowMessages", showMessages_);
    if (!useCache_)
        writer.WriteBool("UseCache", false);
    if (fileTimeLimit_ != 1800)
        writer.WriteInteger("FileTimeLimit", fileTimeLimit_);
    wizard_->WriteProperties(writer, "Wizard");
}

bool TvuUpdater::ReadProperty(const QByteArray& name, const TvuStoredValue& value) {
    QByteArray text;
    qint64 number = 0;
    bool flag = false;
    if (name.startsWith("InfoFile."))
        return infoFile_->ReadProperty(name.mid(9), value);
    if (name.startsWith("Wizard."))
        return wizard_->ReadProperty(name.mid(7), value);
    if (name.startsWith("Proxy."))
        return Proxy()->ReadProperty(name.mid(6), value);
    if (name == "AutoCheck") {
        if (!value.ToBool(flag))
            return false;
        SetAutoCheck(flag);
        return true;
    }
    if (name == "AutoCheckDelay") {
        qint32 delay = 0;
        if (!value.ToInt32(delay))
            return false;
        autoCheckDelay_ = delay;
        return true;
    }
    if (name == "InfoFileURL" && value.ToString(text)) {
        infoFileURL_ = text;
        return true;
    }
    if (name == "RestartParams" && value.ToString(text)) {
        SetRestartParams(text);
        return true;
    }
    if (name == "MiscFilesUpgrade" && value.ToIdent(text))
        return EnumFromName(kMiscFilesNames, text, miscFilesUpgrade_);
    if (name == "VersionControl" && value.ToIdent(text))
        return EnumFromName(kVersionControlNames, text, versionControl_);
    if (name == "VersionDate" && value.ToString(text)) {
        versionDate_ = text;
        return true;
    }
    if (name == "VersionDateAutoSet")
        return value.ToBool(versionDateAutoSet_);
    if (name == "VersionNumber" && value.ToString(text)) {
        versionNumber_ = text;
        return true;
    }
    if (name == "ShowMessages") {
        if (!value.ToInteger(number) || number < 0 || number > vuAllShowMessages)
            return false;
        showMessages_ = static_cast<TvuUpdaterShowMessages>(number);
        return true;
    }
    if (name == "UseCache")
        return value.ToBool(useCache_);
    if (name == "FileTimeLimit") {
        qint32 seconds = 0;
        if (!value.ToInt32(seconds) || seconds < 0)
            return false;
        fileTimeLimit_ = seconds;
        return true;
    }
    if (name == "AutoCheck" || name == "InfoFileURL" || name == "RestartParams" ||
        name == "MiscFilesUpgrade" || name == "VersionControl" || name == "VersionDate" ||
        name == "VersionNumber")
        return false; // one of ours, but the value does not fit
    return TvuCustomHTTP::ReadProperty(name, value);
}

} // namespace vu
