// The control's IBindStatusCallback for one download: it reads the bytes
// the binding offers and hands progress, data and the end to the control.
#pragma once

#include <windows.h>
#include <urlmon.h>

#include <cstdint>
#include <string>
#include <vector>

#include "standin/com_object.h"

namespace standin {

class TFlashControl;

// More than this is refused: a download is held in memory whole.
inline constexpr size_t KMaxDownloadBytes = 64u << 20;

class TBindCallback final : public TRefCounted, public IBindStatusCallback {
public:
  TBindCallback(TFlashControl& control, int layer, std::wstring url);
  ~TBindCallback() override;
  bool Stopped() const { return FStopped; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override;
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override;
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override;
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override;
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override;
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override;

private:
  HRESULT ReadStream(IStream* stream, std::vector<uint8_t>& into);

  TFlashControl& FControl;  // held with a reference of ours
  int FLayer;
  std::wstring FUrl;
  std::vector<uint8_t> FBytes;
  HRESULT FDataError = S_OK;
  bool FStopped = false;
};

}  // namespace standin
