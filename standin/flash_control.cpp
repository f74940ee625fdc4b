#include "standin/flash_control.h"

#include <olectl.h>
#include <oleauto.h>

#include <algorithm>
#include <cwchar>

#include "standin/bind_callback.h"

namespace standin {

namespace {

LONG GInstances = 0;

constexpr DWORD KDefaultMiscStatus = OLEMISC_RECOMPOSEONRESIZE | OLEMISC_CANTLINKINSIDE |
                                     OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                                     OLEMISC_SETCLIENTSITEFIRST;

struct TMethodInfo {
  const wchar_t* Name;
  DISPID Id;
  UINT ArgCount;
};

constexpr TMethodInfo KMethods[] = {
    {L"Play", DISPID_FLASH_PLAY, 0},
    {L"Stop", DISPID_FLASH_STOP, 0},
    {L"FlashVersion", DISPID_FLASH_FLASHVERSION, 0},
    {L"LoadMovie", DISPID_FLASH_LOADMOVIE, 2},
    {L"SetVariable", DISPID_FLASH_SETVARIABLE, 2},
    {L"GetVariable", DISPID_FLASH_GETVARIABLE, 1},
    {L"CallFunction", DISPID_FLASH_CALLFUNCTION, 1},
};

const TMethodInfo* FindMethod(DISPID id) {
  for (const TMethodInfo& method : KMethods)
    if (method.Id == id) return &method;
  return nullptr;
}

std::wstring Text(BSTR text) { return text ? std::wstring(text, SysStringLen(text)) : std::wstring(); }

std::wstring HrText(HRESULT hr) { return Hex(static_cast<uint32_t>(hr)); }

// Holds a VARIANT and clears it.
struct TVariant {
  VARIANT Value;
  TVariant() { VariantInit(&Value); }
  ~TVariant() { VariantClear(&Value); }
  TVariant(const TVariant&) = delete;
  TVariant& operator=(const TVariant&) = delete;
};

// Argument i in declaration order (DISPPARAMS keeps them reversed),
// coerced to type.
HRESULT Argument(const DISPPARAMS& params, UINT i, VARTYPE type, TVariant& out, UINT* argError) {
  const UINT position = params.cArgs - 1 - i;
  HRESULT hr = VariantChangeType(&out.Value, &params.rgvarg[position], 0, type);
  if (FAILED(hr)) {
    if (argError) *argError = position;
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

COLORREF ParseColour(const std::wstring& text, COLORREF fallback) {
  std::wstring digits = text;
  if (!digits.empty() && digits[0] == L'#') digits.erase(0, 1);
  if (digits.size() != 6) return fallback;
  wchar_t* end = nullptr;
  const unsigned long value = wcstoul(digits.c_str(), &end, 16);
  if (!end || *end) return fallback;
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

}  // namespace

TFlashControl::TFlashControl()
    : FInstance(static_cast<unsigned>(InterlockedIncrement(&GInstances))),
      FJournal(FInstance),
      FMiscStatus(KDefaultMiscStatus),
      FPropertyNotifyPoint(*this, IID_IPropertyNotifySink, L"IPropertyNotifySink",
                           [this](std::wstring line) { Log(std::move(line)); }),
      FEventsPoint(*this, DIID_IFlashEvents, L"events",
                   [this](std::wstring line) { Log(std::move(line)); }) {
  Log(L"Create(" + std::to_wstring(FInstance) + L")");
}

TFlashControl::~TFlashControl() = default;

bool TFlashControl::Injected(const wchar_t* method, HRESULT& result) const {
  auto found = FFailures.find(method);
  if (found == FFailures.end()) return false;
  result = found->second;
  return true;
}

HRESULT TFlashControl::QueryInterface(REFIID iid, void** out) {
  return QueryTable(iid, out,
                    {{IID_IUnknown, static_cast<IOleObject*>(this)},
                     {IID_IOleObject, static_cast<IOleObject*>(this)},
                     {IID_IPersist, static_cast<IPersistStreamInit*>(this)},
                     {IID_IPersistStreamInit, static_cast<IPersistStreamInit*>(this)},
                     {IID_IOleControl, static_cast<IOleControl*>(this)},
                     {IID_IDispatch, static_cast<IFlashScripting*>(this)},
                     {IID_IFlashScripting, static_cast<IFlashScripting*>(this)},
                     {IID_IConnectionPointContainer, static_cast<IConnectionPointContainer*>(this)},
                     {IID_IOleWindow, static_cast<IOleInPlaceObjectWindowless*>(this)},
                     {IID_IOleInPlaceObject, static_cast<IOleInPlaceObjectWindowless*>(this)},
                     {IID_IOleInPlaceObjectWindowless, static_cast<IOleInPlaceObjectWindowless*>(this)},
                     {IID_IOleInPlaceActiveObject, static_cast<IOleInPlaceActiveObject*>(this)},
                     {IID_IViewObject, static_cast<IViewObject2*>(this)},
                     {IID_IViewObject2, static_cast<IViewObject2*>(this)},
                     {IID_IStandinTest, static_cast<IStandinTest*>(this)}});
}

// ---- IOleObject ----------------------------------------------------------

HRESULT TFlashControl::SetClientSite(IOleClientSite* site) {
  return Boundary([&] {
    Log(std::wstring(L"SetClientSite(") + (site ? L"site" : L"null") + L")");
    if (HRESULT hr; Injected(L"SetClientSite", hr)) return hr;
    FClientSite = site;
    return S_OK;
  });
}

HRESULT TFlashControl::GetClientSite(IOleClientSite** site) {
  if (!site) return E_POINTER;
  *site = nullptr;
  return Boundary([&] {
    Log(L"GetClientSite()");
    if (HRESULT hr; Injected(L"GetClientSite", hr)) return hr;
    *site = FClientSite.Get();
    if (*site) (*site)->AddRef();
    return S_OK;
  });
}

HRESULT TFlashControl::SetHostNames(LPCOLESTR app, LPCOLESTR object) {
  return Boundary([&] {
    Log(L"SetHostNames(" + Quote(app) + L", " + Quote(object) + L")");
    return S_OK;
  });
}

HRESULT TFlashControl::Close(DWORD saveOption) {
  return Boundary([&] {
    Log(L"Close(" + std::to_wstring(saveOption) + L")");
    if (HRESULT hr; Injected(L"Close", hr)) return hr;
    InPlaceDeactivate();
    return S_OK;
  });
}

HRESULT TFlashControl::SetMoniker(DWORD, IMoniker*) { return E_NOTIMPL; }

HRESULT TFlashControl::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::InitFromData(IDataObject*, BOOL, DWORD) { return E_NOTIMPL; }

HRESULT TFlashControl::GetClipboardData(DWORD, IDataObject** data) {
  if (data) *data = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::DoVerb(LONG verb, LPMSG, IOleClientSite* activeSite, LONG index, HWND parent,
                              LPCRECT posRect) {
  return Boundary([&]() -> HRESULT {
    Log(L"DoVerb(" + std::to_wstring(verb) + L", " + std::to_wstring(index) + L", " +
        (parent ? L"window" : L"null") + L", " + RectText(posRect) + L")");
    if (HRESULT hr; Injected(L"DoVerb", hr)) return hr;
    IOleClientSite* site = activeSite ? activeSite : FClientSite.Get();
    switch (verb) {
      case OLEIVERB_PRIMARY:
      case OLEIVERB_SHOW:
      case OLEIVERB_UIACTIVATE:
      case OLEIVERB_INPLACEACTIVATE:
        return ActivateInPlace(site, posRect);
      case OLEIVERB_HIDE:
        return InPlaceDeactivate();
      default:
        return verb < 0 ? E_NOTIMPL : OLEOBJ_S_INVALIDVERB;
    }
  });
}

// Windowless only: a site that cannot host a windowless control gets no
// activation.
HRESULT TFlashControl::ActivateInPlace(IOleClientSite* site, LPCRECT posRect) {
  if (FInPlaceSite) return S_OK;
  if (!site) {
    Log(L"activation: no site -> " + HrText(E_INVALIDARG));
    return E_INVALIDARG;
  }
  ComPtr<IOleInPlaceSiteWindowless> windowless;
  HRESULT hr = site->QueryInterface(IID_IOleInPlaceSiteWindowless, &windowless);
  Log(L"site.QueryInterface(IOleInPlaceSiteWindowless) -> " + HrText(hr));
  if (FAILED(hr) || !windowless) return E_NOINTERFACE;
  hr = windowless->CanInPlaceActivate();
  Log(L"site.CanInPlaceActivate() -> " + HrText(hr));
  if (hr != S_OK) return E_FAIL;
  hr = windowless->CanWindowlessActivate();
  Log(L"site.CanWindowlessActivate() -> " + HrText(hr));
  if (hr != S_OK) return E_FAIL;
  BOOL noRedraw = FALSE;
  hr = windowless->OnInPlaceActivateEx(&noRedraw, ACTIVATE_WINDOWLESS);
  Log(L"site.OnInPlaceActivateEx(" + std::to_wstring(ACTIVATE_WINDOWLESS) + L") -> " + HrText(hr));
  if (FAILED(hr)) return hr;
  FInPlaceSite = windowless;

  ComPtr<IOleInPlaceFrame> frame;
  ComPtr<IOleInPlaceUIWindow> document;
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO frameInfo{};
  frameInfo.cb = sizeof frameInfo;
  hr = windowless->GetWindowContext(&frame, &document, &pos, &clip, &frameInfo);
  Log(L"site.GetWindowContext(" + RectText(&pos) + L", " + RectText(&clip) + L") -> " + HrText(hr));
  if (FAILED(hr)) {
    InPlaceDeactivate();
    return hr;
  }
  FFrame = frame;
  FDocument = document;
  FPosRect = posRect ? *posRect : pos;
  FClipRect = clip;
  return S_OK;
}

HRESULT TFlashControl::EnumVerbs(IEnumOLEVERB** verbs) {
  if (verbs) *verbs = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::Update() { return S_OK; }
HRESULT TFlashControl::IsUpToDate() { return S_OK; }

HRESULT TFlashControl::GetUserClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FlashStandin;
  return S_OK;
}

HRESULT TFlashControl::GetUserType(DWORD, LPOLESTR* type) {
  if (type) *type = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::SetExtent(DWORD aspect, SIZEL* size) {
  return Boundary([&]() -> HRESULT {
    Log(L"SetExtent(" + std::to_wstring(aspect) + L", " +
        (size ? std::to_wstring(size->cx) + L" " + std::to_wstring(size->cy) : L"null") + L")");
    if (HRESULT hr; Injected(L"SetExtent", hr)) return hr;
    if (!size) return E_POINTER;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (size->cx < 0 || size->cy < 0) return E_INVALIDARG;
    FExtent = *size;
    FDirty = true;
    return S_OK;
  });
}

HRESULT TFlashControl::GetExtent(DWORD aspect, SIZEL* size) {
  if (!size) return E_POINTER;
  *size = SIZEL{0, 0};
  return Boundary([&]() -> HRESULT {
    Log(L"GetExtent(" + std::to_wstring(aspect) + L")");
    if (HRESULT hr; Injected(L"GetExtent", hr)) return hr;
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    *size = FExtent;
    return S_OK;
  });
}

HRESULT TFlashControl::Advise(IAdviseSink*, DWORD* connection) {
  if (connection) *connection = 0;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TFlashControl::Unadvise(DWORD) { return OLE_E_ADVISENOTSUPPORTED; }

HRESULT TFlashControl::EnumAdvise(IEnumSTATDATA** advise) {
  if (advise) *advise = nullptr;
  return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TFlashControl::GetMiscStatus(DWORD aspect, DWORD* status) {
  if (!status) return E_POINTER;
  *status = 0;
  return Boundary([&] {
    Log(L"GetMiscStatus(" + std::to_wstring(aspect) + L")");
    if (HRESULT hr; Injected(L"GetMiscStatus", hr)) return hr;
    *status = FMiscStatus;
    return S_OK;
  });
}

HRESULT TFlashControl::SetColorScheme(LOGPALETTE*) { return E_NOTIMPL; }

// ---- IPersistStreamInit --------------------------------------------------

HRESULT TFlashControl::GetClassID(CLSID* clsid) {
  if (!clsid) return E_POINTER;
  *clsid = CLSID_FlashStandin;
  return S_OK;
}

HRESULT TFlashControl::IsDirty() { return FDirty ? S_OK : S_FALSE; }

HRESULT TFlashControl::Load(LPSTREAM stream) {
  return Boundary([&]() -> HRESULT {
    if (!stream) {
      Log(L"Load(null) -> " + HrText(E_POINTER));
      return E_POINTER;
    }
    if (HRESULT hr; Injected(L"Load", hr)) {
      Log(L"Load()");
      return hr;
    }
    if (FInitialised) {
      Log(L"Load() -> " + HrText(E_UNEXPECTED));
      return E_UNEXPECTED;
    }
    // Header first, so that a stated length is checked before anything is
    // allocated for it.
    uint8_t header[12];
    ULONG read = 0;
    HRESULT hr = stream->Read(header, sizeof header, &read);
    if (FAILED(hr)) {
      Log(L"Load() -> " + HrText(hr));
      return hr;
    }
    const uint32_t version = header[4] | header[5] << 8 | header[6] << 16 | uint32_t{header[7]} << 24;
    const uint32_t length = header[8] | header[9] << 8 | header[10] << 16 | uint32_t{header[11]} << 24;
    if (read != sizeof header || memcmp(header, "KSFC", 4) != 0 || version != KSavedStateVersion ||
        length > KSavedStateMaxBody) {
      Log(L"Load(" + std::to_wstring(read) + L" bytes) -> " + HrText(CTL_E_INVALIDFILEFORMAT));
      return CTL_E_INVALIDFILEFORMAT;
    }
    std::vector<uint8_t> body(length);
    read = 0;
    hr = length ? stream->Read(body.data(), length, &read) : S_OK;
    if (FAILED(hr)) {
      Log(L"Load(" + std::to_wstring(sizeof header + read) + L" bytes) -> " + HrText(hr));
      return hr;
    }
    hr = read == length ? FProperties.LoadBody(body.data(), body.size(), FExtent)
                        : CTL_E_INVALIDFILEFORMAT;
    Log(L"Load(" + std::to_wstring(sizeof header + read) + L" bytes) -> " + HrText(hr));
    if (FAILED(hr)) return hr;
    FInitialised = true;
    FDirty = false;
    SetReadyState(4);
    return S_OK;
  });
}

HRESULT TFlashControl::Save(LPSTREAM stream, BOOL clearDirty) {
  return Boundary([&]() -> HRESULT {
    if (!stream) return E_POINTER;
    if (HRESULT hr; Injected(L"Save", hr)) {
      Log(L"Save(" + std::to_wstring(clearDirty) + L")");
      return hr;
    }
    const std::vector<uint8_t> state = FProperties.Save(FExtent);
    ULONG written = 0;
    HRESULT hr = stream->Write(state.data(), static_cast<ULONG>(state.size()), &written);
    if (SUCCEEDED(hr) && written != state.size()) hr = STG_E_MEDIUMFULL;
    Log(L"Save(" + std::to_wstring(clearDirty) + L", " + std::to_wstring(state.size()) +
        L" bytes) -> " + HrText(hr));
    if (FAILED(hr)) return hr;
    if (clearDirty) FDirty = false;
    return S_OK;
  });
}

HRESULT TFlashControl::GetSizeMax(ULARGE_INTEGER* size) {
  if (!size) return E_POINTER;
  size->QuadPart = 0;
  return Boundary([&] {
    size->QuadPart = FProperties.Save(FExtent).size();
    return S_OK;
  });
}

HRESULT TFlashControl::InitNew() {
  return Boundary([&]() -> HRESULT {
    Log(L"InitNew()");
    if (HRESULT hr; Injected(L"InitNew", hr)) return hr;
    if (FInitialised) return E_UNEXPECTED;
    FInitialised = true;
    SetReadyState(4);
    return S_OK;
  });
}

// ---- IOleControl ---------------------------------------------------------

HRESULT TFlashControl::GetControlInfo(CONTROLINFO* info) {
  if (!info) return E_POINTER;
  info->hAccel = nullptr;
  info->cAccel = 0;
  info->dwFlags = 0;
  return S_OK;
}

HRESULT TFlashControl::OnMnemonic(MSG*) { return E_NOTIMPL; }

HRESULT TFlashControl::OnAmbientPropertyChange(DISPID dispid) {
  return Boundary([&] {
    Log(L"OnAmbientPropertyChange(" + std::to_wstring(dispid) + L")");
    if (HRESULT hr; Injected(L"OnAmbientPropertyChange", hr)) return hr;
    return S_OK;
  });
}

HRESULT TFlashControl::FreezeEvents(BOOL freeze) {
  return Boundary([&] {
    Log(L"FreezeEvents(" + std::to_wstring(freeze) + L")");
    FFreezeCount += freeze ? 1 : (FFreezeCount > 0 ? -1 : 0);
    return S_OK;
  });
}

// ---- IDispatch -----------------------------------------------------------

HRESULT TFlashControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

HRESULT TFlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return DISP_E_BADINDEX;
}

HRESULT TFlashControl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (!names || !ids) return E_POINTER;
  for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
  return Boundary([&]() -> HRESULT {
    Log(L"GetIDsOfNames(" + Quote(count ? names[0] : nullptr) + L")");
    if (HRESULT hr; Injected(L"GetIDsOfNames", hr)) return hr;
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    if (count == 0 || !names[0]) return DISP_E_UNKNOWNNAME;
    if (const TPropertyInfo* property = FindPropertyByName(names[0])) {
      ids[0] = property->Id;
    } else {
      for (const TMethodInfo& method : KMethods)
        if (_wcsicmp(method.Name, names[0]) == 0) ids[0] = method.Id;
    }
    // No method takes named arguments.
    if (ids[0] == DISPID_UNKNOWN || count > 1) return DISP_E_UNKNOWNNAME;
    return S_OK;
  });
}

HRESULT TFlashControl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) {
  if (result) VariantInit(result);
  if (exception) ZeroMemory(exception, sizeof *exception);
  return Boundary([&]() -> HRESULT {
    if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    DISPPARAMS& args = params ? *params : none;
    if ((args.cArgs && !args.rgvarg) || (args.cNamedArgs && !args.rgdispidNamedArgs) ||
        args.cNamedArgs > args.cArgs)
      return E_INVALIDARG;
    if (const TPropertyInfo* property = FindProperty(dispid))
      return InvokeProperty(*property, flags, args, result, argError);
    if (FindMethod(dispid)) {
      if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return DISP_E_MEMBERNOTFOUND;
      if (HRESULT hr; Injected(L"Invoke", hr)) return hr;
      return InvokeMethod(dispid, args, result, argError);
    }
    Log(L"Invoke(" + std::to_wstring(dispid) + L", " + std::to_wstring(flags) + L") -> " +
        HrText(DISP_E_MEMBERNOTFOUND));
    return DISP_E_MEMBERNOTFOUND;
  });
}

HRESULT TFlashControl::InvokeProperty(const TPropertyInfo& info, WORD flags, DISPPARAMS& params,
                                      VARIANT* result, UINT* argError) {
  if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
    const std::wstring name = std::wstring(L"put_") + info.Name;
    Log(name + L"(" + (params.cArgs ? VariantText(params.rgvarg[0]) : L"") + L")");
    if (HRESULT hr; Injected(name.c_str(), hr) || Injected(L"Invoke", hr)) return hr;
    if (params.cArgs != 1) return DISP_E_BADPARAMCOUNT;
    if (params.cNamedArgs != 1 || params.rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
      return DISP_E_PARAMNOTFOUND;
    HRESULT hr = FProperties.Put(info.Id, params.rgvarg[0]);
    if (hr == DISP_E_TYPEMISMATCH && argError) *argError = 0;
    if (FAILED(hr)) return hr;
    FDirty = true;
    PropertyChanged(info.Id);
    return S_OK;
  }
  if (flags & DISPATCH_PROPERTYGET) {
    const std::wstring name = std::wstring(L"get_") + info.Name;
    Log(name + L"()");
    if (HRESULT hr; Injected(name.c_str(), hr) || Injected(L"Invoke", hr)) return hr;
    if (params.cArgs != 0) return DISP_E_BADPARAMCOUNT;
    if (!result) return E_POINTER;
    return FProperties.Get(info.Id, result);
  }
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT TFlashControl::InvokeMethod(DISPID dispid, DISPPARAMS& params, VARIANT* result,
                                    UINT* argError) {
  const TMethodInfo& method = *FindMethod(dispid);
  if (params.cNamedArgs) return DISP_E_NONAMEDARGS;
  if (params.cArgs != method.ArgCount) return DISP_E_BADPARAMCOUNT;
  TVariant first, second;
  HRESULT hr = S_OK;
  switch (dispid) {
    case DISPID_FLASH_PLAY: return Play();
    case DISPID_FLASH_STOP: return Stop();
    case DISPID_FLASH_FLASHVERSION: {
      long version = 0;
      hr = FlashVersion(&version);
      if (SUCCEEDED(hr) && result) {
        V_VT(result) = VT_I4;
        V_I4(result) = version;
      }
      return hr;
    }
    case DISPID_FLASH_LOADMOVIE:
      if (FAILED(hr = Argument(params, 0, VT_I4, first, argError))) return hr;
      if (FAILED(hr = Argument(params, 1, VT_BSTR, second, argError))) return hr;
      return LoadMovie(V_I4(&first.Value), V_BSTR(&second.Value));
    case DISPID_FLASH_SETVARIABLE:
      if (FAILED(hr = Argument(params, 0, VT_BSTR, first, argError))) return hr;
      if (FAILED(hr = Argument(params, 1, VT_BSTR, second, argError))) return hr;
      return SetVariable(V_BSTR(&first.Value), V_BSTR(&second.Value));
    case DISPID_FLASH_GETVARIABLE:
    case DISPID_FLASH_CALLFUNCTION: {
      if (FAILED(hr = Argument(params, 0, VT_BSTR, first, argError))) return hr;
      BSTR reply = nullptr;
      hr = dispid == DISPID_FLASH_GETVARIABLE ? GetVariable(V_BSTR(&first.Value), &reply)
                                              : CallFunction(V_BSTR(&first.Value), &reply);
      if (SUCCEEDED(hr) && result) {
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = reply;
      } else {
        SysFreeString(reply);
      }
      return hr;
    }
    default: return DISP_E_MEMBERNOTFOUND;
  }
}

void TFlashControl::PropertyChanged(DISPID dispid) {
  std::vector<IUnknown*> sinks = FPropertyNotifyPoint.TakeSinks();
  for (IUnknown* sink : sinks) {
    const HRESULT hr = static_cast<IPropertyNotifySink*>(sink)->OnChanged(dispid);
    Log(L"sink.OnChanged(" + std::to_wstring(dispid) + L") -> " + HrText(hr));
  }
  TConnectionPoint::DropSinks(sinks);
  if (dispid == DISPID_FLASH_MOVIE) StartLoad(0, FProperties.Text(DISPID_FLASH_MOVIE));
  if (dispid == DISPID_FLASH_BACKGROUNDCOLOR || dispid == DISPID_FLASH_BGCOLOR ||
      dispid == DISPID_FLASH_WMODE)
    Repaint(nullptr);
}

// ---- IFlashScripting -----------------------------------------------------

HRESULT TFlashControl::Play() {
  return Boundary([&] {
    Log(L"Play()");
    if (HRESULT hr; Injected(L"Play", hr)) return hr;
    FProperties.SetInt(DISPID_FLASH_PLAYING, -1);
    return S_OK;
  });
}

HRESULT TFlashControl::Stop() {
  return Boundary([&] {
    Log(L"Stop()");
    if (HRESULT hr; Injected(L"Stop", hr)) return hr;
    FProperties.SetInt(DISPID_FLASH_PLAYING, 0);
    return S_OK;
  });
}

HRESULT TFlashControl::FlashVersion(long* version) {
  if (!version) return E_POINTER;
  *version = 0;
  return Boundary([&] {
    Log(L"FlashVersion()");
    if (HRESULT hr; Injected(L"FlashVersion", hr)) return hr;
    *version = FFlashVersion;
    return S_OK;
  });
}

HRESULT TFlashControl::LoadMovie(int layer, BSTR url) {
  return Boundary([&]() -> HRESULT {
    Log(L"LoadMovie(" + std::to_wstring(layer) + L", " + Quote(url ? url : L"") + L")");
    if (HRESULT hr; Injected(L"LoadMovie", hr)) return hr;
    if (layer < 0) return E_INVALIDARG;
    StartLoad(layer, Text(url));
    return S_OK;
  });
}

HRESULT TFlashControl::SetVariable(BSTR name, BSTR value) {
  return Boundary([&]() -> HRESULT {
    Log(L"SetVariable(" + Quote(name ? name : L"") + L", " + Quote(value ? value : L"") + L")");
    if (HRESULT hr; Injected(L"SetVariable", hr)) return hr;
    if (Text(name).empty()) return E_INVALIDARG;
    FVariables[Text(name)] = Text(value);
    return S_OK;
  });
}

HRESULT TFlashControl::GetVariable(BSTR name, BSTR* value) {
  if (!value) return E_POINTER;
  *value = nullptr;
  return Boundary([&]() -> HRESULT {
    Log(L"GetVariable(" + Quote(name ? name : L"") + L")");
    if (HRESULT hr; Injected(L"GetVariable", hr)) return hr;
    auto found = FVariables.find(Text(name));
    if (found == FVariables.end()) return E_FAIL;
    *value = SysAllocStringLen(found->second.data(), static_cast<UINT>(found->second.size()));
    return *value ? S_OK : E_OUTOFMEMORY;
  });
}

HRESULT TFlashControl::CallFunction(BSTR request, BSTR* reply) {
  if (!reply) return E_POINTER;
  *reply = nullptr;
  return Boundary([&]() -> HRESULT {
    Log(L"CallFunction(" + Quote(request ? request : L"") + L")");
    if (HRESULT hr; Injected(L"CallFunction", hr)) return hr;
    *reply = SysAllocStringLen(FCallReply.data(), static_cast<UINT>(FCallReply.size()));
    return *reply ? S_OK : E_OUTOFMEMORY;
  });
}

// ---- Loading -------------------------------------------------------------

void TFlashControl::SetReadyState(long state) {
  FProperties.SetInt(DISPID_FLASH_READYSTATE, state);
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = state;
  Fire(DISPID_FLASH_READYSTATECHANGE, {&arg, 1});
}

void TFlashControl::StartLoad(int layer, const std::wstring& url) {
  if (layer == 0) FProperties.SetText(DISPID_FLASH_MOVIE, url);
  if (url.empty()) {
    FLayers.erase(layer);
    Repaint(nullptr);
    return;
  }
  TMovieLayer movie;
  movie.Url = url;
  FLayers[layer] = std::move(movie);
  SetReadyState(1);
  const HRESULT hr = Fetch(layer, url);
  if (FAILED(hr)) Log(L"LoadFailed(" + std::to_wstring(layer) + L", " + HrText(hr) + L")");
}

// The container fetches: its service provider gives the bind host, whose
// moniker is bound to storage with our callback registered in the context.
HRESULT TFlashControl::Fetch(int layer, const std::wstring& url) {
  if (!FClientSite) return E_UNEXPECTED;
  ComPtr<IServiceProvider> services;
  HRESULT hr = FClientSite.As(&services);
  Log(L"site.QueryInterface(IServiceProvider) -> " + HrText(hr));
  if (FAILED(hr)) return hr;
  ComPtr<IBindHost> bindHost;
  hr = services->QueryService(SID_SBindHost, IID_IBindHost, &bindHost);
  Log(L"site.QueryService(SID_SBindHost, IID_IBindHost) -> " + HrText(hr));
  if (FAILED(hr)) return hr;
  if (!bindHost) return E_NOINTERFACE;
  ComPtr<IMoniker> moniker;
  std::wstring name = url;
  hr = bindHost->CreateMoniker(name.data(), nullptr, &moniker, 0);
  Log(L"bindHost.CreateMoniker(" + Quote(url.c_str()) + L") -> " + HrText(hr));
  if (FAILED(hr)) return hr;
  if (!moniker) return E_UNEXPECTED;
  ComPtr<IBindCtx> context;
  hr = CreateBindCtx(0, &context);
  if (FAILED(hr)) return hr;
  // Takes over the creation reference (MinGW's ComPtr::Attach adds one).
  ComPtr<TBindCallback> callback;
  *callback.GetAddressOf() = new TBindCallback(*this, layer, url);
  ComPtr<IBindStatusCallback> previous;
  hr = RegisterBindStatusCallback(context.Get(), callback.Get(), &previous, 0);
  if (FAILED(hr)) return hr;
  ComPtr<IStream> stream;
  hr = moniker->BindToStorage(context.Get(), nullptr, IID_IStream, &stream);
  Log(L"moniker.BindToStorage() -> " + HrText(hr));
  RevokeBindStatusCallback(context.Get(), callback.Get());
  return hr;
}

void TFlashControl::BindProgress(ULONG progress, ULONG progressMax) {
  VARIANT arg;
  V_VT(&arg) = VT_I4;
  V_I4(&arg) = progressMax ? static_cast<long>(std::min<ULONGLONG>(100, ULONGLONG{progress} * 100 / progressMax)) : 0;
  Fire(DISPID_FLASH_ONPROGRESS, {&arg, 1});
}

void TFlashControl::BindData(const std::vector<uint8_t>& received) { FReceived = received; }

void TFlashControl::BindFinished(int layer, const std::wstring& url, HRESULT result,
                                 const std::vector<uint8_t>& bytes) {
  auto found = FLayers.find(layer);
  // A later LoadMovie of the same layer has taken its place.
  if (found == FLayers.end() || found->second.Url != url) return;
  if (FAILED(result)) {
    Log(L"LoadFailed(" + std::to_wstring(layer) + L", " + HrText(result) + L")");
    return;
  }
  TMovieLayer& movie = found->second;
  movie.Loaded = true;
  movie.Size = static_cast<uint32_t>(bytes.size());
  movie.Crc = Crc32(bytes.data(), bytes.size());
  movie.Header = ParseMovieHeader(bytes.data(), bytes.size());
  FReceived = bytes;
  Log(L"Loaded(" + std::to_wstring(layer) + L", " + Quote(url.c_str()) + L", " +
      std::to_wstring(movie.Size) + L" bytes, crc " + Hex(movie.Crc) + L")");
  if (layer == 0) FProperties.SetInt(DISPID_FLASH_TOTALFRAMES, movie.Header.FrameCount);
  SetReadyState(4);
  Repaint(nullptr);
}

void TFlashControl::Fire(DISPID dispid, std::span<const VARIANT> args) {
  std::wstring line = L"Fire(" + std::to_wstring(dispid);
  for (const VARIANT& arg : args) line += L", " + VariantText(arg);
  Log(line + L")");
  // DISPPARAMS holds the arguments last first; the sinks only borrow them.
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
  std::vector<IUnknown*> sinks = FEventsPoint.TakeSinks();
  for (IUnknown* sink : sinks)
    static_cast<IDispatch*>(sink)->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                          &params, nullptr, nullptr, nullptr);
  TConnectionPoint::DropSinks(sinks);
}

HRESULT TFlashControl::Repaint(const RECT* rect) {
  if (FViewSink && (FViewAspects & (DWORD{DVASPECT_CONTENT} | DWORD{DVASPECT_TRANSPARENT})))
    FViewSink->OnViewChange(DVASPECT_CONTENT, -1);
  if (!FInPlaceSite) return OLE_E_NOT_INPLACEACTIVE;
  const HRESULT hr = FInPlaceSite->InvalidateRect(rect, TRUE);
  Log(L"site.InvalidateRect(" + RectText(rect) + L") -> " + HrText(hr));
  return hr;
}

// ---- IConnectionPointContainer -------------------------------------------

HRESULT TFlashControl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points) *points = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (!point) return E_POINTER;
  *point = nullptr;
  TConnectionPoint* found = IsEqualIID(iid, IID_IPropertyNotifySink) ? &FPropertyNotifyPoint
                            : IsEqualIID(iid, DIID_IFlashEvents)     ? &FEventsPoint
                                                                     : nullptr;
  if (!found) return CONNECT_E_NOCONNECTION;
  found->AddRef();
  *point = found;
  return S_OK;
}

// ---- In-place object -----------------------------------------------------

HRESULT TFlashControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  return E_FAIL;  // windowless
}

HRESULT TFlashControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT TFlashControl::InPlaceDeactivate() {
  return Boundary([&] {
    if (!FInPlaceSite) return S_OK;
    Log(L"InPlaceDeactivate()");
    UIDeactivate();
    ComPtr<IOleInPlaceSiteWindowless> site = std::move(FInPlaceSite);
    const HRESULT hr = site->OnInPlaceDeactivate();
    Log(L"site.OnInPlaceDeactivate() -> " + HrText(hr));
    FFrame.Reset();
    FDocument.Reset();
    return S_OK;
  });
}

HRESULT TFlashControl::UIDeactivate() {
  if (!FUIActive || !FInPlaceSite) return S_OK;
  FUIActive = false;
  FInPlaceSite->OnUIDeactivate(FALSE);
  return S_OK;
}

HRESULT TFlashControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect) {
  return Boundary([&]() -> HRESULT {
    Log(L"SetObjectRects(" + RectText(posRect) + L", " + RectText(clipRect) + L")");
    if (HRESULT hr; Injected(L"SetObjectRects", hr)) return hr;
    if (!posRect) return E_INVALIDARG;
    FPosRect = *posRect;
    if (clipRect) FClipRect = *clipRect;
    return S_OK;
  });
}

HRESULT TFlashControl::ReactivateAndUndo() { return E_NOTIMPL; }

HRESULT TFlashControl::OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  if (result) *result = 0;
  return Boundary([&]() -> HRESULT {
    Log(L"OnWindowMessage(" + Hex(msg) + L", " + std::to_wstring(static_cast<unsigned long long>(wParam)) +
        L", " + std::to_wstring(static_cast<long long>(lParam)) + L")");
    if (HRESULT hr; Injected(L"OnWindowMessage", hr)) return hr;
    return msg == WM_SETFOCUS || msg == WM_KILLFOCUS ? S_OK : S_FALSE;
  });
}

