#include "flash/url_functions.h"

#include <cstring>

#include "framework/ascii_text.h"

namespace {

// First occurrence of pattern in s at or behind from, before the next zero
// character; npos when there is none.
size_t FindBeforeZero(const std::string& s, const std::string& pattern, size_t from) {
  if (pattern.empty() || from > s.size()) return std::string::npos;
  size_t end = s.find('\0', from);
  if (end == std::string::npos) end = s.size();
  const size_t found = s.find(pattern, from);
  if (found == std::string::npos || found + pattern.size() > end) return std::string::npos;
  return found;
}

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

// s before the first '&' or '?'.
std::string CutQuery(const std::string& s) { return s.substr(0, s.find_first_of("&?")); }

}  // namespace

void ReplaceAll(std::string& s, const std::string& oldPattern, const std::string& newPattern) {
  if (oldPattern == newPattern) return;
  size_t n = FindBeforeZero(s, oldPattern, 0);
  while (n != std::string::npos) {
    s.replace(n, oldPattern.size(), newPattern);
    n = FindBeforeZero(s, oldPattern, n + newPattern.size());
  }
}

std::string UnescapeUrl(const std::string& s) {
  std::string result = LowerAscii(s);
  static const char* const escapes[][2] = {{"%3f", "?"}, {"%3d", "="}, {"%26", "&"},
                                           {"%20", " "}, {"%2d", "-"}, {"%2f", "/"}};
  for (const auto& escape : escapes) ReplaceAll(result, escape[0], escape[1]);
  return result;
}

std::string StripUrlExt(const std::string& s) {
  const size_t dot = s.rfind('.');
  return dot == std::string::npos ? s : s.substr(0, dot);
}

std::string ExtractUrlFileName(const std::string& s) {
  const std::string name = CutQuery(UnescapeUrl(s));
  const size_t separator = name.find_last_of("/:|\\");
  return separator == std::string::npos ? name : name.substr(separator + 1);
}

// The local path a request names: file: prefix and leading slash gone, URL
// separators turned into the platform's, query cut off.
static std::string UrlToFilePath(const std::string& s) {
  std::string path = UnescapeUrl(s);
  if (StartsWith(path, "file://")) path.erase(0, 7);
  if (StartsWith(path, "/")) path.erase(0, 1);
  ReplaceAll(path, "/", "\\");
  ReplaceAll(path, "|", ":");
  return CutQuery(path);
}

bool UrlFileExists(const std::string& s, const TFileExistsTest& fileExists) {
  return fileExists(UrlToFilePath(s));
}
