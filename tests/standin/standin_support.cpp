#include "standin_support.h"

#include <oleauto.h>

#include <cstdio>

namespace standin_test {

namespace {

HMODULE GModule = nullptr;
HANDLE GMutex = nullptr;

const std::string KDllPath = std::string("Z:") + FLASHSTANDIN_DLL;

// The moniker the fake bind host hands out: it delivers the site's bytes
// through the callback registered in the bind context.
class TFakeMoniker final : public TFakeBase, public IMoniker {
  TFakeSite& FSite;
public:
  explicit TFakeMoniker(TFakeSite& site) : FSite(site) { FSite.AddRef(); }
  ~TFakeMoniker() override { FSite.Release(); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IMoniker || iid == IID_IPersist || iid == IID_IPersistStream) {
      *out = static_cast<IMoniker*>(this);
      Add();
      return S_OK;
    }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Save(IStream*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE BindToObject(IBindCtx*, IMoniker*, REFIID, void** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(IBindCtx* context, IMoniker*, REFIID, void** out) override {
    if (out) *out = nullptr;
    FSite.Calls.push_back(L"BindToStorage");
    if (!context) return E_FAIL;
    ComPtr<IUnknown> holder;
    if (FAILED(context->GetObjectParam(const_cast<LPOLESTR>(L"_BSCB_Holder_"), &holder))) return E_FAIL;
    ComPtr<IBindStatusCallback> callback;
    if (FAILED(holder.As(&callback))) return E_FAIL;
    const TDelivery& delivery = FSite.Delivery;
    ComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    ULONG written = 0;
    if (!delivery.Bytes.empty())
      stream->Write(delivery.Bytes.data(), static_cast<ULONG>(delivery.Bytes.size()), &written);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    STGMEDIUM medium{};
    medium.tymed = delivery.Tymed;
    medium.pstm = stream.Get();
    callback->OnStartBinding(0, nullptr);
    callback->OnProgress(100, 100, BINDSTATUS_ENDDOWNLOADDATA, L"");
    callback->OnDataAvailable(BSCF_FIRSTDATANOTIFICATION | BSCF_LASTDATANOTIFICATION,
                              static_cast<DWORD>(delivery.Bytes.size()), nullptr,
                              delivery.Tymed ? &medium : nullptr);
    callback->OnStopBinding(delivery.StopResult, L"");
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reduce(IBindCtx*, DWORD, IMoniker**, IMoniker** reduced) override {
    *reduced = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ComposeWith(IMoniker*, BOOL, IMoniker** composite) override {
    *composite = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Enum(BOOL, IEnumMoniker** monikers) override {
    *monikers = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsEqual(IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Hash(DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE IsRunning(IBindCtx*, IMoniker*, IMoniker*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTimeOfLastChange(IBindCtx*, IMoniker*, FILETIME*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Inverse(IMoniker** inverse) override {
    *inverse = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CommonPrefixWith(IMoniker*, IMoniker** prefix) override {
    *prefix = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE RelativePathTo(IMoniker*, IMoniker** path) override {
    *path = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayName(IBindCtx*, IMoniker*, LPOLESTR*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx*, IMoniker*, LPOLESTR, ULONG*, IMoniker** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE IsSystemMoniker(DWORD*) override { return E_NOTIMPL; }
};

std::wstring ArgText(const VARIANT& value) {
  if (V_VT(&value) == VT_I4) return std::to_wstring(V_I4(&value));
  if (V_VT(&value) == VT_BSTR) return L"\"" + std::wstring(V_BSTR(&value) ? V_BSTR(&value) : L"") + L"\"";
  return L"vt" + std::to_wstring(V_VT(&value));
}

}  // namespace

void TStandinEnvironment::SetUp() {
  GMutex = CreateMutexW(nullptr, FALSE, L"KribbelStandinRegistration");
  ASSERT_NE(GMutex, nullptr);
  WaitForSingleObject(GMutex, INFINITE);
  GModule = LoadLibraryA(KDllPath.c_str());
  ASSERT_NE(GModule, nullptr) << "cannot load " << KDllPath;
  auto* reg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(GModule, "DllRegisterServer")));
  ASSERT_NE(reg, nullptr);
  ASSERT_EQ(reg(), S_OK);
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
}

void TStandinEnvironment::TearDown() {
  CoFreeUnusedLibraries();
  if (GModule) {
    auto* unreg = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
        reinterpret_cast<void*>(GetProcAddress(GModule, "DllUnregisterServer")));
    EXPECT_EQ(unreg ? unreg() : E_FAIL, S_OK);
  }
  CoUninitialize();
  if (GModule) FreeLibrary(GModule);
  if (GMutex) {
    ReleaseMutex(GMutex);
    CloseHandle(GMutex);
  }
}

HMODULE StandinModule() { return GModule; }

ComPtr<IOleObject> CreateControl() {
  ComPtr<IOleObject> control;
  const HRESULT hr = CoCreateInstance(CLSID_FlashStandin, nullptr,
                                      CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                      reinterpret_cast<void**>(control.GetAddressOf()));
  EXPECT_EQ(hr, S_OK);
  return control;
}

ComPtr<IStandinTest> TestInterface(IUnknown* control) {
  ComPtr<IStandinTest> test;
  EXPECT_EQ(control->QueryInterface(IID_IStandinTest, reinterpret_cast<void**>(test.GetAddressOf())), S_OK);
  return test;
}

std::vector<std::wstring> Journal(IUnknown* control) {
  std::vector<std::wstring> lines;
  ComPtr<IStandinTest> test = TestInterface(control);
  if (!test) return lines;
  ULONG count = 0;
  test->GetJournalCount(&count);
  for (ULONG i = 0; i < count; ++i) {
    BSTR line = nullptr;
    if (test->GetJournalLine(i, &line) == S_OK) lines.emplace_back(line, SysStringLen(line));
    SysFreeString(line);
  }
  return lines;
}

std::vector<std::wstring> JournalOf(IUnknown* control, std::initializer_list<const wchar_t*> prefixes) {
  std::vector<std::wstring> lines;
  for (const std::wstring& line : Journal(control))
    for (const wchar_t* prefix : prefixes)
      if (line.rfind(prefix, 0) == 0) {
        lines.push_back(line);
        break;
      }
  return lines;
}

long LiveObjects() {
  ComPtr<IOleObject> probe = CreateControl();
  long objects = -1, locks = -1;
  if (probe) TestInterface(probe.Get())->GetLiveObjects(&objects, &locks);
  return objects - 1;  // not counting the probe
}

DISPID IdOfName(IDispatch* dispatch, const wchar_t* name) {
  DISPID id = DISPID_UNKNOWN;
  LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
  dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

HRESULT PutProperty(IDispatch* dispatch, DISPID id, const VARIANT& value) {
  VARIANT arg = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&arg, &named, 1, 1};
  return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
}

HRESULT GetProperty(IDispatch* dispatch, DISPID id, VARIANT& value) {
  VariantInit(&value);
  DISPPARAMS params{nullptr, nullptr, 0, 0};
  return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &params, &value, nullptr, nullptr);
}

HRESULT CallMethod(IDispatch* dispatch, const wchar_t* name, std::vector<VARIANT> args, VARIANT* result) {
  const DISPID id = IdOfName(dispatch, name);
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  if (result) VariantInit(result);
  return dispatch->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, result, nullptr, nullptr);
}

VARIANT IntVariant(long value) {
  VARIANT v;
  V_VT(&v) = VT_I4;
  V_I4(&v) = value;
  return v;
}

VARIANT BoolVariant(bool value) {
  VARIANT v;
  V_VT(&v) = VT_BOOL;
  V_BOOL(&v) = value ? VARIANT_TRUE : VARIANT_FALSE;
  return v;
}

VARIANT TextVariant(const wchar_t* text) {
  VARIANT v;
  V_VT(&v) = VT_BSTR;
  V_BSTR(&v) = SysAllocString(text);
  return v;
}

std::vector<uint8_t> MovieBytes(int width, int height, int frames, size_t size) {
  // Frame rectangle with 16-bit fields: 5 + 4 * 16 = 69 bits, 9 bytes.
  const uint32_t xMax = static_cast<uint32_t>(width * 20), yMax = static_cast<uint32_t>(height * 20);
  std::vector<bool> bits;
  auto put = [&](uint32_t value, int count) {
    for (int i = count - 1; i >= 0; --i) bits.push_back((value >> i) & 1);
  };
  put(16, 5);
  put(0, 16);
  put(xMax, 16);
  put(0, 16);
  put(yMax, 16);
  std::vector<uint8_t> bytes = {'F', 'W', 'S', 10, 0, 0, 0, 0};
  for (size_t i = 0; i < bits.size(); i += 8) {
    uint8_t byte = 0;
    for (size_t k = 0; k < 8; ++k) byte = static_cast<uint8_t>(byte << 1 | (i + k < bits.size() && bits[i + k]));
    bytes.push_back(byte);
  }
  bytes.push_back(0);   // frame rate, fraction
  bytes.push_back(24);  // frame rate
  bytes.push_back(static_cast<uint8_t>(frames));
  bytes.push_back(static_cast<uint8_t>(frames >> 8));
  for (size_t i = 0; bytes.size() < size; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 3));
  const uint32_t length = static_cast<uint32_t>(bytes.size());
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(length >> (8 * i));
  return bytes;
}

uint32_t Crc32(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int k = 0; k < 8; ++k) crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
  }
  return ~crc;
}

std::wstring HexText(uint32_t value) {
  wchar_t text[16];
  swprintf(text, 16, L"0x%08X", value);
  return text;
}

// ---- TEventSink ----------------------------------------------------------

HRESULT TEventSink::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_IFlashEvents)
    *out = static_cast<IDispatch*>(this);
  else if (iid == IID_IPropertyNotifySink)
    *out = static_cast<IPropertyNotifySink*>(this);
  else
    return E_NOINTERFACE;
  Add();
  return S_OK;
}

HRESULT TEventSink::Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*,
                           EXCEPINFO*, UINT*) {
  std::wstring call = L"Invoke(" + std::to_wstring(dispid);
  // rgvarg holds the arguments last first.
  for (UINT i = params->cArgs; i-- > 0;) call += L", " + ArgText(params->rgvarg[i]);
  Calls.push_back(call + L")" + (flags == DISPATCH_METHOD ? L"" : L" flags?"));
  return S_OK;
}

HRESULT TEventSink::OnChanged(DISPID dispid) {
  Calls.push_back(L"OnChanged(" + std::to_wstring(dispid) + L")");
  return S_OK;
}

// ---- TFakeSite -----------------------------------------------------------

HRESULT TFakeSite::QueryInterface(REFIID iid, void** out) {
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IOleClientSite) *out = static_cast<IOleClientSite*>(this);
  else if (iid == IID_IOleWindow || iid == IID_IOleInPlaceSite || iid == IID_IOleInPlaceSiteEx ||
           iid == IID_IOleInPlaceSiteWindowless)
    *out = static_cast<IOleInPlaceSiteWindowless*>(this);
  else if (iid == IID_IServiceProvider && OffersServices) *out = static_cast<IServiceProvider*>(this);
  else if (iid == IID_IBindHost) *out = static_cast<IBindHost*>(this);
  else return E_NOINTERFACE;
  Add();
  return S_OK;
}

HRESULT TFakeSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc, LPRECT pos,
                                    LPRECT clip, LPOLEINPLACEFRAMEINFO info) {
  Calls.push_back(L"GetWindowContext(cb " + std::to_wstring(info ? info->cb : 0) + L")");
  *frame = nullptr;
  *doc = nullptr;
  *pos = PosRect;
  *clip = RECT{0, 0, 32767, 32767};
  return WindowContextResult;
}

HRESULT TFakeSite::OnInPlaceActivateEx(BOOL*, DWORD flags) {
  Calls.push_back(L"OnInPlaceActivateEx(" + std::to_wstring(flags) + L")");
  return S_OK;
}

HRESULT TFakeSite::InvalidateRect(LPCRECT rect, BOOL) {
  Calls.push_back(rect ? L"InvalidateRect(rect)" : L"InvalidateRect(null)");
  return S_OK;
}

HRESULT TFakeSite::QueryService(REFGUID service, REFIID iid, void** out) {
  *out = nullptr;
  Calls.push_back(std::wstring(L"QueryService(") + (service == SID_SBindHost ? L"SID_SBindHost" : L"?") +
                  L", " + (iid == IID_IBindHost ? L"IID_IBindHost" : L"?") + L")");
  if (service != SID_SBindHost) return E_NOINTERFACE;
  return QueryInterface(iid, out);
}

HRESULT TFakeSite::CreateMoniker(LPOLESTR name, IBindCtx*, IMoniker** moniker, DWORD) {
  *moniker = nullptr;
  Calls.push_back(L"CreateMoniker(\"" + std::wstring(name ? name : L"") + L"\")");
  *moniker = new TFakeMoniker(*this);
  return S_OK;
}

}  // namespace standin_test