HRESULT TFlashControl::GetDropTarget(IDropTarget** target) {
  if (target) *target = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
HRESULT TFlashControl::OnFrameWindowActivate(BOOL) { return S_OK; }

HRESULT TFlashControl::OnDocWindowActivate(BOOL activate) {
  return Boundary([&] {
    Log(L"OnDocWindowActivate(" + std::to_wstring(activate) + L")");
    return S_OK;
  });
}

HRESULT TFlashControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
HRESULT TFlashControl::EnableModeless(BOOL) { return S_OK; }

// ---- IViewObject2 --------------------------------------------------------

HRESULT TFlashControl::Draw(DWORD aspect, LONG index, void*, DVTARGETDEVICE*, HDC, HDC drawDC,
                            LPCRECTL bounds, LPCRECTL, WINBOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                            ULONG_PTR) {
  return Boundary([&]() -> HRESULT {
    const RECT* given = reinterpret_cast<const RECT*>(bounds);
    Log(L"Draw(" + std::to_wstring(aspect) + L", " + std::to_wstring(index) + L", " +
        RectText(given) + L")");
    if (HRESULT hr; Injected(L"Draw", hr)) return hr;
    if (aspect != DVASPECT_CONTENT && aspect != DVASPECT_TRANSPARENT) return DV_E_DVASPECT;
    if (!drawDC) return E_INVALIDARG;
    // Windowless drawing without bounds happens at the in-place position.
    if (!given && !FInPlaceSite) return E_INVALIDARG;
    Paint(drawDC, given ? *given : FPosRect);
    return S_OK;
  });
}

// A picture of the stage: the background colour (or only a frame when the
// mode is transparent), and the movie's URL and frame size as text.
void TFlashControl::Paint(HDC dc, const RECT& bounds) {
  if (bounds.right <= bounds.left || bounds.bottom <= bounds.top) return;
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, bounds.left, bounds.top, bounds.right, bounds.bottom);
  const long background = FProperties.Int(DISPID_FLASH_BACKGROUNDCOLOR);
  COLORREF colour = ParseColour(FProperties.Text(DISPID_FLASH_BGCOLOR), RGB(0x2E, 0x5C, 0x8A));
  if (background >= 0) colour = RGB((background >> 16) & 0xFF, (background >> 8) & 0xFF, background & 0xFF);
  const bool transparent = _wcsicmp(FProperties.Text(DISPID_FLASH_WMODE).c_str(), L"Transparent") == 0;
  HBRUSH brush = CreateSolidBrush(colour);
  if (transparent) FrameRect(dc, &bounds, brush);
  else FillRect(dc, &bounds, brush);
  DeleteObject(brush);

  std::wstring text = L"Kribbel stand-in control";
  auto movie = FLayers.find(0);
  if (movie == FLayers.end()) {
    text += L"\nno movie";
  } else {
    text += L"\n" + movie->second.Url;
    const TMovieHeader& header = movie->second.Header;
    if (!movie->second.Loaded) text += L"\nloading";
    else if (header.Recognised && !header.Compressed)
      text += L"\n" + std::to_wstring(header.WidthPixels) + L" x " +
              std::to_wstring(header.HeightPixels) + L" px, " + std::to_wstring(movie->second.Size) +
              L" bytes";
    else text += L"\n" + std::to_wstring(movie->second.Size) + L" bytes";
  }
  RECT textRect{bounds.left + 4, bounds.top + 4, bounds.right - 4, bounds.bottom - 4};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, transparent ? colour : RGB(0xFF, 0xFF, 0xFF));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &textRect,
            DT_LEFT | DT_TOP | DT_NOPREFIX | DT_WORDBREAK);
  RestoreDC(dc, saved);
}

