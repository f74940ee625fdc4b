#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "framework/exceptions.h"
#include "framework/stream_adapter_win.h"

namespace {

ULARGE_INTEGER U(ULONGLONG v) {
  ULARGE_INTEGER r;
  r.QuadPart = v;
  return r;
}
LARGE_INTEGER L(LONGLONG v) {
  LARGE_INTEGER r;
  r.QuadPart = v;
  return r;
}

// Tells the test when it is freed, so ownership can be checked.
class TWatchedStream : public TMemoryStream {
public:
  bool* Freed;
  explicit TWatchedStream(bool* freed) : Freed(freed) {}
  ~TWatchedStream() override { *Freed = true; }
};

// A stream whose every operation raises, to prove no exception leaves COM.
class TFailingStream : public TStream {
public:
  int32_t Read(void*, int32_t) override { throw EReadError("boom"); }
  int32_t Write(const void*, int32_t) override { throw EWriteError("boom"); }
  int64_t Seek(int64_t, TSeekOrigin) override { throw EStreamError("boom"); }
};

TEST(StreamAdapter, ReferenceCountingAndOwnership) {
  struct Row {
    TStreamOwnership Ownership;
    bool FreedWithAdapter;
  } rows[] = {{TStreamOwnership::soOwned, true}, {TStreamOwnership::soReference, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.FreedWithAdapter);
    bool freed = false;
    auto* stream = new TWatchedStream(&freed);
    IStream* adapter = TStreamAdapter::Create(stream, row.Ownership);
    EXPECT_EQ(adapter->AddRef(), 2u);
    EXPECT_EQ(adapter->Release(), 1u);
    EXPECT_FALSE(freed);
    EXPECT_EQ(adapter->Release(), 0u);
    EXPECT_EQ(freed, row.FreedWithAdapter);
    if (!row.FreedWithAdapter) delete stream;
  }
}

TEST(StreamAdapter, QueryInterface) {
  TMemoryStream stream;
  IStream* adapter = TStreamAdapter::Create(&stream, TStreamOwnership::soReference);
  struct Row {
    const IID* Iid;
    bool Given;
  } rows[] = {{&IID_IUnknown, true},
              {&IID_ISequentialStream, true},
              {&IID_IStream, true},
              {&IID_IDispatch, false},
              {&IID_IPersistStream, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Given);
    void* out = reinterpret_cast<void*>(uintptr_t(0xdeadbeef));
    HRESULT hr = adapter->QueryInterface(*row.Iid, &out);
    if (row.Given) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(out, static_cast<void*>(adapter));
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(out, nullptr);
    }
  }
  EXPECT_EQ(adapter->QueryInterface(IID_IStream, nullptr), E_POINTER);
  EXPECT_EQ(adapter->Release(), 0u);
}

TEST(StreamAdapter, ReadWriteSeekReachTheStream) {
  TMemoryStream stream;
  IStream* adapter = TStreamAdapter::Create(&stream, TStreamOwnership::soReference);
  ULONG count = 0xdeadbeef;
  EXPECT_EQ(adapter->Write("hello world", 11, &count), S_OK);
  EXPECT_EQ(count, 11u);
  EXPECT_EQ(stream.Size(), 11);
  EXPECT_EQ(std::memcmp(stream.Memory(), "hello world", 11), 0);

  struct Row {
    LONGLONG Move;
    DWORD Origin;
    ULONGLONG Expected;
  } rows[] = {{6, STREAM_SEEK_SET, 6}, {-2, STREAM_SEEK_CUR, 4}, {-5, STREAM_SEEK_END, 6}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Expected);
    ULARGE_INTEGER position = U(0xdeadbeef);
    EXPECT_EQ(adapter->Seek(L(row.Move), row.Origin, &position), S_OK);
    EXPECT_EQ(position.QuadPart, row.Expected);
    EXPECT_EQ(stream.Position(), int64_t(row.Expected));
  }

  char buffer[16] = {};
  count = 0xdeadbeef;
  EXPECT_EQ(adapter->Read(buffer, 16, &count), S_OK);  // short at the end
  EXPECT_EQ(count, 5u);
  EXPECT_EQ(std::string(buffer, 5), "world");
  EXPECT_EQ(adapter->Read(buffer, 4, nullptr), S_OK);
  EXPECT_EQ(adapter->Write("!", 1, nullptr), S_OK);
  EXPECT_EQ(stream.Size(), 12);
  EXPECT_EQ(adapter->Release(), 0u);
}

