// Text helpers shared by the procedures and the windows. All text is UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace tidewick {

// Lower-cases `text` by Unicode simple case folding for the letters Windows folds (Latin,
// Greek, Cyrillic, Armenian, Georgian, full-width and the rest of the basic plane), not only
// A to Z. Bytes that are not valid UTF-8 are kept as they are.
std::string LowerCase(std::string_view text);

// A path in the form in which two paths are compared: without a "\\?\" prefix ("\\?\UNC\"
// read as "\\"), "/" read as "\", and lower-cased by LowerCase. Two paths whose comparable
// forms are equal name the same file; the converse need not hold (short names, "..").
std::string ComparablePath(std::string_view path);

// Whether `text` contains `part` (byte-wise; both already lower-cased by the caller).
inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// Whether `c` is a blank: a space or a tab.
inline bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Whether `text` ends with `suffix` (byte-wise).
inline bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace tidewick