HRESULT TFlashControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** colors) {
  if (colors) *colors = nullptr;
  return E_NOTIMPL;
}

HRESULT TFlashControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze) *freeze = 0;
  return E_NOTIMPL;
}

HRESULT TFlashControl::Unfreeze(DWORD) { return E_NOTIMPL; }

HRESULT TFlashControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  FViewSink = sink;
  FViewAspects = aspects;
  FViewFlags = flags;
  return S_OK;
}

HRESULT TFlashControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = FViewAspects;
  if (flags) *flags = FViewFlags;
  if (sink) {
    *sink = FViewSink.Get();
    if (*sink) (*sink)->AddRef();
  }
  return S_OK;
}

HRESULT TFlashControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  if (!size) return E_POINTER;
  *size = SIZEL{0, 0};
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  *size = FExtent;
  return S_OK;
}

// ---- IStandinTest --------------------------------------------------------

HRESULT TFlashControl::SetFlashVersion(long version) {
  FFlashVersion = version;
  return S_OK;
}

HRESULT TFlashControl::SetMiscStatus(DWORD status) {
  FMiscStatus = status;
  return S_OK;
}

HRESULT TFlashControl::SetExtent(long cx, long cy) {
  if (cx < 0 || cy < 0) return E_INVALIDARG;
  FExtent = SIZEL{cx, cy};
  return S_OK;
}