TEST(StreamAdapter, BadArgumentsAreAnsweredWithResultCodes) {
  TMemoryStream stream;
  stream.WriteBuffer("abc", 3);
  stream.SetPosition(1);
  IStream* adapter = TStreamAdapter::Create(&stream, TStreamOwnership::soReference);
  ULONG count = 0xdeadbeef;
  EXPECT_EQ(adapter->Read(nullptr, 1, &count), STG_E_INVALIDPOINTER);
  EXPECT_EQ(count, 0u);
  count = 0xdeadbeef;
  EXPECT_EQ(adapter->Write(nullptr, 1, &count), STG_E_INVALIDPOINTER);
  EXPECT_EQ(count, 0u);
  ULARGE_INTEGER position = U(0xdeadbeef);
  EXPECT_EQ(adapter->Seek(L(0), 3, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(position.QuadPart, 0u);
  EXPECT_EQ(adapter->Seek(L(-5), STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(stream.Position(), 1);  // a failed seek leaves the position alone
  EXPECT_EQ(adapter->Stat(nullptr, STATFLAG_NONAME), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->CopyTo(nullptr, U(1), nullptr, nullptr), STG_E_INVALIDPOINTER);
  IStream* clone = reinterpret_cast<IStream*>(uintptr_t(0xdeadbeef));
  EXPECT_EQ(adapter->Clone(&clone), E_NOTIMPL);
  EXPECT_EQ(clone, nullptr);
  EXPECT_EQ(adapter->Clone(nullptr), STG_E_INVALIDPOINTER);
  EXPECT_EQ(adapter->LockRegion(U(0), U(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(adapter->UnlockRegion(U(0), U(1), LOCK_WRITE), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(adapter->Commit(STGC_DEFAULT), S_OK);
  EXPECT_EQ(adapter->Revert(), STG_E_REVERTED);
  EXPECT_EQ(adapter->Release(), 0u);
}

TEST(StreamAdapter, SetSizeAndStat) {
  TMemoryStream stream;
  IStream* adapter = TStreamAdapter::Create(&stream, TStreamOwnership::soReference);
  EXPECT_EQ(adapter->SetSize(U(10)), S_OK);
  EXPECT_EQ(stream.Size(), 10);
  // More than a memory stream can hold: refused, nothing allocated.
  EXPECT_EQ(adapter->SetSize(U(ULONGLONG(INT32_MAX) + 1)), STG_E_MEDIUMFULL);
  EXPECT_EQ(adapter->SetSize(U(~0ull)), STG_E_MEDIUMFULL);
  EXPECT_EQ(stream.Size(), 10);

  STATSTG stat;
  std::memset(&stat, 0xAB, sizeof(stat));
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_DEFAULT), S_OK);
  EXPECT_EQ(stat.type, DWORD(STGTY_STREAM));
  EXPECT_EQ(stat.cbSize.QuadPart, 10u);
  EXPECT_EQ(stat.pwcsName, nullptr);
  EXPECT_EQ(adapter->Release(), 0u);

  // A stream without SetSize answers with a failure code, not an exception.
  TBytesStream readOnly("abc", 3);
  adapter = TStreamAdapter::Create(&readOnly, TStreamOwnership::soReference);
  EXPECT_EQ(adapter->SetSize(U(1)), E_FAIL);
  ULONG count = 0xdeadbeef;
  EXPECT_EQ(adapter->Write("x", 1, &count), STG_E_MEDIUMFULL);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(adapter->Release(), 0u);
}

TEST(StreamAdapter, CopyToAnotherIStream) {
  std::string data(150000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = char(i % 239);
  TBytesStream source(data.data(), int64_t(data.size()));
  source.SetPosition(10);
  IStream* from = TStreamAdapter::Create(&source, TStreamOwnership::soReference);
  TMemoryStream target;
  IStream* to = TStreamAdapter::Create(&target, TStreamOwnership::soReference);

  ULARGE_INTEGER read = U(1), written = U(1);
  EXPECT_EQ(from->CopyTo(to, U(100000), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, 100000u);
  EXPECT_EQ(written.QuadPart, 100000u);
  ASSERT_EQ(target.Size(), 100000);
  EXPECT_EQ(std::memcmp(target.Memory(), data.data() + 10, 100000), 0);

  // Asking for more than remains copies what remains.
  EXPECT_EQ(from->CopyTo(to, U(~0ull), &read, &written), S_OK);
  EXPECT_EQ(read.QuadPart, data.size() - 100010);
  EXPECT_EQ(written.QuadPart, data.size() - 100010);
  EXPECT_EQ(target.Size(), int64_t(data.size()) - 10);

  // A destination that takes nothing: the failure comes back.
  TBytesStream readOnly("", 0);
  IStream* full = TStreamAdapter::Create(&readOnly, TStreamOwnership::soReference);
  source.SetPosition(0);
  EXPECT_EQ(from->CopyTo(full, U(5), &read, &written), STG_E_MEDIUMFULL);
  EXPECT_EQ(read.QuadPart, 5u);
  EXPECT_EQ(written.QuadPart, 0u);

  EXPECT_EQ(full->Release(), 0u);
  EXPECT_EQ(to->Release(), 0u);
  EXPECT_EQ(from->Release(), 0u);
}

TEST(StreamAdapter, NoExceptionLeavesACall) {
  TFailingStream failing;
  IStream* adapter = TStreamAdapter::Create(&failing, TStreamOwnership::soReference);
  char buffer[4];
  ULONG count = 0xdeadbeef;
  EXPECT_EQ(adapter->Read(buffer, 4, &count), STG_E_READFAULT);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(adapter->Write(buffer, 4, &count), STG_E_WRITEFAULT);
  ULARGE_INTEGER position = U(1);
  EXPECT_EQ(adapter->Seek(L(0), STREAM_SEEK_SET, &position), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(adapter->SetSize(U(1)), E_FAIL);
  STATSTG stat;
  EXPECT_EQ(adapter->Stat(&stat, STATFLAG_NONAME), STG_E_ACCESSDENIED);
  TMemoryStream target;
  IStream* to = TStreamAdapter::Create(&target, TStreamOwnership::soReference);
  EXPECT_EQ(adapter->CopyTo(to, U(4), nullptr, nullptr), E_FAIL);
  EXPECT_EQ(to->Release(), 0u);
  EXPECT_EQ(adapter->Release(), 0u);
}

}  // namespace
