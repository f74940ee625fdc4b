#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "flash/flash_list.h"
#include "framework/exceptions.h"

namespace {

using TBytes = std::vector<uint8_t>;

TBytes Bytes(std::initializer_list<int> values) {
  TBytes result;
  for (int v : values) result.push_back(uint8_t(v));
  return result;
}

TBytes operator+(TBytes a, const TBytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TBytes Text(const std::string& s) { return TBytes(s.begin(), s.end()); }

TBytes StreamBytes(TMemoryStream& s) { return TBytes(s.Memory(), s.Memory() + s.Size()); }

void SetData(TmvFlashStream* item, const std::string& name, const TBytes& data) {
  item->SetStoreName(name);
  item->Stream()->SetSize(int64_t(data.size()));
  if (!data.empty()) std::copy(data.begin(), data.end(), item->Stream()->Memory());
}

TBytes Save(TmvFlashStream* item) {
  TMemoryStream out;
  item->WriteFlashStream(out);
  return StreamBytes(out);
}

void Load(TmvFlashStream* item, const TBytes& payload) {
  TBytesStream in(payload.data(), int64_t(payload.size()));
  item->ReadFlashStream(in);
}

// Records the properties an object defines and drives their reader or writer,
// as the form reader and writer do.
class TRecordingFiler : public TFiler {
public:
  struct TDefined {
    std::string Name;
    std::function<void(TStream&)> Read, Write;
    bool HasData;
  };
  std::vector<TDefined> Defined;
  void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                            const std::function<void(TStream&)>& write, bool hasData) override {
    Defined.push_back({name, read, write, hasData});
  }
  void DefineProperty(const std::string&, const std::function<void(const TFormValue&)>&,
                      const std::function<TFormValue()>&, bool) override {}
};

class FlashListTest : public testing::Test {
protected:
  TmvFlashList FList{nullptr};
  TmvFlashStream* NewItem() { return FList.Flashs()->AddItem(); }
};

TEST_F(FlashListTest, NewItemIsEmptyAndNamedEmpty) {
  TmvFlashStream* item = NewItem();
  ASSERT_NE(item->Stream(), nullptr);
  EXPECT_EQ(item->Stream()->Size(), 0);
  EXPECT_EQ(item->StoreName(), "(empty)");
  EXPECT_EQ(item->FlashStore(), "(empty)");
  EXPECT_EQ(item->GetDisplayName(), "(empty)");
  EXPECT_EQ(item->Tag(), 0);
  EXPECT_EQ(item->Collection(), FList.Flashs());
}

TEST_F(FlashListTest, SavesTheDocumentedSeventeenBytes) {
  TmvFlashStream* item = NewItem();
  SetData(item, "a.swf", Bytes({0x46, 0x57, 0x53}));
  item->Stream()->SetPosition(2);  // the payload is written from memory, not from the position
  EXPECT_EQ(Save(item), Bytes({0x03, 0x05, 0, 0, 0, 0x61, 0x2E, 0x73, 0x77, 0x66, 0x03, 0, 0, 0,
                               0x46, 0x57, 0x53}));
}

TEST_F(FlashListTest, RoundTrips) {
  struct Row {
    const char* Trace;
    std::string Name;
    TBytes Data;
    TBytes Payload;       // what WriteFlashStream gives
    std::string ReadName;  // StoreName after reading it into a new item
  } rows[] = {
      {"empty item", "(empty)", {}, Bytes({0}), "(empty)"},
      {"a name on an empty item is not saved", "intro.swf", {}, Bytes({0}), "(empty)"},
      {"one byte", "x", Bytes({7}), Bytes({3, 1, 0, 0, 0, 'x', 1, 0, 0, 0, 7}), "x"},
      {"empty name with data", "", Bytes({1, 2}), Bytes({3, 0, 0, 0, 0, 2, 0, 0, 0, 1, 2}), ""},
      {"non-ASCII name", "K\xE4" "fer.swf", Bytes({9}),
       Bytes({3, 9, 0, 0, 0}) + Text("K\xE4" "fer.swf") + Bytes({1, 0, 0, 0, 9}), "K\xE4" "fer.swf"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Trace);
    TmvFlashStream* item = NewItem();
    SetData(item, row.Name, row.Data);
    TBytes payload = Save(item);
    EXPECT_EQ(payload, row.Payload);

    TmvFlashStream* back = NewItem();
    Load(back, payload);
    EXPECT_EQ(back->StoreName(), row.ReadName);
    EXPECT_EQ(StreamBytes(*back->Stream()), row.Data);
    EXPECT_EQ(back->Stream()->Position(), 0);
  }
}

TEST_F(FlashListTest, LargeMovieRoundTrips) {
  TBytes data(300000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t(i * 31 + 7);
  TmvFlashStream* item = NewItem();
  SetData(item, "big.swf", data);
  TmvFlashStream* back = NewItem();
  Load(back, Save(item));
  EXPECT_EQ(StreamBytes(*back->Stream()), data);
}

TEST_F(FlashListTest, ReadsWellFormedPayloads) {
  struct Row {
    const char* Trace;
    TBytes Payload;
    std::string Name;
    TBytes Data;
  } rows[] = {
      {"version 3", Bytes({3, 5, 0, 0, 0}) + Text("a.swf") + Bytes({3, 0, 0, 0, 0x46, 0x57, 0x53}),
       "a.swf", Bytes({0x46, 0x57, 0x53})},
      {"version 2, 8-byte length 5",
       Bytes({2, 4, 0, 0, 0}) + Text("v.fl") +
           Bytes({5, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5}),
       "v.fl", Bytes({1, 2, 3, 4, 5})},
      {"version 3, zero data length", Bytes({3, 1, 0, 0, 0, 'n', 0, 0, 0, 0}), "n", {}},
      {"trailing bytes are ignored", Bytes({3, 1, 0, 0, 0, 'n', 1, 0, 0, 0, 9, 8, 7}), "n",
       Bytes({9})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Trace);
    TmvFlashStream* item = NewItem();
    Load(item, row.Payload);
    EXPECT_EQ(item->StoreName(), row.Name);
    EXPECT_EQ(StreamBytes(*item->Stream()), row.Data);
    EXPECT_EQ(item->Stream()->Position(), 0);
  }
}

// A payload that is not complete and consistent leaves the item as it was:
// no partial name, no partial bytes, no allocation beyond what the payload holds.
TEST_F(FlashListTest, BrokenPayloadsLeaveTheItemAlone) {
  struct Row {
    const char* Trace;
    TBytes Payload;
  } rows[] = {
      {"nothing at all", {}},
      {"version 0 with bytes after it", Bytes({0, 5, 0, 0, 0, 'a'})},
      {"version 1", Bytes({1, 1, 0, 0, 0, 'n', 1, 0, 0, 0, 9})},
      {"version 4", Bytes({4, 1, 0, 0, 0, 'n', 1, 0, 0, 0, 9})},
      {"version 255", Bytes({255})},
      {"name length cut short", Bytes({3, 1, 0})},
      {"name length past the end", Bytes({3, 9, 0, 0, 0, 'a', 'b'})},
      {"huge name length", Bytes({3, 0xFF, 0xFF, 0xFF, 0x7F, 'a', 'b'})},
      {"negative name length", Bytes({3, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0, 9})},
      {"no data length", Bytes({3, 1, 0, 0, 0, 'n'})},
      {"data length cut short", Bytes({3, 1, 0, 0, 0, 'n', 1, 0})},
      {"data length past the end", Bytes({3, 1, 0, 0, 0, 'n', 4, 0, 0, 0, 1, 2, 3})},
      {"huge data length", Bytes({3, 1, 0, 0, 0, 'n', 0xFF, 0xFF, 0xFF, 0x7F, 1})},
      {"negative data length", Bytes({3, 1, 0, 0, 0, 'n', 0xFF, 0xFF, 0xFF, 0xFF, 1})},
      {"most negative data length", Bytes({3, 1, 0, 0, 0, 'n', 0, 0, 0, 0x80, 1})},
      {"version 2, high half set",
       Bytes({2, 1, 0, 0, 0, 'n', 1, 0, 0, 0, 1, 0, 0, 0, 9})},
      {"version 2, length past the end", Bytes({2, 1, 0, 0, 0, 'n', 2, 0, 0, 0, 0, 0, 0, 0, 9})},
      {"version 2, low half negative",
       Bytes({2, 1, 0, 0, 0, 'n', 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 9})},
      {"version 2, 8-byte length cut short", Bytes({2, 1, 0, 0, 0, 'n', 1, 0, 0, 0, 0})},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Trace);
    // A new item stays new...
    TmvFlashStream* fresh = NewItem();
    Load(fresh, row.Payload);
    EXPECT_EQ(fresh->StoreName(), "(empty)");
    EXPECT_EQ(fresh->Stream()->Size(), 0);
    // ...and one that holds a movie keeps it.
    TmvFlashStream* filled = NewItem();
    SetData(filled, "keep.swf", Bytes({1, 2, 3}));
    Load(filled, row.Payload);
    EXPECT_EQ(filled->StoreName(), "keep.swf");
    EXPECT_EQ(StreamBytes(*filled->Stream()), Bytes({1, 2, 3}));
  }
}

TEST_F(FlashListTest, ReadingReplacesWhatTheItemHeld) {
  TmvFlashStream* item = NewItem();
  SetData(item, "old.swf", Bytes({1, 2, 3, 4, 5, 6}));
  Load(item, Bytes({3, 1, 0, 0, 0, 'n', 2, 0, 0, 0, 8, 9}));
  EXPECT_EQ(item->StoreName(), "n");
  EXPECT_EQ(StreamBytes(*item->Stream()), Bytes({8, 9}));
}

TEST_F(FlashListTest, FlashStoreReadsTheNameOnlyWithDataAndIgnoresWrites) {
  TmvFlashStream* item = NewItem();
  item->SetStoreName("named.swf");
  EXPECT_EQ(item->FlashStore(), "(empty)");  // named, but holding nothing
  EXPECT_EQ(item->GetDisplayName(), "named.swf");
  item->SetFlashStore("other.swf");
  EXPECT_EQ(item->StoreName(), "named.swf");
  SetData(item, "named.swf", Bytes({1}));
  EXPECT_EQ(item->FlashStore(), "named.swf");
  item->SetFlashStore("other.swf");
  EXPECT_EQ(item->FlashStore(), "named.swf");
}

TEST_F(FlashListTest, DefinesTheFlashStreamPropertyAlwaysWithData) {
  TmvFlashStream* item = NewItem();
  TRecordingFiler filer;
  item->DefineProperties(filer);
  ASSERT_EQ(filer.Defined.size(), 1u);
  EXPECT_EQ(filer.Defined[0].Name, "FlashStream");
  EXPECT_TRUE(filer.Defined[0].HasData);  // an empty item writes its payload too

  TMemoryStream written;
  filer.Defined[0].Write(written);
  EXPECT_EQ(StreamBytes(written), Bytes({0}));

  TBytes payload = Bytes({3, 5, 0, 0, 0}) + Text("a.swf") + Bytes({3, 0, 0, 0, 0x46, 0x57, 0x53});
  TBytesStream in(payload.data(), int64_t(payload.size()));
  filer.Defined[0].Read(in);
  EXPECT_EQ(item->FlashStore(), "a.swf");
  EXPECT_EQ(StreamBytes(*item->Stream()), Bytes({0x46, 0x57, 0x53}));
}

TEST_F(FlashListTest, FindFlash) {
  EXPECT_EQ(FList.FindFlash("anything"), nullptr);
  EXPECT_EQ(FList.FindFlash("(empty)"), nullptr);

  TmvFlashStream* intro = NewItem();
  SetData(intro, "Intro.swf", Bytes({1}));
  TmvFlashStream* umlaut = NewItem();
  SetData(umlaut, "K\xC4" "fer.swf", Bytes({2}));
  TmvFlashStream* empty = NewItem();
  empty->SetStoreName("never.swf");  // no data: known as "(empty)"
  TmvFlashStream* duplicate = NewItem();
  SetData(duplicate, "INTRO.SWF", Bytes({3}));

  struct Row {
    std::string Name;
    TmvFlashStream* Expected;
  } rows[] = {
      {"Intro.swf", intro},
      {"intro.SWF", intro},  // first match wins over the later duplicate
      {"INTRO.SWF", intro},
      {"Intro.sw", nullptr},
      {"Intro.swf ", nullptr},
      {"K\xC4" "fer.swf", umlaut},
      {"k\xC4" "FER.swf", umlaut},
      {"K\xE4" "fer.swf", nullptr},  // letters outside ASCII must match exactly
      {"(empty)", empty},
      {"(EMPTY)", empty},
      {"never.swf", nullptr},
      {"", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(FList.FindFlash(row.Name), row.Expected);
  }
}

TEST_F(FlashListTest, CollectionBelongsToTheList) {
  FList.SetName("FlashList1");
  TmvFlashCollection* flashs = FList.Flashs();
  EXPECT_EQ(flashs->GetOwner(), &FList);
  EXPECT_EQ(flashs->PropName(), "Flashs");
  NewItem();
  NewItem();
  EXPECT_EQ(flashs->Items(1)->GetNamePath(), "FlashList1.Flashs[1]");
  EXPECT_THROW(flashs->Items(2), EListError);
}

TEST_F(FlashListTest, ItemAssignCopiesAnotherItem) {
  TmvFlashStream* source = NewItem();
  SetData(source, "a.swf", Bytes({1, 2, 3}));
  source->SetTag(-7);
  TmvFlashStream* dest = NewItem();
  dest->Assign(source);
  EXPECT_EQ(dest->StoreName(), "a.swf");
  EXPECT_EQ(dest->Tag(), -7);
  EXPECT_EQ(StreamBytes(*dest->Stream()), Bytes({1, 2, 3}));
  EXPECT_NE(dest->Stream(), source->Stream());
  // Anything else is refused with the usual message.
  TComponent component(nullptr);
  try {
    dest->Assign(&component);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Cannot assign a TComponent to a TmvFlashStream");
  }
}

TEST_F(FlashListTest, SetFlashsCopiesAndKeepsTheListsOwnCollection) {
  TmvFlashList other(nullptr);
  SetData(other.Flashs()->AddItem(), "one.swf", Bytes({1}));
  SetData(other.Flashs()->AddItem(), "two.swf", Bytes({2, 2}));
  NewItem();
  TmvFlashCollection* own = FList.Flashs();
  FList.SetFlashs(other.Flashs());
  EXPECT_EQ(FList.Flashs(), own);
  ASSERT_EQ(own->Count(), 2);
  EXPECT_EQ(own->Items(1)->StoreName(), "two.swf");
  EXPECT_EQ(StreamBytes(*own->Items(1)->Stream()), Bytes({2, 2}));
  EXPECT_EQ(other.Flashs()->Count(), 2);
}

TEST_F(FlashListTest, ListIsAnOwnedComponent) {
  TComponent form(nullptr);
  auto* list = new TmvFlashList(&form);
  list->SetName("FlashList1");
  SetData(list->Flashs()->AddItem(), "a.swf", Bytes({1}));
  EXPECT_EQ(form.FindComponent("flashlist1"), list);
  // The form frees the list, the list its collection, the collection its items.
}

}  // namespace
