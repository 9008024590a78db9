// The prefix's registry as a person at a command prompt sees it: reg.exe add, query, delete.
// Scenarios set up and check values this way, independently of the program under test.
#pragma once

#include <string>

namespace tidewick::e2e {

struct RegRun {
  unsigned long exitCode = 1;
  std::string output;  // standard output and error together
};

// Runs reg.exe with `arguments` and waits for it (30 s at most), collecting what it prints.
// Wine now and then fails a start on a loaded machine, so a few tries tell that from a
// missing reg.exe; throws DriverError when it cannot start at all.
RegRun Reg(const std::string& arguments);

struct RegLocation {
  std::string key;  // root and path as reg.exe takes them ("HKCU\Software\...")
  std::string value;
};

// reg add of one value with its type ("REG_DWORD") and data.
RegRun RegAdd(const RegLocation& at, const std::string& type, const std::string& data);
void RegDelete(const RegLocation& at);
// What `reg query` shows of one value: its type and data ("REG_DWORD 0x1", "REG_SZ 1"), or
// "missing".
std::string RegQuery(const RegLocation& at);

}  // namespace tidewick::e2e
