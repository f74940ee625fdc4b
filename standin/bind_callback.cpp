#include "standin/bind_callback.h"

#include <algorithm>

#include "standin/flash_control.h"
#include "standin/journal.h"

namespace standin {

TBindCallback::TBindCallback(TFlashControl& control, int layer, std::wstring url)
    : FControl(control), FLayer(layer), FUrl(std::move(url)) {
  FControl.AddRef();
}

TBindCallback::~TBindCallback() { FControl.Release(); }

HRESULT TBindCallback::QueryInterface(REFIID iid, void** out) {
  return QueryTable(iid, out, {{IID_IUnknown, this}, {IID_IBindStatusCallback, this}});
}

HRESULT TBindCallback::OnStartBinding(DWORD, IBinding* binding) {
  return Boundary([&] {
    // The reserved value is not journaled: the system's callback holder
    // passes its own.
    FControl.Log(std::wstring(L"OnStartBinding(") + (binding ? L"binding" : L"null") + L")");
    FBytes.clear();
    FDataError = S_OK;
    return S_OK;
  });
}

HRESULT TBindCallback::GetPriority(LONG* priority) {
  if (!priority) return E_POINTER;
  *priority = THREAD_PRIORITY_NORMAL;
  return S_OK;
}

HRESULT TBindCallback::OnLowResource(DWORD) { return S_OK; }

HRESULT TBindCallback::OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                  LPCWSTR statusText) {
  return Boundary([&] {
    FControl.Log(L"OnProgress(" + std::to_wstring(progress) + L", " + std::to_wstring(progressMax) +
                 L", " + std::to_wstring(statusCode) + L", " + Quote(statusText) + L")");
    FControl.BindProgress(progress, progressMax);
    return S_OK;
  });
}

HRESULT TBindCallback::OnStopBinding(HRESULT result, LPCWSTR error) {
  return Boundary([&] {
    FControl.Log(L"OnStopBinding(" + Hex(static_cast<uint32_t>(result)) + L", " + Quote(error) + L")");
    if (FStopped) return S_OK;
    FStopped = true;
    FControl.BindFinished(FLayer, FUrl, FAILED(result) ? result : FDataError, FBytes);
    return S_OK;
  });
}

HRESULT TBindCallback::GetBindInfo(DWORD* flags, BINDINFO* info) {
  if (!flags || !info) return E_INVALIDARG;
  return Boundary([&] {
    FControl.Log(L"GetBindInfo()");
    *flags = BINDF_GETNEWESTVERSION;
    const ULONG size = info->cbSize;
    ZeroMemory(info, std::min<size_t>(size, sizeof(BINDINFO)));
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  });
}

// Reads to the end of the stream, bounded by KMaxDownloadBytes.
HRESULT TBindCallback::ReadStream(IStream* stream, std::vector<uint8_t>& into) {
  uint8_t chunk[16384];
  for (;;) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(chunk, sizeof chunk, &read);
    if (FAILED(hr) && hr != E_PENDING) return hr;
    if (into.size() + read > KMaxDownloadBytes) return E_OUTOFMEMORY;
    into.insert(into.end(), chunk, chunk + read);
    if (hr != S_OK || read == 0) return S_OK;
  }
}

HRESULT TBindCallback::OnDataAvailable(DWORD flags, DWORD size, FORMATETC*, STGMEDIUM* medium) {
  return Boundary([&]() -> HRESULT {
    std::vector<uint8_t> received;
    HRESULT hr = S_OK;
    if (!medium) {
      hr = E_INVALIDARG;
    } else if (medium->tymed == TYMED_ISTREAM && medium->pstm) {
      hr = ReadStream(medium->pstm, received);
    } else if (medium->tymed == TYMED_HGLOBAL && medium->hGlobal) {
      const SIZE_T available = std::min<SIZE_T>(GlobalSize(medium->hGlobal), size);
      if (available > KMaxDownloadBytes) {
        hr = E_OUTOFMEMORY;
      } else if (const void* data = GlobalLock(medium->hGlobal)) {
        const auto* bytes = static_cast<const uint8_t*>(data);
        received.assign(bytes, bytes + available);
        GlobalUnlock(medium->hGlobal);
      }
    } else {
      hr = DV_E_TYMED;
    }
    if (SUCCEEDED(hr) && FBytes.size() + received.size() > KMaxDownloadBytes) hr = E_OUTOFMEMORY;
    FControl.Log(L"OnDataAvailable(" + std::to_wstring(flags) + L", " + std::to_wstring(size) +
                 L", read " + std::to_wstring(received.size()) + L", crc " +
                 Hex(Crc32(received.data(), received.size())) + L") -> " +
                 Hex(static_cast<uint32_t>(hr)));
    if (FAILED(hr)) {
      FDataError = hr;
      return hr;
    }
    FBytes.insert(FBytes.end(), received.begin(), received.end());
    FControl.BindData(FBytes);
    return S_OK;
  });
}

HRESULT TBindCallback::OnObjectAvailable(REFIID, IUnknown*) { return S_OK; }

}  // namespace standin
