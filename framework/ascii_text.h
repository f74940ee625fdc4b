#pragma once
// Names compared as the platform compares identifiers: only the ASCII
// letters fold, every other byte must be equal.
#include <algorithm>
#include <string>
#include <string_view>

inline char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

inline std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

inline bool SameTextAscii(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

// Name order with ASCII letters folded.
inline bool LessTextAscii(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return LowerAscii(x) < LowerAscii(y);
  });
}
