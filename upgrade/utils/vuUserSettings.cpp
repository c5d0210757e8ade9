#include "upgrade/utils/vuUserSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace vu {

namespace {

using Properties = QList<std::pair<QByteArray, TvuStoredValue>>;

Properties ReadAll(const QString& file) {
    Properties properties;
    QFile in(file);
    if (in.open(QIODevice::ReadOnly))
        ParseStoredSettings(in.readAll(), properties);
    return properties;
}

} // namespace

QString DefaultUserSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/velmora/upgrade.settings");
}

std::optional<TvuStoredValue> ReadUserSetting(const QString& file, const QByteArray& name) {
    for (const auto& [n, value] : ReadAll(file))
        if (n == name)
            return value;
    return std::nullopt;
}

bool WriteUserSetting(const QString& file, const QByteArray& name, const TvuStoredValue& value) {
    TvuSettingsWriter writer;
    bool replaced = false;
    for (const auto& [n, old] : ReadAll(file)) {
        const bool ours = n == name;
        writer.WriteValue(n, ours ? value : old);
        replaced = replaced || ours;
    }
    if (!replaced)
        writer.WriteValue(name, value);
    if (!QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write("# Kept by Velmora's upgrade component for this user.\n" + writer.Text());
    return out.commit();
}

} // namespace vu
