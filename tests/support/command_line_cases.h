// Command lines and what Windows makes of them, shared by the native tests of the readers and
// by the Wine test that asks Windows' own functions (CommandLineToArgvW,
// ExpandEnvironmentStringsW) the same questions.
#pragma once

#include <string_view>
#include <vector>

namespace tidewick::testing {

struct ArgvCase {
  std::string_view commandLine;
  std::vector<std::string_view> argv;
};

// As CommandLineToArgvW splits them (Wine 8 gives the same).
inline const std::vector<ArgvCase> kArgvCases = {
    {"prog a b", {"prog", "a", "b"}},
    {"prog My\" \"Photos", {"prog", "My Photos"}},
    {"prog \"My Photos\" x", {"prog", "My Photos", "x"}},
    {"prog \"a\"\"b\" c", {"prog", "a\"b c"}},
    {"prog \"a\"\"\"b\" c", {"prog", "a\"b", "c"}},
    {"prog \"\"\"a\"", {"prog", "\"a"}},
    {"prog \"a b\"\"c d\" e", {"prog", "a b\"c", "d e"}},
    {"\"C:\\x y\\p.exe\"arg b", {"C:\\x y\\p.exe", "arg", "b"}},
    {"C:\\x\"y z\" a", {"C:\\x\"y", "z a"}},
    {"prog a\\\\\"b c\" d", {"prog", "a\\b c", "d"}},
    {"prog x \\\\\\\"y", {"prog", "x", "\\\"y"}},
    {"prog C:\\dir\\ \"C:\\dir\\\\\"", {"prog", "C:\\dir\\", "C:\\dir\\"}},
    {"prog x \"\"", {"prog", "x", ""}},
    {"prog \"\" x", {"prog", "", "x"}},
    {"\"unterminated", {"unterminated"}},
    {"  lead x", {"", "lead", "x"}},
    {"prog\tx", {"prog", "x"}},
    {"\"\"x y", {"", "x", "y"}},
    {"wscript.exe //B \"C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs\"",
     {"wscript.exe", "//B", "C:\\Users\\u\\AppData\\Local\\Temp\\x y.vbs"}},
};

struct ExpandCase {
  std::string_view text;
  std::string_view expanded;
};

// With TW_FOO=F and TW_PATHX=P set, and TW_NOPE not set; as ExpandEnvironmentStringsW gives
// them (Wine 8 gives the same).
inline const std::vector<ExpandCase> kExpandCases = {
    {"%TW_FOO%", "F"},
    {"%tw_foo%", "F"},
    {"%TW_FOO%%TW_FOO%", "FF"},
    {"x%TW_FOO%y", "xFy"},
    {"%TW_NOPE%", "%TW_NOPE%"},
    {"%TW_NOPE%%TW_FOO%", "%TW_NOPE%F"},
    {"%TW_NOPE%TW_PATHX%", "%TW_NOPE%TW_PATHX%"},
    {"%TW_FOO%TW_PATHX%", "FTW_PATHX%"},
    {"%%TW_PATHX%", "%%TW_PATHX%"},
    {"a%TW_FOO", "a%TW_FOO"},
    {"%%", "%%"},
    {"%", "%"},
    {"100% sure", "100% sure"},
};

}  // namespace tidewick::testing
