#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "flash/url_rewrite.h"
#include "framework/ascii_text.h"

namespace {

const std::string ExeDir = "C:\\Kribbel\\";

bool Contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& n : names)
    if (SameTextAscii(n, name)) return true;
  return false;
}

// The program as the rewriting sees it: names compare as the list, the
// resource lookup and the file system compare them, ASCII case folded.
struct TWorld {
  bool HasList = true;
  std::vector<std::string> ListItems{"Intro.swf", "Steel.swf"};
  std::vector<std::string> Resources{"FLVPLAYBACK", "CLEAROVERALL", "STEEL", "MOJAVE", "SETVOLUME"};
  std::vector<std::string> Files{"C:\\Kribbel\\data\\a.xml", "C:\\Kribbel\\data\\a b.xml",
                                 "C:\\Kribbel\\x.swf",       "C:\\movies\\a.swf",
                                 "C:\\m\\a.swf"};
  std::vector<std::string> Journal;  // every question asked, in order

  TUrlRewriteEnvironment Environment() {
    TUrlRewriteEnvironment environment;
    if (HasList)
      environment.FindListItem = [this](const std::string& name) {
        Journal.push_back("list " + name);
        return Contains(ListItems, name);
      };
    environment.HasResource = [this](const std::string& name) {
      Journal.push_back("res " + name);
      return Contains(Resources, name);
    };
    environment.FileExists = [this](const std::string& path) {
      Journal.push_back("file " + path);
      return Contains(Files, path);
    };
    environment.ExeDir = ExeDir;
    return environment;
  }
};

struct TRow {
  std::string Request;
  std::string Pending;  // the slot before the call
  bool Served;
  std::string Expected;  // the slot after the call
  std::vector<std::string> ExtraFiles = {};
  bool HasList = true;
};

void Check(const TRow& row) {
  SCOPED_TRACE("request \"" + row.Request + "\" slot \"" + row.Pending + "\"");
  TWorld world;
  world.HasList = row.HasList;
  world.Files.insert(world.Files.end(), row.ExtraFiles.begin(), row.ExtraFiles.end());
  const TUrlRewrite result = RewriteUrl(row.Request, row.Pending, world.Environment());
  EXPECT_EQ(result.Served, row.Served);
  EXPECT_EQ(result.PendingUrl, row.Expected);
}

