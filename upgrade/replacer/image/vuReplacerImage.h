// The replacement helper's program image, embedded in the program as a Qt resource.
#pragma once

#include <QString>

namespace vu {

// Name and type under which the helper's image is stored.
inline constexpr const char* kReplacerResourceName = "VUUPD";
inline constexpr const char* kReplacerResourceType = "VUUPD";

// Makes sure the embedded resource is registered (it lives in a static library) and returns
// its path, ":/VUUPD/VUUPD", readable with QFile.
QString vuReplacerImageResourcePath();

} // namespace vu
