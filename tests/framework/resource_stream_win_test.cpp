#include <gtest/gtest.h>

#include <string>

#include "framework/exceptions.h"
#include "framework/resource_stream_win.h"

namespace {

std::string ReadAll(TStream& s) {
  std::string result(size_t(s.Size()), '\0');
  s.SetPosition(0);
  s.ReadBuffer(result.data(), int32_t(result.size()));
  return result;
}

TEST(ResourceStream, ReadsANamedRcdataResource) {
  struct Row {
    const char* Name;
    std::string Expected;
  } rows[] = {
      {"TESTDATA", "Kribbel resource test data\n"},
      {"testdata", "Kribbel resource test data\n"},  // resource names ignore case
      {"INLINEDATA", std::string("abcd")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TResourceStream s(GetModuleHandleA(nullptr), row.Name);
    EXPECT_EQ(s.Position(), 0);
    EXPECT_EQ(ReadAll(s), row.Expected);
  }
}

TEST(ResourceStream, IsReadOnly) {
  TResourceStream s(GetModuleHandleA(nullptr), "TESTDATA");
  const uint8_t before = s.Memory()[0];
  EXPECT_EQ(s.Write("x", 1), 0);
  EXPECT_THROW(s.WriteBuffer("x", 1), EWriteError);
  EXPECT_THROW(s.SetSize(1), EStreamError);
  EXPECT_EQ(s.Memory()[0], before);
}

TEST(ResourceStream, MissingResourceRaises) {
  struct Row {
    const char* Name;
    LPCSTR Type;
  } rows[] = {
      {"NOSUCHRESOURCE", MAKEINTRESOURCEA(10)},
      {"TESTDATA", MAKEINTRESOURCEA(2)},  // there, but not as a bitmap
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    try {
      TResourceStream s(GetModuleHandleA(nullptr), row.Name, row.Type);
      FAIL() << "no exception";
    } catch (const EResNotFound& e) {
      EXPECT_EQ(e.Message(), std::string("Resource ") + row.Name + " not found");
    }
  }
}

}  // namespace
