// A harmless program for the Wine tests of KillProcessByName: it only sleeps, for the number
// of milliseconds given as its argument (two minutes without one), so that a copy left behind
// by a failed test ends by itself.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
  const unsigned long milliseconds = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 120000;
  ::Sleep(milliseconds);
  return 0;
}
