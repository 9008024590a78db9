// A harmless process for the kill tests: it only waits, ten minutes at most, so a test that
// fails half-way leaves nothing running for long.
#include <windows.h>

int main() {
  ::Sleep(10 * 60 * 1000);
  return 0;
}
