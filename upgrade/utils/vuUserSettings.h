// What the upgrade component keeps for the user between runs: the installation's number for
// staged rollouts, drawn once, and the release the user chose to skip. One file per user,
// $XDG_CONFIG_HOME/velmora/upgrade.settings (~/.config/... by default), in the stored-settings
// format (vuStoredSettings.h); each component prefixes its names with its object name.
#pragma once

#include "upgrade/utils/vuStoredSettings.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vu {

// The user's file.
QString DefaultUserSettingsFile();

// The value stored under `name`; nullopt when the file or the name is missing or does not parse.
std::optional<TvuStoredValue> ReadUserSetting(const QString& file, const QByteArray& name);

// Stores `value` under `name`, keeping every other line's value, and replaces the file in one
// step (a reader sees the old file or the new one). A file that does not parse is started
// afresh. Returns false when the file cannot be written.
bool WriteUserSetting(const QString& file, const QByteArray& name, const TvuStoredValue& value);

} // namespace vu
