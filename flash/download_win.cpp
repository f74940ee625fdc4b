#include "flash/download_win.h"

#include <new>
#include <string>
#include <utility>

TDownloadSystem DownloadSystem;

TUrlOpenPullStream UrlOpenPullStreamProc = nullptr;
HMODULE UrlMonLibrary = nullptr;

namespace {

// Taken from the loaded urlmon.dll, so that the program does not import it.
TCreateUrlMonikerEx CreateUrlMonikerExProc = nullptr;
TCreateAsyncBindCtx CreateAsyncBindCtxProc = nullptr;

template <class T>
T Bind(HMODULE module, const char* name) {
  return module ? reinterpret_cast<T>(reinterpret_cast<void*>(
                      DownloadSystem.GetProcAddress(module, name)))
                : nullptr;
}

template <class T>
void ReleaseInterface(T*& p) {
  if (p) std::exchange(p, nullptr)->Release();
}

// Stands between Wine's binding and the caller's callback. Wine reports a
// local file's bytes in one OnDataAvailable flagged BSCF_FIRSTDATANOTIFICATION
// only; a pull reader waits for BSCF_LASTDATANOTIFICATION, which the system's
// function sends. When the binding stops successfully without it, the last
// notification is made here, on the same stream, before OnStopBinding.
// Everything else passes through unchanged; interfaces other than
// IBindStatusCallback are the caller's own (its IHttpNegotiate, its
// IServiceProvider), as Wine's own callback holder answers them.
class TPullCallback final : public IBindStatusCallback {
  LONG FRefCount = 1;
  IBindStatusCallback* FInner;
  bool FLastDelivered = false;
  DWORD FSize = 0;
  FORMATETC FFormat{};
  STGMEDIUM FMedium{};  // the stream of the latest delivery, held

  ~TPullCallback() {
    ReleaseInterface(FMedium.pstm);
    FInner->Release();
  }

public:
  explicit TPullCallback(IBindStatusCallback* inner) : FInner(inner) { FInner->AddRef(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    return FInner->QueryInterface(iid, out);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&FRefCount)); }
  ULONG STDMETHODCALLTYPE Release() override {
    LONG count = InterlockedDecrement(&FRefCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD reserved, IBinding* binding) override {
    return FInner->OnStartBinding(reserved, binding);
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
    return FInner->GetPriority(priority);
  }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD reserved) override {
    return FInner->OnLowResource(reserved);
  }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG statusCode,
                                       LPCWSTR statusText) override {
    return FInner->OnProgress(progress, progressMax, statusCode, statusText);
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    return FInner->GetBindInfo(flags, info);
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format,
                                            STGMEDIUM* medium) override {
    if (flags & BSCF_LASTDATANOTIFICATION) FLastDelivered = true;
    if (medium && medium->tymed == TYMED_ISTREAM && medium->pstm) {
      ReleaseInterface(FMedium.pstm);
      FMedium.tymed = TYMED_ISTREAM;
      FMedium.pstm = medium->pstm;
      FMedium.pstm->AddRef();
      FSize = size;
      if (format) {
        FFormat = *format;
        FFormat.ptd = nullptr;  // not owned here
      }
    }
    return FInner->OnDataAvailable(flags, size, format, medium);
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID iid, IUnknown* object) override {
    return FInner->OnObjectAvailable(iid, object);
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR error) override {
    if (SUCCEEDED(result) && !FLastDelivered && FMedium.pstm) {
      FLastDelivered = true;
      STGMEDIUM medium = FMedium;  // the callee does not own it
      FInner->OnDataAvailable(BSCF_LASTDATANOTIFICATION, FSize, &FFormat, &medium);
    }
    ReleaseInterface(FMedium.pstm);
    return FInner->OnStopBinding(result, error);
  }
};

}  // namespace

bool RunningUnderWine() {
  HMODULE ntdll = DownloadSystem.GetModuleHandleA("ntdll.dll");
  return ntdll && DownloadSystem.GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

HRESULT WINAPI WineUrlOpenPullStream(LPUNKNOWN, LPCSTR szURL, DWORD, LPBINDSTATUSCALLBACK lpfnCB) {
  if (!szURL || !lpfnCB) return E_INVALIDARG;
  if (!CreateUrlMonikerExProc || !CreateAsyncBindCtxProc) return E_UNEXPECTED;
  int length = MultiByteToWideChar(CP_ACP, 0, szURL, -1, nullptr, 0);
  if (length <= 0) return E_INVALIDARG;
  std::wstring url(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, szURL, -1, url.data(), length);

  IMoniker* moniker = nullptr;
  IBindCtx* bindCtx = nullptr;
  IStream* stream = nullptr;
  IBindStatusCallback* callback = new (std::nothrow) TPullCallback(lpfnCB);
  if (!callback) return E_OUTOFMEMORY;
  HRESULT hr = CreateUrlMonikerExProc(nullptr, url.c_str(), &moniker, URL_MK_UNIFORM);
  if (SUCCEEDED(hr)) hr = CreateAsyncBindCtxProc(0, callback, nullptr, &bindCtx);
  if (SUCCEEDED(hr))
    hr = moniker->BindToStorage(bindCtx, nullptr, IID_IStream, reinterpret_cast<void**>(&stream));
  // The stream reached the callback in OnDataAvailable; a running download
  // keeps its own references to the context and the callback.
  ReleaseInterface(stream);
  ReleaseInterface(bindCtx);
  ReleaseInterface(moniker);
  ReleaseInterface(callback);
  return SUCCEEDED(hr) ? S_OK : hr;
}

void InitializeDownloadBinding() {
  UrlOpenPullStreamProc = nullptr;
  UrlMonLibrary = DownloadSystem.LoadLibraryA("urlmon.dll");
  UrlOpenPullStreamProc = Bind<TUrlOpenPullStream>(UrlMonLibrary, "URLOpenPullStreamA");
  if (UrlOpenPullStreamProc && RunningUnderWine()) {
    CreateUrlMonikerExProc = Bind<TCreateUrlMonikerEx>(UrlMonLibrary, "CreateURLMonikerEx");
    CreateAsyncBindCtxProc = Bind<TCreateAsyncBindCtx>(UrlMonLibrary, "CreateAsyncBindCtx");
    UrlOpenPullStreamProc = CreateUrlMonikerExProc && CreateAsyncBindCtxProc
                                ? &WineUrlOpenPullStream
                                : nullptr;
  }
}

void FinalizeDownloadBinding() {
  UrlOpenPullStreamProc = nullptr;
  CreateUrlMonikerExProc = nullptr;
  CreateAsyncBindCtxProc = nullptr;
  if (UrlMonLibrary) DownloadSystem.FreeLibrary(std::exchange(UrlMonLibrary, nullptr));
}
