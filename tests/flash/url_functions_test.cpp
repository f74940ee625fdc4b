#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/url_functions.h"

namespace {

using namespace std::string_literals;

TEST(UrlReplaceAll, ReplacesAsTheRowsSay) {
  struct TRow {
    std::string Text, OldPattern, NewPattern, Expected;
  };
  const TRow rows[] = {
      {"", "a", "b", ""},
      {"abc", "x", "y", "abc"},
      {"abc", "b", "b", "abc"},
      {"a/b/c", "/", "\\", "a\\b\\c"},
      {"aaa", "a", "b", "bbb"},
      {"///", "/", "", ""},
      // Overlapping occurrences: the search goes on behind the replacement.
      {"aaaa", "aa", "b", "bb"},
      {"aaa", "aa", "b", "ba"},
      // A growing replacement that holds the pattern is never searched again.
      {"aXa", "a", "aa", "aaXaa"},
      {"aa", "a", "aaa", "aaaaaa"},
      {"xx", "x", "xyx", "xyxxyx"},
      // A shrinking one that forms a new occurrence with what follows is not
      // searched again either, but the text behind it is.
      {"aab", "ab", "a", "aa"},
      {"abbb", "ab", "a", "abb"},
      {"Case CASE case", "case", "X", "Case CASE X"},
      {"abc", "abc", "", ""},
      {"abc", "abcd", "x", "abc"},
      // Only the text before a zero character is searched.
      {"a-b\0-c"s, "-", "+", "a+b\0-c"s},
      {"\0a"s, "a", "b", "\0a"s},
      {"a-\0"s, "-", "", "a\0"s},
      // A pattern holding a zero never matches: the search stops there.
      {"a\0b"s, "a\0b"s, "x", "a\0b"s},
      // A zero inside a replacement lies behind the next search's start.
      {"a-b-c", "-", "\0"s, "a\0b\0c"s},
      // An empty pattern matches nothing.
      {"abc", "", "x", "abc"},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE("text \"" + row.Text + "\" old \"" + row.OldPattern + "\" new \"" + row.NewPattern + "\"");
    std::string s = row.Text;
    ReplaceAll(s, row.OldPattern, row.NewPattern);
    EXPECT_EQ(s, row.Expected);
  }
}

TEST(UrlUnescape, LowerCasesThenDecodesSixEscapes) {
  struct TRow {
    std::string Text, Expected;
  };
  const TRow rows[] = {
      {"", ""},
      {"Movie.SWF", "movie.swf"},
      {"a%3fb%3dc%26d%20e%2df%2fg", "a?b=c&d e-f/g"},
      {"A%3Fb%3Dc%26D%20E%2DF%2FG", "a?b=c&d e-f/g"},
      {"%2F%2f", "//"},
      // No other escape is decoded.
      {"%41%25%2e%3a%7c%5c", "%41%25%2e%3a%7c%5c"},
      // A decoded character is never decoded again: "%25" stays, so its
      // follower is not an escape.
      {"%252f", "%252f"},
      {"%25%32%66", "%25%32%66"},
      {"%%3f3f", "%?3f"},
      {"%3%3ff", "%3?f"},
      // Only ASCII letters fold; other bytes pass unchanged.
      {"\xC4\xD6Z", "\xC4\xD6z"},
      {"@[`{", "@[`{"},
      // Lower-casing runs on the whole string; decoding stops at a zero.
      {"%20A\0%20B"s, " a\0%20b"s},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE("text \"" + row.Text + "\"");
    EXPECT_EQ(UnescapeUrl(row.Text), row.Expected);
  }
}

TEST(UrlStripExt, CutsBeforeTheLastDot) {
  struct TRow {
    std::string Text, Expected;
  };
  const TRow rows[] = {
      {"", ""},
      {"flvplayback.swf", "flvplayback"},
      {"FlvPlayback.SWF", "FlvPlayback"},
      {"noext", "noext"},
      {"a.b.c", "a.b"},
      {".swf", ""},
      {"name.", "name"},
      {"movie.swf?v=2", "movie"},
      // Without an extension in the last segment the cut falls in the host.
      {"http://www.example.com/movie", "http://www.example"},
      {"dir.d/file", "dir"},
      {"http://zzz/clearoverall.swf", "http://zzz/clearoverall"},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE("text \"" + row.Text + "\"");
    EXPECT_EQ(StripUrlExt(row.Text), row.Expected);
  }
}

TEST(UrlExtractFileName, TakesTheUnescapedLastSegmentWithoutQuery) {
  struct TRow {
    std::string Text, Expected;
  };
  const TRow rows[] = {
      {"", ""},
      {"intro.swf", "intro.swf"},
      {"Intro.SWF", "intro.swf"},
      {"intro.swf?v=2", "intro.swf"},
      {"intro.swf&v=2", "intro.swf"},
      {"intro.swf&a=1?b=2", "intro.swf"},
      {"intro.swf?a=/x/y.swf", "intro.swf"},
      {"http://zzz/intro.swf", "intro.swf"},
      {"a/b/c.swf", "c.swf"},
      {"c:c.swf", "c.swf"},
      {"C|c.swf", "c.swf"},
      {"a\\b\\c.swf", "c.swf"},
      {"a/b\\c:d|e.swf", "e.swf"},
      {"dir/", ""},
      {"a%2fb.swf", "b.swf"},
      {"my%20movie.swf", "my movie.swf"},
      {"a.swf%3fx%2fy", "a.swf"},
      {"file:///C|/dir/a%20b.swf?x", "a b.swf"},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE("text \"" + row.Text + "\"");
    EXPECT_EQ(ExtractUrlFileName(row.Text), row.Expected);
  }
}

TEST(UrlFileExistsTest, HandsTheLocalPathToTheTest) {
  struct TRow {
    std::string Text, Path;
  };
  const TRow rows[] = {
      {"file:///C|/dir/a%20b.swf?x", "c:\\dir\\a b.swf"},
      {"file:///C:/dir/a.swf", "c:\\dir\\a.swf"},
      {"file://C:/dir/a.swf", "c:\\dir\\a.swf"},
      {"FILE:///c|/a.swf", "c:\\a.swf"},
      {"file://", ""},
      {"file:////server/share.swf", "\\server\\share.swf"},
      {"/a.swf", "a.swf"},
      {"//a.swf", "\\a.swf"},
      {"C:\\Program Files\\Kribbel\\data/a.xml", "c:\\program files\\kribbel\\data\\a.xml"},
      {"C:\\app\\movie.swf?v=2&w=3", "c:\\app\\movie.swf"},
      {"C:\\app\\movie.swf&w=3?v=2", "c:\\app\\movie.swf"},
      {"C:\\app\\a%3fb.swf", "c:\\app\\a"},
      {"C:\\app\\a%26b.swf", "c:\\app\\a"},
      {"C:\\app\\a%2fb.swf", "c:\\app\\a\\b.swf"},
      {"C:\\app\\http://zzz/a.swf", "c:\\app\\http:\\\\zzz\\a.swf"},
      {"x/file://a.swf", "x\\file:\\\\a.swf"},
  };
  for (const TRow& row : rows) {
    SCOPED_TRACE("text \"" + row.Text + "\"");
    for (const bool exists : {false, true}) {
      std::vector<std::string> asked;
      const bool result = UrlFileExists(row.Text, [&](const std::string& path) {
        asked.push_back(path);
        return exists;
      });
      EXPECT_EQ(result, exists);
      EXPECT_EQ(asked, std::vector<std::string>{row.Path});
    }
  }
}

}  // namespace
