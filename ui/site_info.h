#pragma once

// Addresses and credits shown in the main window: the link label, the status bar panels and the
// address the link label opens.
namespace velmora {

// The reference web site that the link label opens in the user's browser.
inline constexpr const char* kReferenceSiteAddress = "https://velmora.example";

// The page of the reference site named in the first status panel.
inline constexpr const char* kReferencePageAddress = "https://velmora.example/concepts.html";

// Credit line of the second status panel: the author and the maker's web site.
inline constexpr const char* kCreditLine = "作者：Velmora 開發組　網站：https://velmora.example";

} // namespace velmora
