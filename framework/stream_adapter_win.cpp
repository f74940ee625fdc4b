#include "framework/stream_adapter_win.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "framework/exceptions.h"

namespace {
// One read or write of our streams moves at most what an int32 counts.
constexpr ULONG MaxChunk = INT32_MAX;
}  // namespace

IStream* TStreamAdapter::Create(TStream* stream, TStreamOwnership ownership) {
  return new TStreamAdapter(stream, ownership);
}

TStreamAdapter::~TStreamAdapter() {
  if (FOwnership == TStreamOwnership::soOwned) delete FStream;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::QueryInterface(REFIID iid, void** out) {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
      IsEqualIID(iid, IID_IStream)) {
    *out = static_cast<IStream*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TStreamAdapter::AddRef() { return ULONG(InterlockedIncrement(&FRefCount)); }

ULONG STDMETHODCALLTYPE TStreamAdapter::Release() {
  LONG count = InterlockedDecrement(&FRefCount);
  if (count == 0) {
    try {
      delete this;
    } catch (...) {
      // An owned stream's destructor must not take the caller down.
    }
  }
  return ULONG(count);
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Read(void* pv, ULONG cb, ULONG* pcbRead) {
  if (pcbRead != nullptr) *pcbRead = 0;
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  try {
    ULONG total = 0;
    while (total < cb) {
      int32_t chunk = int32_t(std::min<ULONG>(cb - total, MaxChunk));
      int32_t got = FStream->Read(static_cast<uint8_t*>(pv) + total, chunk);
      if (got <= 0) break;
      total += ULONG(got);
      if (got < chunk) break;
    }
    // A short count at the end is no failure: S_OK, as memory streams answer.
    if (pcbRead != nullptr) *pcbRead = total;
    return S_OK;
  } catch (...) {
    return STG_E_READFAULT;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
  if (pcbWritten != nullptr) *pcbWritten = 0;
  if (pv == nullptr) return STG_E_INVALIDPOINTER;
  try {
    ULONG total = 0;
    while (total < cb) {
      int32_t chunk = int32_t(std::min<ULONG>(cb - total, MaxChunk));
      int32_t put = FStream->Write(static_cast<const uint8_t*>(pv) + total, chunk);
      if (put <= 0) break;
      total += ULONG(put);
      if (put < chunk) break;
    }
    if (pcbWritten != nullptr) *pcbWritten = total;
    return total < cb ? STG_E_MEDIUMFULL : S_OK;
  } catch (const EOutOfMemory&) {
    return STG_E_MEDIUMFULL;
  } catch (...) {
    return STG_E_WRITEFAULT;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Seek(LARGE_INTEGER move, DWORD origin,
                                               ULARGE_INTEGER* newPosition) {
  if (newPosition != nullptr) newPosition->QuadPart = 0;
  TSeekOrigin seekOrigin;
  switch (origin) {
    case STREAM_SEEK_SET: seekOrigin = TSeekOrigin::soBeginning; break;
    case STREAM_SEEK_CUR: seekOrigin = TSeekOrigin::soCurrent; break;
    case STREAM_SEEK_END: seekOrigin = TSeekOrigin::soEnd; break;
    default: return STG_E_INVALIDFUNCTION;
  }
  try {
    int64_t current = FStream->Position();
    int64_t target = FStream->Seek(move.QuadPart, seekOrigin);
    if (target < 0) {
      // IStream positions are unsigned: a seek before the start fails and
      // leaves the position where it was.
      FStream->SetPosition(current);
      return STG_E_INVALIDFUNCTION;
    }
    if (newPosition != nullptr) newPosition->QuadPart = ULONGLONG(target);
    return S_OK;
  } catch (...) {
    return STG_E_INVALIDFUNCTION;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::SetSize(ULARGE_INTEGER newSize) {
  if (newSize.QuadPart > ULONGLONG(INT64_MAX)) return STG_E_MEDIUMFULL;
  try {
    FStream->SetSize(int64_t(newSize.QuadPart));
    return FStream->Size() == int64_t(newSize.QuadPart) ? S_OK : E_FAIL;
  } catch (const EOutOfMemory&) {
    return STG_E_MEDIUMFULL;
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::CopyTo(IStream* dest, ULARGE_INTEGER cb,
                                                 ULARGE_INTEGER* pcbRead,
                                                 ULARGE_INTEGER* pcbWritten) {
  if (pcbRead != nullptr) pcbRead->QuadPart = 0;
  if (pcbWritten != nullptr) pcbWritten->QuadPart = 0;
  if (dest == nullptr) return STG_E_INVALIDPOINTER;
  try {
    constexpr int32_t ChunkSize = 64 * 1024;
    std::vector<uint8_t> buffer(ChunkSize);
    ULONGLONG totalRead = 0, totalWritten = 0;
    HRESULT result = S_OK;
    while (totalRead < cb.QuadPart) {
      int32_t chunk = int32_t(std::min<ULONGLONG>(cb.QuadPart - totalRead, ChunkSize));
      int32_t got = FStream->Read(buffer.data(), chunk);
      if (got <= 0) break;
      totalRead += ULONG(got);
      ULONG written = 0;
      result = dest->Write(buffer.data(), ULONG(got), &written);
      totalWritten += written;
      if (FAILED(result)) break;
      if (written < ULONG(got)) {
        result = STG_E_MEDIUMFULL;
        break;
      }
      if (got < chunk) break;
    }
    if (pcbRead != nullptr) pcbRead->QuadPart = totalRead;
    if (pcbWritten != nullptr) pcbWritten->QuadPart = totalWritten;
    return result;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Our streams are not transacted: there is nothing to commit or revert.
HRESULT STDMETHODCALLTYPE TStreamAdapter::Commit(DWORD) { return S_OK; }
HRESULT STDMETHODCALLTYPE TStreamAdapter::Revert() { return STG_E_REVERTED; }

HRESULT STDMETHODCALLTYPE TStreamAdapter::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
  return STG_E_INVALIDFUNCTION;
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Stat(STATSTG* stat, DWORD) {
  if (stat == nullptr) return STG_E_INVALIDPOINTER;
  std::memset(stat, 0, sizeof(*stat));
  try {
    // The stream has no name: pwcsName stays nil whatever the flags ask.
    stat->type = STGTY_STREAM;
    stat->cbSize.QuadPart = ULONGLONG(FStream->Size());
    stat->grfMode = STGM_READWRITE;
    stat->grfLocksSupported = 0;
    return S_OK;
  } catch (...) {
    std::memset(stat, 0, sizeof(*stat));
    return STG_E_ACCESSDENIED;
  }
}

HRESULT STDMETHODCALLTYPE TStreamAdapter::Clone(IStream** out) {
  if (out == nullptr) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  return E_NOTIMPL;
}
