// The control's saved state: a round trip, and broken states refused.
#include "standin_support.h"

#include <oleauto.h>

#include <functional>

using namespace standin_test;

namespace {

std::vector<uint8_t> StreamBytes(IStream* stream) {
  STATSTG stat{};
  stream->Stat(&stat, STATFLAG_NONAME);
  std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  ULONG read = 0;
  if (!bytes.empty()) stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
  return bytes;
}

ComPtr<IStream> StreamOf(const std::vector<uint8_t>& bytes) {
  ComPtr<IStream> stream;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  ULONG written = 0;
  if (!bytes.empty()) stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written);
  stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
  return stream;
}

std::vector<uint8_t> SavedState(IUnknown* control) {
  ComPtr<IPersistStreamInit> persist;
  EXPECT_EQ(control->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(persist.GetAddressOf())), S_OK);
  ComPtr<IStream> stream = StreamOf({});
  EXPECT_EQ(persist->Save(stream.Get(), TRUE), S_OK);
  return StreamBytes(stream.Get());
}

TEST_F(StandinTest, SavedStateRoundTrips) {
  ComPtr<IOleObject> original = CreateControl();
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(original.As(&persist), S_OK);
  CLSID clsid{};
  EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
  EXPECT_EQ(clsid, CLSID_FlashStandin);
  ASSERT_EQ(persist->InitNew(), S_OK);
  EXPECT_EQ(persist->InitNew(), E_UNEXPECTED);
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(original.As(&dispatch), S_OK);
  VARIANT mode = TextVariant(L"Transparent"), vars = TextVariant(L"a=\x00FC&b=2");
  ASSERT_EQ(PutProperty(dispatch.Get(), 133, mode), S_OK);
  ASSERT_EQ(PutProperty(dispatch.Get(), 170, vars), S_OK);
  ASSERT_EQ(PutProperty(dispatch.Get(), 105, IntVariant(3)), S_OK);
  ASSERT_EQ(PutProperty(dispatch.Get(), 106, BoolVariant(false)), S_OK);
  SIZEL extent{5080, 2540};
  ASSERT_EQ(original->SetExtent(DVASPECT_CONTENT, &extent), S_OK);
  EXPECT_EQ(persist->IsDirty(), S_OK);

  ULARGE_INTEGER sizeMax{};
  ASSERT_EQ(persist->GetSizeMax(&sizeMax), S_OK);
  const std::vector<uint8_t> state = SavedState(original.Get());
  EXPECT_EQ(sizeMax.QuadPart, state.size());
  EXPECT_EQ(persist->IsDirty(), S_FALSE);
  ASSERT_GE(state.size(), 12u);
  EXPECT_EQ(std::string(state.begin(), state.begin() + 4), "KSFC");

  ComPtr<IOleObject> copy = CreateControl();
  ComPtr<IPersistStreamInit> copyPersist;
  ASSERT_EQ(copy.As(&copyPersist), S_OK);
  ComPtr<IStream> stream = StreamOf(state);
  ASSERT_EQ(copyPersist->Load(stream.Get()), S_OK);
  EXPECT_EQ(copyPersist->InitNew(), E_UNEXPECTED);
  ComPtr<IDispatch> copyDispatch;
  ASSERT_EQ(copy.As(&copyDispatch), S_OK);
  VARIANT value;
  ASSERT_EQ(GetProperty(copyDispatch.Get(), 133, value), S_OK);
  EXPECT_STREQ(V_BSTR(&value), L"Transparent");
  VariantClear(&value);
  ASSERT_EQ(GetProperty(copyDispatch.Get(), 170, value), S_OK);
  EXPECT_STREQ(V_BSTR(&value), L"a=\x00FC&b=2");
  VariantClear(&value);
  ASSERT_EQ(GetProperty(copyDispatch.Get(), 105, value), S_OK);
  EXPECT_EQ(V_I4(&value), 3);
  ASSERT_EQ(GetProperty(copyDispatch.Get(), 106, value), S_OK);
  EXPECT_EQ(V_BOOL(&value), VARIANT_FALSE);
  SIZEL copied{};
  ASSERT_EQ(copy->GetExtent(DVASPECT_CONTENT, &copied), S_OK);
  EXPECT_EQ(copied.cx, 5080);
  EXPECT_EQ(copied.cy, 2540);
  // The copy saves the same bytes.
  EXPECT_EQ(SavedState(copy.Get()), state);
  VariantClear(&mode);
  VariantClear(&vars);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

TEST_F(StandinTest, BrokenSavedStatesAreRefused) {
  ComPtr<IOleObject> source = CreateControl();
  const std::vector<uint8_t> good = SavedState(source.Get());
  ASSERT_GT(good.size(), 40u);
  // The first entry starts after header (12), extent (8) and count (4).
  const size_t firstEntry = 24;
  const struct {
    const char* Case;
    std::function<void(std::vector<uint8_t>&)> Break;
  } rows[] = {
      {"empty", [](auto& b) { b.clear(); }},
      {"short header", [](auto& b) { b.resize(7); }},
      {"bad magic", [](auto& b) { b[0] = 'X'; }},
      {"other version", [&](auto& b) { PutU32(b, 4, 2); }},
      {"body longer than allowed", [&](auto& b) { PutU32(b, 8, 0x7FFFFFFF); }},
      {"body longer than the stream", [&](auto& b) { PutU32(b, 8, static_cast<uint32_t>(b.size())); }},
      {"truncated body", [&](auto& b) { b.resize(b.size() - 3); PutU32(b, 8, static_cast<uint32_t>(b.size() - 12)); }},
      {"too many entries", [&](auto& b) { PutU32(b, 20, 1000); }},
      {"unknown DISPID", [&](auto& b) { PutU32(b, firstEntry, 4242); }},
      {"read-only DISPID", [&](auto& b) { PutU32(b, firstEntry, static_cast<uint32_t>(-525)); }},
      {"wrong type", [&](auto& b) { b[firstEntry + 4] = VT_R8; }},
      {"negative extent", [&](auto& b) { PutU32(b, 12, 0xFFFFFFFF); }},
      {"string longer than the body", [&](auto& b) {
         // WMode is a string entry; find it by its DISPID.
         for (size_t i = firstEntry; i + 10 < b.size(); ++i)
           if (b[i] == 133 && b[i + 1] == 0 && b[i + 2] == 0 && b[i + 3] == 0 && b[i + 4] == VT_BSTR) {
             PutU32(b, i + 6, 0x40000000);
             return;
           }
       }},
      {"trailing bytes", [&](auto& b) { b.push_back(0); PutU32(b, 8, static_cast<uint32_t>(b.size() - 12)); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    std::vector<uint8_t> broken = good;
    row.Break(broken);
    ComPtr<IOleObject> control = CreateControl();
    ComPtr<IPersistStreamInit> persist;
    ASSERT_EQ(control.As(&persist), S_OK);
    ComPtr<IStream> stream = StreamOf(broken);
    EXPECT_EQ(persist->Load(stream.Get()), CTL_E_INVALIDFILEFORMAT);
    // Nothing was taken over, and the control may still start afresh.
    EXPECT_EQ(SavedState(control.Get()), good);
    EXPECT_EQ(persist->InitNew(), S_OK);
  }
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(source.As(&persist), S_OK);
  EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

}  // namespace
