#pragma once
// Utility functions on the 8-bit URLs that the movie control requests. They
// work on bytes in the system's ANSI code page; only ASCII letters fold.
#include <functional>
#include <string>

// Replaces every occurrence of oldPattern in s by newPattern, left to right.
// The search goes on behind each inserted replacement, so a replacement is
// never searched again. Each search ends at the next zero character: text
// behind a zero is not searched (a pattern that holds a zero never matches).
// An empty oldPattern matches nothing.
void ReplaceAll(std::string& s, const std::string& oldPattern, const std::string& newPattern);

// Lower-cases the ASCII letters of s, then decodes exactly these escapes, in
// this order: %3f ? , %3d = , %26 & , %20 space, %2d - , %2f / .
std::string UnescapeUrl(const std::string& s);

// s up to, not including, its last '.'; s itself when it has none.
std::string StripUrlExt(const std::string& s);

// The unescaped last segment of s, with any query ('&' or '?' onward) cut
// off; segments end at '/', ':', '|' and backslash.
std::string ExtractUrlFileName(const std::string& s);

// Answers whether the file path is an existing file (not a directory).
using TFileExistsTest = std::function<bool(const std::string& path)>;

// Turns a request (a path or a file: URL such as file:///C|/dir/a%20b.swf?x)
// into a local path (C:\dir\a b.swf) and asks fileExists about it.
bool UrlFileExists(const std::string& s, const TFileExistsTest& fileExists);
