#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/streams.h"

namespace {

std::vector<uint8_t> Contents(const TMemoryStream& s, int64_t size) {
  return std::vector<uint8_t>(s.Memory(), s.Memory() + size);
}

TEST(MemoryStream, WriteReadSeek) {
  TMemoryStream s;
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Write("abcdef", 6), 6);
  EXPECT_EQ(s.Position(), 6);
  EXPECT_EQ(s.Size(), 6);
  EXPECT_EQ(s.Size(), 6);  // Size leaves the position alone
  EXPECT_EQ(s.Position(), 6);

  struct Row {
    int64_t Offset;
    TSeekOrigin Origin;
    int64_t Expected;
  } rows[] = {
      {0, TSeekOrigin::soBeginning, 0}, {2, TSeekOrigin::soCurrent, 2},
      {-1, TSeekOrigin::soEnd, 5},      {-3, TSeekOrigin::soCurrent, 2},
      {10, TSeekOrigin::soBeginning, 10},
  };
  s.SetPosition(0);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Expected);
    EXPECT_EQ(s.Seek(row.Offset, row.Origin), row.Expected);
  }

  char buffer[8] = {};
  s.SetPosition(2);
  EXPECT_EQ(s.Read(buffer, 8), 4);  // short at the end
  EXPECT_EQ(std::string(buffer, 4), "cdef");
  EXPECT_EQ(s.Read(buffer, 8), 0);
  s.SetPosition(100);
  EXPECT_EQ(s.Read(buffer, 8), 0);
  s.SetPosition(-5);
  EXPECT_EQ(s.Read(buffer, 8), 0);
  EXPECT_EQ(s.Write("x", 1), 0);
  EXPECT_EQ(s.Read(buffer, -1), 0);
  EXPECT_EQ(s.Write(buffer, -1), 0);
}

TEST(MemoryStream, WritingPastTheEndFillsTheGapWithZeros) {
  TMemoryStream s;
  s.SetPosition(3);
  EXPECT_EQ(s.Write("z", 1), 1);
  EXPECT_EQ(Contents(s, s.Size()), (std::vector<uint8_t>{0, 0, 0, 'z'}));
}

TEST(MemoryStream, ManySmallWritesKeepEveryByte) {
  TMemoryStream s;
  for (int i = 0; i < 100000; ++i) {
    uint8_t b = uint8_t(i * 7);
    s.WriteBuffer(&b, 1);
  }
  ASSERT_EQ(s.Size(), 100000);
  for (int i = 0; i < 100000; i += 997) ASSERT_EQ(s.Memory()[i], uint8_t(i * 7)) << i;
}

TEST(MemoryStream, SetSizeKeepsThePosition) {
  TMemoryStream s;
  s.WriteBuffer("abcdef", 6);
  s.SetSize(3);
  EXPECT_EQ(s.Size(), 3);
  EXPECT_EQ(s.Position(), 6);
  s.SetSize(5);
  EXPECT_EQ(Contents(s, 5), (std::vector<uint8_t>{'a', 'b', 'c', 0, 0}));
  s.Clear();
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Position(), 0);
}

TEST(MemoryStream, BadSizesRaiseWithoutAllocating) {
  struct Row {
    int64_t Size;
    bool OutOfMemory;  // else EStreamError
  } rows[] = {
      {-1, false},
      {INT64_MIN, false},
      {int64_t(INT32_MAX) + 1, true},
      {INT64_MAX, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Size);
    TMemoryStream s;
    s.WriteBuffer("ab", 2);
    if (row.OutOfMemory) {
      EXPECT_THROW(s.SetSize(row.Size), EOutOfMemory);
    } else {
      EXPECT_THROW(s.SetSize(row.Size), EStreamError);
    }
    EXPECT_EQ(s.Size(), 2);
  }
}

TEST(MemoryStream, WritingFarBeyondWhatItCanHoldRaises) {
  TMemoryStream s;
  for (int64_t position : {int64_t(INT32_MAX), int64_t(INT32_MAX) + 1, INT64_MAX}) {
    SCOPED_TRACE(position);
    s.SetPosition(position);
    EXPECT_THROW(s.Write("abcd", 4), EOutOfMemory);
  }
  EXPECT_EQ(s.Size(), 0);
}

TEST(MemoryStream, SeekOverflowRaises) {
  TMemoryStream s;
  s.SetPosition(INT64_MAX);
  EXPECT_THROW(s.Seek(1, TSeekOrigin::soCurrent), EStreamError);
  TBytesStream b("ab", 2);
  EXPECT_THROW(b.Seek(INT64_MAX, TSeekOrigin::soEnd), EStreamError);
}

