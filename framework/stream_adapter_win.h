#pragma once
// A COM IStream over one of our streams, for callers that want the system's
// stream interface. Its reference count decides its own life; the TStream it
// wraps is freed with it only when owned.
#include <objidl.h>
#include <windows.h>

#include "framework/streams.h"

enum class TStreamOwnership { soReference, soOwned };

class TStreamAdapter : public IStream {
  LONG FRefCount = 1;
  TStream* FStream;
  TStreamOwnership FOwnership;

  TStreamAdapter(TStream* stream, TStreamOwnership ownership)
      : FStream(stream), FOwnership(ownership) {}
  virtual ~TStreamAdapter();

public:
  // A new adapter with one reference, which the caller releases.
  static IStream* Create(TStream* stream, TStreamOwnership ownership);
  TStream* Stream() const { return FStream; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  HRESULT STDMETHODCALLTYPE Read(void* pv, ULONG cb, ULONG* pcbRead) override;
  HRESULT STDMETHODCALLTYPE Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;

  HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                 ULARGE_INTEGER* newPosition) override;
  HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER newSize) override;
  HRESULT STDMETHODCALLTYPE CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                   ULARGE_INTEGER* pcbWritten) override;
  HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Revert() override;
  HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb,
                                       DWORD lockType) override;
  HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb,
                                         DWORD lockType) override;
  HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE Clone(IStream** out) override;
};
