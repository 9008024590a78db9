#include "app/web_pages.h"

#include "platform/platform_operations.h"
#include "platform/skip_on_error.h"

namespace tidewick {

std::string_view PageAddress(WebPage page) {
  switch (page) {
    case WebPage::Download:
      return "https://tidewick.example/download";
    case WebPage::AboutMalware:
      return "https://tidewick.example/shortcut-virus";
    case WebPage::HowTo:
      return "https://tidewick.example/how-to-use";
    case WebPage::Comment:
      return "https://tidewick.example/comment";
    case WebPage::Authors:
      return "https://tidewick.example/team";
  }
  return {};
}

void OpenPage(PlatformOperations& os, WebPage page) {
  SkipOnError([&] { os.ShellExecuteA(0, nullptr, PageAddress(page), nullptr, nullptr, ShowCommand::Maximized); });
}

}  // namespace tidewick