TEST(UrlRewrite, RefusesRequestsWithoutAnAcceptedMarker) {
  const TRow rows[] = {
      {"", "C:\\old\\a.swf", false, "C:\\old\\a.swf"},
      {"", "", false, ""},
      {"http://www.example.com/", "<list>intro.swf", false, "<list>intro.swf"},
      {"http://www.example.com/index.html", "keep", false, "keep"},
      {"movie.SWF", "keep", false, "keep"},
      {"movie.Adf", "keep", false, "keep"},
      {"movie.swF", "keep", false, "keep"},
      {"movie.gif", "keep", false, "keep"},
      {"DATA/A.XML", "keep", false, "keep"},
      {"movie.jpeg", "keep", false, "keep"},
      {"movie.sw", "keep", false, "keep"},
      {"http://www.YouTube.com/watch?v=1", "keep", false, "keep"},
      {"http://vimeo.com/1", "keep", false, "keep"},
      {"./", "keep", false, "keep"},
      {"file:///C|/m/a.bmp", "keep", false, "keep"},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, AcceptsEachMarkerAnywhere) {
  const TRow rows[] = {
      {"http://host/a.swf", "", true, "http://host/a.swf"},
      {"http://host/a.flv", "", true, "http://host/a.flv"},
      {"http://host/a.xml", "", true, "http://host/a.xml"},
      {"http://host/a.jpg", "", true, "http://host/a.jpg"},
      {"http://host/a.png", "", true, "http://host/a.png"},
      {"http://host/a.mp3", "", true, "http://host/a.mp3"},
      {"http://host/a.ogg", "", true, "http://host/a.ogg"},
      {"http://host/a.txt", "", true, "http://host/a.txt"},
      {"http://host/a.adf", "", true, "http://host/a.adf"},
      {"http://host/a.ADF", "", true, "http://host/a.ADF"},
      {"http://www.youtube.com/watch?v=abc", "", true, "http://www.youtube.com/watch?v=abc"},
      {"http://youtube.com", "", true, "http://youtube.com"},
      {"movie.swf?v=2", "old", true, "movie.swf?v=2"},
      {"http://host/a.swfx", "", true, "http://host/a.swfx"},
      {"http://host/a.swf/page.html", "", true, "http://host/a.swf/page.html"},
      {"http://host/page.php?file=a.xml", "", true, "http://host/page.php?file=a.xml"},
      {".swf", "", true, ".swf"},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, DotSlashAndBareFileScheme) {
  const TRow rows[] = {
      {"./movie.swf", "", true, "movie.swf"},
      {"././movie.swf", "", true, "./movie.swf"},
      {"x./movie.swf", "", true, "x./movie.swf"},
      {".\\movie.swf", "", true, "./movie.swf"},
      // The bare scheme is answered and the slot stays exactly as it was,
      // backslashes included.
      {"file://", "", true, ""},
      {"file://", "C:\\old\\a.swf", true, "C:\\old\\a.swf"},
      {"./file://", "C:\\old\\a.swf", true, "C:\\old\\a.swf"},
      {"FILE://", "keep", false, "keep"},
      {"file:///", "keep", false, "keep"},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, ListItemsComeFirst) {
  const TRow rows[] = {
      {"http://zzz/intro.swf", "", true, "<list>intro.swf"},
      {"intro.swf?v=2", "", true, "<list>intro.swf"},
      {"INTRO.swf", "", true, "<list>intro.swf"},
      {"./intro.swf", "", true, "<list>intro.swf"},
      {"http://zzz/sub/dir/intro.swf", "", true, "<list>intro.swf"},
      {"http://example.com/intro.swf&x=1", "", true, "<list>intro.swf"},
      {"C:\\elsewhere\\Intro.swf", "", true, "<list>intro.swf"},
      {"intro%2eswf.swf", "", true, "intro%2eswf.swf"},
      // A list item wins over a resource of the same stripped name.
      {"steel.swf", "", true, "<list>steel.swf"},
      // Without a list the request goes on to the later rules.
      {"intro.swf", "old", true, "intro.swf", {}, false},
      {"steel.swf", "", true, "<res>steel.swf", {}, false},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, ResourcesByStrippedName) {
  const TRow rows[] = {
      {"flvplayback.swf", "", true, "<res>flvplayback.swf"},
      {"clearoverall.swf", "", true, "<res>clearoverall.swf"},
      {"ClearOverall.swf", "", true, "<res>ClearOverall.swf"},
      {"mojave.swf", "", true, "<res>mojave.swf"},
      {"setvolume.swf", "", true, "<res>setvolume.swf"},
      {"flvplayback.flv", "", true, "<res>flvplayback.flv"},
      {"./flvplayback.swf", "", true, "<res>flvplayback.swf"},
      // The name is cut at the last dot of the whole request.
      {"flvplayback.swf?v=2", "", true, "<res>flvplayback.swf?v=2"},
      {"flvplayback.swf?v=2.1", "", true, "flvplayback.swf?v=2.1"},
      {"flvplayback.v2.swf", "", true, "flvplayback.v2.swf"},
      {"skins\\flvplayback.swf", "", true, "skins/flvplayback.swf"},
      // Behind the sentinel the stripped name holds it, so the resource is
      // not found; the name itself is stored, or the file next to the
      // executable when there is one.
      {"http://zzz/clearoverall.swf", "", true, "clearoverall.swf"},
      {"http://zzz/clearoverall.swf", "", true, "C:/Kribbel/clearoverall.swf",
       {"C:\\Kribbel\\clearoverall.swf"}},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, FilesNextToTheExecutable) {
  const TRow rows[] = {
      {"http://zzz/data/a.xml", "", true, "C:/Kribbel/data/a.xml"},
      {"http://zzz/data\\a.xml", "", true, "C:/Kribbel/data/a.xml"},
      {"data/a.xml", "", true, "C:/Kribbel/data/a.xml"},
      {"data\\a.xml", "", true, "C:/Kribbel/data/a.xml"},
      {"DATA/A.xml", "", true, "C:/Kribbel/DATA/A.xml"},
      // The raw text is stored, escapes and query included; only the
      // existence test decodes and cuts.
      {"data/a%20b.xml?x=1", "", true, "C:/Kribbel/data/a%20b.xml?x=1"},
      {"http://zzz/data/a%20b.xml&x=1", "", true, "C:/Kribbel/data/a%20b.xml&x=1"},
      {"data/missing.xml", "", true, "data/missing.xml"},
      // Both sentinel rules skip exactly the 11 characters of the sentinel.
      {"http://zzz/x.swf", "", true, "C:/Kribbel/x.swf"},
      {"http://zzz/.swf", "", true, ".swf"},
      {"http://zzz/.swf", "", true, ".swf", {"C:\\Kribbel\\swf"}},
      {"http://zzz/a.swf", "", true, "a.swf"},
      {"http://zzz/a.swf", "", true, "a.swf", {"C:\\Kribbel\\.swf"}},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, SentinelFollowedByAPathOrUrl) {
  const TRow rows[] = {
      {"http://zzz/<stream>0012ABCD.swf", "", true, "<stream>0012ABCD.swf"},
      {"http://zzz/<stream>0012ABCD.flv", "x", true, "<stream>0012ABCD.flv"},
      {"http://zzz/<astream>0012ABCD.flv", "", true, "<astream>0012ABCD.flv"},
      {"http://zzz/./movie.swf", "", true, "movie.swf"},
      {"http://zzz/././movie.swf", "", true, "./movie.swf"},
      {"http://zzz/http://www.example.com/a.xml", "", true, "http://www.example.com/a.xml"},
      // A drive path is stored bare when its file exists ...
      {"http://zzz/C:\\movies\\a.swf", "", true, "C:/movies/a.swf"},
      {"http://zzz/C:/movies/a.swf", "", true, "C:/movies/a.swf"},
      {"http://zzz/./C:/movies/a.swf", "", true, "C:/movies/a.swf"},
      {"http://zzz/c:\\MOVIES\\A.swf", "", true, "c:/MOVIES/A.swf"},
      // ... and keeps the slot when it does not, backslashes turned all the same.
      {"http://zzz/C:\\movies\\missing.swf", "C:\\old\\a.swf", true, "C:/old/a.swf"},
      {"http://zzz/C:/movies/missing.swf", "", true, ""},
      {"http://zzz/./D:/missing.swf", "keep", true, "keep"},
      {"http://zzz/C:a.swf", "keep", true, "keep"},
      // Not a drive path: the second character is no colon.
      {"http://zzz/ab:c.swf", "keep", true, "ab:c.swf"},
      {"http://zzz/:a.swf", "keep", true, ":a.swf"},
      {"http://zzz/\\\\server\\a.swf", "keep", true, "//server/a.swf"},
  };
  for (const TRow& row : rows) Check(row);
}

TEST(UrlRewrite, FileUrlsAndTheRest) {
  const TRow rows[] = {
      {"file:///C|/m/a.swf", "", true, "file:///C|/m/a.swf"},
      {"file:///C:/m/a.swf?v=1", "", true, "file:///C:/m/a.swf?v=1"},
      {"file://C:\\m\\a.swf", "", true, "file://C:/m/a.swf"},
      {"file:///C|/m/missing.swf", "C:\\old\\a.swf", true, "C:/old/a.swf"},
      {"file:///C|/m/missing.swf", "", true, ""},
      {"http://www.example.com/data.xml", "", true, "http://www.example.com/data.xml"},
      {"http://www.example.com\\data.xml", "", true, "http://www.example.com/data.xml"},
      {"C:\\movies\\a.swf", "", true, "C:/movies/a.swf"},
      {"C:\\movies\\missing.swf", "", true, "C:/movies/missing.swf"},
      // A later request replaces what an unbound earlier one left.
      {"b.swf", "<list>intro.swf", true, "b.swf"},
  };
  for (const TRow& row : rows) Check(row);
}

// The questions each request asks, in order: nothing for a refused request
// or the bare scheme, then the list, the resources, the files.
TEST(UrlRewrite, AsksInOrder) {
  struct TJournalRow {
    std::string Request;
    std::vector<std::string> Journal;
  };
  const TJournalRow rows[] = {
      {"", {}},
      {"http://www.example.com/", {}},
      {"file://", {}},
      {"intro.swf", {"list intro.swf"}},
      {"flvplayback.swf", {"list flvplayback.swf", "res flvplayback"}},
      {"http://zzz/x.swf", {"list x.swf", "res http://zzz/x", "file c:\\kribbel\\x.swf"}},
      {"data/a.xml", {"list a.xml", "res data/a", "file c:\\kribbel\\data\\a.xml"}},
      {"http://zzz/a.swf",
       {"list a.swf", "res http://zzz/a", "file c:\\kribbel\\a.swf",
        "file c:\\kribbel\\http:\\\\zzz\\a.swf"}},
      {"http://zzz/C:/m/a.swf",
       {"list a.swf", "res http://zzz/C:/m/a", "file c:\\kribbel\\c:\\m\\a.swf",
        "file c:\\kribbel\\http:\\\\zzz\\c:\\m\\a.swf", "file c:\\m\\a.swf"}},
      {"file:///C|/m/a%20b.swf?x",
       {"list a b.swf", "res file:///C|/m/a%20b", "file c:\\kribbel\\file:\\\\\\c:\\m\\a b.swf",
        "file c:\\m\\a b.swf"}},
      {"http://host/a.xml", {"list a.xml", "res http://host/a", "file c:\\kribbel\\http:\\\\host\\a.xml"}},
  };
  for (const TJournalRow& row : rows) {
    SCOPED_TRACE("request \"" + row.Request + "\"");
    TWorld world;
    RewriteUrl(row.Request, "", world.Environment());
    EXPECT_EQ(world.Journal, row.Journal);
  }
}

TEST(UrlRewrite, EmptyEnvironmentPassesThrough) {
  const TUrlRewrite result = RewriteUrl("http://zzz/C:\\m\\a.swf", "keep", TUrlRewriteEnvironment{});
  EXPECT_TRUE(result.Served);
  EXPECT_EQ(result.PendingUrl, "keep");
  EXPECT_EQ(RewriteUrl("data\\a.xml", "", TUrlRewriteEnvironment{}).PendingUrl, "data/a.xml");
}

TEST(UrlStreamHandle, ParsesTheEightDigitsBehindTheMarker) {
  struct THandleRow {
    std::string Url;
    bool Ok;
    bool IsAStream;
    uint32_t Handle;
  };
  const THandleRow rows[] = {
      {"<stream>0012ABCD.swf", true, false, 0x0012ABCDu},
      {"<stream>0012abcd.flv", true, false, 0x0012ABCDu},
      {"<stream>00000000", true, false, 0},
      {"<stream>FFFFFFFF", true, false, 0xFFFFFFFFu},
      {"<stream>7fFfFfFe", true, false, 0x7FFFFFFEu},
      {"<astream>DEADBEEF.flv", true, true, 0xDEADBEEFu},
      {"<astream>0000000A", true, true, 0xAu},
      // Whatever follows the eight digits is ignored.
      {"<stream>12345678", true, false, 0x12345678u},
      {"<stream>123456789", true, false, 0x12345678u},
      {"<stream>12345678zz", true, false, 0x12345678u},
      {"<stream>1234567", false, false, 0},
      {"<stream>", false, false, 0},
      {"<stream>1234567G.swf", false, false, 0},
      {"<stream>-1234567.swf", false, false, 0},
      {"<stream>+1234567.swf", false, false, 0},
      {"<stream> 1234567.swf", false, false, 0},
      {"<stream>$1234567.swf", false, false, 0},
      {"<stream>0x123456.swf", false, false, 0},
      {std::string("<stream>1234\0" "678", 16), false, false, 0},
      {"<astream>1234567", false, false, 0},
      {"<STREAM>12345678", false, false, 0},
      {"<res>12345678", false, false, 0},
      {"<list>12345678", false, false, 0},
      {"http://zzz/<stream>12345678", false, false, 0},
      {" <stream>12345678", false, false, 0},
      {"", false, false, 0},
  };
  for (const THandleRow& row : rows) {
    SCOPED_TRACE("url \"" + row.Url + "\"");
    bool isAStream = !row.IsAStream;
    uint32_t handle = 0xBAADF00Du;
    EXPECT_EQ(ParseStreamHandle(row.Url, isAStream, handle), row.Ok);
    if (row.Ok) {
      EXPECT_EQ(isAStream, row.IsAStream);
      EXPECT_EQ(handle, row.Handle);
    } else {
      // A refused URL leaves the outputs alone.
      EXPECT_EQ(isAStream, !row.IsAStream);
      EXPECT_EQ(handle, 0xBAADF00Du);
    }
  }
}

TEST(UrlStreamHandle, FormatsAndRoundTripsThroughTheRewriting) {
  struct TFormatRow {
    uint32_t Handle;
    const char* Ext;
    std::string Expected;
  };
  const TFormatRow rows[] = {
      {0x0012ABCDu, ".swf", "http://zzz/<stream>0012ABCD.swf"},
      {0, ".flv", "http://zzz/<stream>00000000.flv"},
      {0xFFFFFFFFu, ".swf", "http://zzz/<stream>FFFFFFFF.swf"},
      {0xabcdefu, ".swf", "http://zzz/<stream>00ABCDEF.swf"},
      {1, "", "http://zzz/<stream>00000001"},
      {1, nullptr, "http://zzz/<stream>00000001"},
  };
  for (const TFormatRow& row : rows) {
    SCOPED_TRACE(row.Expected);
    const std::string url = FormatStreamUrl(row.Handle, row.Ext);
    EXPECT_EQ(url, row.Expected);
    TWorld world;
    const TUrlRewrite result = RewriteUrl(url, "", world.Environment());
    const bool hasMarker = row.Ext && *row.Ext;
    EXPECT_EQ(result.Served, hasMarker);
    if (!hasMarker) continue;
    bool isAStream = true;
    uint32_t handle = 0;
    ASSERT_TRUE(ParseStreamHandle(result.PendingUrl, isAStream, handle));
    EXPECT_FALSE(isAStream);
    EXPECT_EQ(handle, row.Handle);
  }
}

}  // namespace