TEST(MemoryStream, LoadAndSave) {
  TMemoryStream source;
  source.WriteBuffer("hello", 5);
  TMemoryStream copy;
  copy.WriteBuffer("old contents", 12);
  copy.LoadFromStream(source);  // from the source's start, whatever its position
  EXPECT_EQ(copy.Size(), 5);
  EXPECT_EQ(copy.Position(), 0);
  EXPECT_EQ(Contents(copy, 5), (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o'}));

  TMemoryStream saved;
  saved.WriteBuffer(">", 1);
  copy.SetPosition(3);
  copy.SaveToStream(saved);  // the whole contents, independent of the position
  EXPECT_EQ(Contents(saved, saved.Size()), (std::vector<uint8_t>{'>', 'h', 'e', 'l', 'l', 'o'}));

  // Saving into a stream that takes nothing raises instead of losing bytes quietly.
  TBytesStream readOnly("", 0);
  try {
    copy.SaveToStream(readOnly);
    FAIL() << "no exception";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
}

TEST(Stream, ReadBufferAndWriteBufferMoveAllOrRaise) {
  TBytesStream s("abc", 3);
  char buffer[4] = {};
  s.ReadBuffer(buffer, 2);
  EXPECT_EQ(std::string(buffer, 2), "ab");
  s.ReadBuffer(buffer, 0);  // nothing asked, nothing raised
  try {
    s.ReadBuffer(buffer, 2);
    FAIL() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  EXPECT_THROW(s.ReadBuffer(buffer, -1), EReadError);
  try {
    s.WriteBuffer("x", 1);
    FAIL() << "no exception";
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
}

TEST(Stream, CopyFrom) {
  std::vector<uint8_t> big(200000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = uint8_t(i % 251);
  TBytesStream source(big.data(), int64_t(big.size()));

  TMemoryStream all;
  source.SetPosition(1234);
  EXPECT_EQ(all.CopyFrom(source, 0), int64_t(big.size()));  // 0: everything, from the start
  EXPECT_EQ(Contents(all, all.Size()), big);

  TMemoryStream part;
  source.SetPosition(100);
  EXPECT_EQ(part.CopyFrom(source, 70000), 70000);
  EXPECT_EQ(Contents(part, part.Size()),
            std::vector<uint8_t>(big.begin() + 100, big.begin() + 70100));

  TMemoryStream tooMuch;
  source.SetPosition(big.size() - 10);
  EXPECT_THROW(tooMuch.CopyFrom(source, 11), EReadError);
  EXPECT_THROW(tooMuch.CopyFrom(source, -1), EStreamError);
}

TEST(Stream, SetSizeIsRefusedByDefault) {
  TBytesStream s("abc", 3);
  EXPECT_THROW(s.SetSize(1), EStreamError);
  EXPECT_EQ(s.Size(), 3);
}

TEST(BytesStream, ReadsTheBytesItViewsAndWritesNothing) {
  const uint8_t data[] = {1, 2, 3, 4};
  TBytesStream s(data, 4);
  EXPECT_EQ(s.Memory(), data);
  EXPECT_EQ(s.Size(), 4);
  uint8_t buffer[8] = {};
  EXPECT_EQ(s.Read(buffer, 3), 3);
  EXPECT_EQ(s.Read(buffer + 3, 3), 1);
  EXPECT_EQ(std::memcmp(buffer, data, 4), 0);
  s.SetPosition(-2);
  EXPECT_EQ(s.Read(buffer, 1), 0);
  s.SetPosition(0);
  EXPECT_EQ(s.Write("zz", 2), 0);
  EXPECT_EQ(data[0], 1);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> result;
  for (int v : values) result.push_back(uint8_t(v));
  return result;
}

TEST(StreamString, WriteGivesLengthThenBytes) {
  struct Row {
    std::string Value;
    std::vector<uint8_t> Expected;
  } rows[] = {
      {"", Bytes({0, 0, 0, 0})},
      {"a.swf", Bytes({5, 0, 0, 0, 'a', '.', 's', 'w', 'f'})},
      {std::string("\0\xFF", 2), Bytes({2, 0, 0, 0, 0, 0xFF})},
      {std::string(300, 'x'), [] {
         auto b = Bytes({0x2C, 0x01, 0, 0});
         b.insert(b.end(), 300, 'x');
         return b;
       }()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Value.size());
    TMemoryStream s;
    WriteStreamString(s, row.Value);
    EXPECT_EQ(Contents(s, s.Size()), row.Expected);
    s.SetPosition(0);
    std::string back = "junk";
    ReadStreamString(s, back);
    EXPECT_EQ(back, row.Value);
    EXPECT_EQ(s.Position(), s.Size());
  }
}

TEST(StreamString, ReadTakesNoMoreThanTheStreamHolds) {
  struct Row {
    const char* Name;
    std::vector<uint8_t> Input;
    std::string Expected;
    int64_t EndPosition;
  } rows[] = {
      {"nothing at all", {}, "", 0},
      {"one length byte only", Bytes({3}), "", 1},
      {"three length bytes only", Bytes({1, 0, 0}), "", 3},
      {"zero length", Bytes({0, 0, 0, 0, 'a'}), "", 4},
      {"negative length", Bytes({0xFF, 0xFF, 0xFF, 0xFF, 'a'}), "", 4},
      {"most negative length", Bytes({0, 0, 0, 0x80, 'a'}), "", 4},
      {"length past the end", Bytes({5, 0, 0, 0, 'a', 'b'}), "ab", 6},
      {"huge length, two bytes", Bytes({0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'}), "ab", 6},
      {"huge length, nothing", Bytes({0xFF, 0xFF, 0xFF, 0x7F}), "", 4},
      {"exact length, rest ignored", Bytes({1, 0, 0, 0, 'a', 'b'}), "a", 5},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    TBytesStream s(row.Input.data(), int64_t(row.Input.size()));
    std::string value = "junk";
    ReadStreamString(s, value);
    EXPECT_EQ(value, row.Expected);
    EXPECT_EQ(s.Position(), row.EndPosition);
  }
}

TEST(StreamString, LongStringCrossesReadChunks) {
  std::string value(200001, '\0');
  for (size_t i = 0; i < value.size(); ++i) value[i] = char(i % 253);
  TMemoryStream s;
  WriteStreamString(s, value);
  s.SetPosition(0);
  std::string back;
  ReadStreamString(s, back);
  EXPECT_EQ(back, value);
}

TEST(StreamString, WriteIntoAStreamThatTakesNothingRaises) {
  TBytesStream readOnly("", 0);
  EXPECT_THROW(WriteStreamString(readOnly, "a"), EWriteError);
}

}  // namespace
