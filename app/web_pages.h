// The five web pages the windows open, each address said once.
#pragma once

#include <string_view>

namespace tidewick {

class PlatformOperations;

enum class WebPage {
  Download,      // the download page of new versions
  AboutMalware,  // what the shortcut virus is and does
  HowTo,         // how to use this program
  Comment,       // where users leave a comment
  Authors,       // the web page of the Tidewick project and its contributors
};

std::string_view PageAddress(WebPage page);

// Opens `page` in the system's browser, maximized. Whether a page opened is not looked at: a
// page that cannot be opened is ignored.
void OpenPage(PlatformOperations& os, WebPage page);

}  // namespace tidewick
