#pragma once

#include <QString>

// Saving the result memo's text as a Big5 file.
namespace velmora {

// `path` with ".<suffix>" added when its file name has no extension.
QString withDefaultSuffix(const QString& path, const QString& suffix);

// Writes `text` (line breaks already CR LF) to `path` as Big5 bytes, no byte-order mark,
// replacing an existing file. Throws UiError:
//  - when a character has no Big5 form: naming it; nothing is created or written;
//  - "Cannot create file "<full path>". <system error text>" when the file cannot be created;
//  - "Stream write error" when fewer bytes could be written; the file keeps what was written.
void saveBig5File(const QString& path, const QString& text);

} // namespace velmora
