// Started by the kill-tool test of win32_platform_tests from a folder of its own, with planted
// programs beside it: hands the process whose id it is given to the kill tool with the command
// line the program uses, and ends without waiting.
#include "platform/win32/win32_platform.h"

#include <string>

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  tidewick::win32::Win32Platform os;
  os.StartCommandLine(std::string("cmd /c pskill ") + argv[1],
                      tidewick::ShowCommand::MinimizedNoFocus);
  return 0;
}
