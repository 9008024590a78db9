// The product's name and version, each said once.
#pragma once

#include <string>
#include <string_view>

namespace tidewick {

inline constexpr std::string_view kProductName = "Tidewick";
inline constexpr std::string_view kVersion = "3.1";

// "v3.1", as the version labels show it.
inline std::string VersionLabel() { return "v" + std::string(kVersion); }

// "Tidewick v3.1", the main window's title.
inline std::string ProductTitle() { return std::string(kProductName) + " " + VersionLabel(); }

// "Pen Drive | Tidewick v3.1": the title of every other window whose title is set at load.
inline std::string WindowTitle(std::string_view windowName) {
  return std::string(windowName) + " | " + ProductTitle();
}

}  // namespace tidewick