HRESULT TFlashControl::SetFailure(LPCWSTR method, HRESULT result) {
  if (!method) return E_POINTER;
  return Boundary([&] {
    if (result == S_OK) FFailures.erase(method);
    else FFailures[method] = result;
    return S_OK;
  });
}

HRESULT TFlashControl::SetCallReply(LPCWSTR reply) {
  return Boundary([&] {
    FCallReply = reply ? reply : L"";
    return S_OK;
  });
}

HRESULT TFlashControl::FireEvent(DISPID dispid, ULONG count, const VARIANT* args) {
  if (count && !args) return E_POINTER;
  return Boundary([&] {
    Fire(dispid, {args, count});
    return S_OK;
  });
}

HRESULT TFlashControl::RequestRepaint(const RECT* rect) {
  return Boundary([&] { return Repaint(rect); });
}

HRESULT TFlashControl::GetJournalCount(ULONG* count) {
  if (!count) return E_POINTER;
  *count = static_cast<ULONG>(FJournal.Lines().size());
  return S_OK;
}

HRESULT TFlashControl::GetJournalLine(ULONG index, BSTR* line) {
  if (!line) return E_POINTER;
  *line = nullptr;
  if (index >= FJournal.Lines().size()) return S_FALSE;
  const std::wstring& text = FJournal.Lines()[index];
  *line = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *line ? S_OK : E_OUTOFMEMORY;
}

HRESULT TFlashControl::ClearJournal() {
  FJournal.Clear();
  return S_OK;
}

HRESULT TFlashControl::GetReceivedBytes(ULONG capacity, BYTE* buffer, ULONG* size) {
  if (!size) return E_POINTER;
  *size = static_cast<ULONG>(FReceived.size());
  if (capacity && !buffer) return E_POINTER;
  const size_t copied = std::min<size_t>(capacity, FReceived.size());
  if (copied) memcpy(buffer, FReceived.data(), copied);
  return copied == FReceived.size() ? S_OK : HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
}

HRESULT TFlashControl::GetLiveObjects(long* objects, long* locks) {
  if (!objects || !locks) return E_POINTER;
  *objects = LiveObjects();
  *locks = ServerLocks();
  return S_OK;
}

}  // namespace standin
