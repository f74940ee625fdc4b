#include "flash/ole_control_win.h"

#include <olectl.h>

#include <algorithm>
#include <exception>
#include <utility>

#include "flash/ole_event_sink_win.h"
#include "flash/ole_site_win.h"
#include "framework/application_win.h"
#include "framework/class_registry.h"
#include "framework/control_registry_win.h"
#include "framework/exceptions.h"
#include "framework/form_win.h"
#include "graphics/mv_bitmap.h"

using Microsoft::WRL::ComPtr;

namespace {

constexpr DWORD KSetClientSiteFirst = OLEMISC_SETCLIENTSITEFIRST;   // 0x20000
constexpr DWORD KInvisibleAtRuntime = OLEMISC_INVISIBLEATRUNTIME;   // 0x400

std::string BstrToAnsi(BSTR text) {
  if (!text) return {};
  return WideToAnsi(std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

std::string SystemMessage(HRESULT hr) {
  char* buffer = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, DWORD(hr), 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length && buffer) text.assign(buffer, length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
    text.pop_back();
  if (text.empty()) {
    char code[32];
    wsprintfA(code, "OLE error %08X", unsigned(hr));
    text = code;
  }
  return text;
}

[[noreturn]] void RaiseOleSysError(HRESULT hr) { throw EOleSysError(SystemMessage(hr), hr); }

void OleCheck(HRESULT hr) {
  if (FAILED(hr)) RaiseOleSysError(hr);
}

// Frees the strings of an EXCEPINFO on every path.
struct TExcepInfo : EXCEPINFO {
  TExcepInfo() : EXCEPINFO{} {}
  ~TExcepInfo() {
    SysFreeString(bstrSource);
    SysFreeString(bstrDescription);
    SysFreeString(bstrHelpFile);
  }
  TExcepInfo(const TExcepInfo&) = delete;
  TExcepInfo& operator=(const TExcepInfo&) = delete;
};

// The OLE error of a failed Invoke.
[[noreturn]] void RaiseInvokeError(HRESULT hr, TExcepInfo& info) {
  if (hr == DISP_E_EXCEPTION) {
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    HRESULT code = info.scode ? info.scode : HRESULT(DISP_E_EXCEPTION);
    std::string description = BstrToAnsi(info.bstrDescription);
    if (description.empty()) description = SystemMessage(code);
    throw EOleException(description, code, BstrToAnsi(info.bstrSource),
                        BstrToAnsi(info.bstrHelpFile), int32_t(info.dwHelpContext));
  }
  RaiseOleSysError(hr);
}

// A locked global block, unlocked again on every path.
class TGlobalLock {
  HGLOBAL FBlock;
  void* FData;

public:
  explicit TGlobalLock(HGLOBAL block) : FBlock(block), FData(GlobalLock(block)) {
    if (!FData) throw EOutOfMemory();
  }
  ~TGlobalLock() { GlobalUnlock(FBlock); }
  TGlobalLock(const TGlobalLock&) = delete;
  TGlobalLock& operator=(const TGlobalLock&) = delete;
  void* Data() const { return FData; }
};

// Sets a Boolean for the duration of a scope.
class TGuard {
  bool& FFlag;

public:
  explicit TGuard(bool& flag) : FFlag(flag) { FFlag = true; }
  ~TGuard() { FFlag = false; }
  TGuard(const TGuard&) = delete;
  TGuard& operator=(const TGuard&) = delete;
};

int32_t VariantInt(const VARIANT& value) {
  VARIANT converted;
  VariantInit(&converted);
  if (FAILED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4)))
    throw EConvertError("Invalid variant type conversion");
  return converted.lVal;
}

}  // namespace

// ---- Conversions -----------------------------------------------------------

void FontToVariant(TFont& font, VARIANT& value) {
  std::u16string name = AnsiToWide(font.Name());
  FONTDESC desc{};
  desc.cbSizeofstruct = sizeof(desc);
  desc.lpstrName = reinterpret_cast<LPOLESTR>(name.data());
  desc.cySize.int64 = int64_t(font.Size()) * 10000;
  const TFontStyles style = font.Style();
  desc.sWeight = (style & FontStyleBit(fsBold)) ? FW_BOLD : FW_NORMAL;
  desc.sCharset = SHORT(font.Charset());
  desc.fItalic = (style & FontStyleBit(fsItalic)) != 0;
  desc.fUnderline = (style & FontStyleBit(fsUnderline)) != 0;
  desc.fStrikethrough = (style & FontStyleBit(fsStrikeOut)) != 0;
  IFontDisp* disp = nullptr;
  OleCheck(OleCreateFontIndirect(&desc, IID_IFontDisp, reinterpret_cast<void**>(&disp)));
  VariantInit(&value);
  value.vt = VT_DISPATCH;
  value.pdispVal = disp;
}

void VariantToFont(const VARIANT& value, TFont& font) {
  IUnknown* unknown = nullptr;
  if (value.vt == VT_DISPATCH || value.vt == VT_UNKNOWN) unknown = value.punkVal;
  ComPtr<IFontDisp> disp;
  ComPtr<IFont> ole;
  if (!unknown || FAILED(unknown->QueryInterface(IID_IFontDisp, &disp)) || !disp ||
      FAILED(disp.As(&ole)))
    throw EIntfCastError("Interface not supported");
  BSTR name = nullptr;
  CY size{};
  BOOL bold = FALSE, italic = FALSE, underline = FALSE, strike = FALSE;
  SHORT charset = DEFAULT_CHARSET;
  OleCheck(ole->get_Name(&name));
  std::string ansiName = BstrToAnsi(name);
  SysFreeString(name);
  OleCheck(ole->get_Size(&size));
  ole->get_Bold(&bold);
  ole->get_Italic(&italic);
  ole->get_Underline(&underline);
  ole->get_Strikethrough(&strike);
  ole->get_Charset(&charset);
  TFontStyles style = 0;
  if (bold) style |= FontStyleBit(fsBold);
  if (italic) style |= FontStyleBit(fsItalic);
  if (underline) style |= FontStyleBit(fsUnderline);
  if (strike) style |= FontStyleBit(fsStrikeOut);
  font.SetName(ansiName);
  font.SetSize(int32_t((size.int64 + 5000) / 10000));
  font.SetStyle(style);
  font.SetCharset(charset);
}

void StrToVariant(const std::string& text, VARIANT& value) {
  VariantClear(&value);
  std::u16string wide = AnsiToWide(text);
  BSTR bstr = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(wide.data()), UINT(wide.size()));
  if (!bstr) throw EOutOfMemory();
  value.vt = VT_BSTR;
  value.bstrVal = bstr;
}

// ---- Life ------------------------------------------------------------------

TmvOleControl::TmvOleControl(TComponent* owner, const TmvControlData& controlData)
    : TGraphicControl(owner) {
  FTransparent = true;
  FControlData = &controlData;
  FEventHandlers.resize(size_t(std::max<int32_t>(controlData.EventCount, 0)));
  FSite = std::make_unique<TmvOleSite>(*this);
  FEventSink = std::make_unique<TEventDispatch>(*this);
  CreateControlInstance();
  if (FUnavailable) return;
  OleCheck(FOleObject->GetMiscStatus(DVASPECT_CONTENT, &FMiscStatus));
  if (FMiscStatus & KSetClientSiteFirst) OleCheck(FOleObject->SetClientSite(ClientSite()));
  OleCheck(FOleObject.As(&FPersistStreamInit));
  if (FMiscStatus & KInvisibleAtRuntime) SetVisible(false);
  OleCheck(FSite->RequestNewObjectLayout());
}

TmvOleControl::~TmvOleControl() {
  // The control is closed before its connections are withdrawn, and loses
  // its client site before it is released.
  try {
    if (FOleObject) FOleObject->Close(OLECLOSE_NOSAVE);
    DisconnectControl();
  } catch (...) {
  }
  FreeControlState();
  FPersistStreamInit.Reset();
  if (FOleObject) {
    FOleObject->SetClientSite(nullptr);
    FOleObject.Reset();
  }
  // In-place references still held go before the sink and the site do, so
  // that a control released here cannot call into freed objects.
  FInPlaceActiveObject.Reset();
  FInPlaceObject.Reset();
  FWindowlessObject.Reset();
  FViewObject.Reset();
  FEventSink.reset();
  FBackground.reset();
  FComposite.reset();
  FScratch.reset();
}

IOleClientSite* TmvOleControl::ClientSite() const {
  return static_cast<IOleClientSite*>(FSite.get());
}

IDispatch* TmvOleControl::EventSink() const { return FEventSink.get(); }

void TmvOleControl::CreateControlInstance() {
  try {
    // Straight into the smart pointer: MinGW's ComPtr::Attach takes a
    // reference of its own, which would keep the control alive for ever.
    HRESULT hr = CoCreateInstance(FControlData->ClassID, nullptr,
                                  CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, IID_IOleObject,
                                  reinterpret_cast<void**>(FOleObject.ReleaseAndGetAddressOf()));
    if (FAILED(hr) || !FOleObject) {
      FOleObject.Reset();
      FUnavailable = true;
    }
  } catch (...) {
    FOleObject.Reset();
    FUnavailable = true;
  }
}

void TmvOleControl::EnsureClientSite() {
  ComPtr<IOleClientSite> current;
  HRESULT hr = E_FAIL;
  try {
    hr = FOleObject->GetClientSite(&current);
  } catch (...) {
    hr = E_FAIL;
  }
  if (FAILED(hr) || !current) OleCheck(FOleObject->SetClientSite(ClientSite()));
}

void TmvOleControl::Connect(const IID& iid, IUnknown* sink, DWORD& cookie) {
  cookie = 0;
  ComPtr<IConnectionPointContainer> container;
  if (FAILED(FOleObject.As(&container)) || !container) return;
  ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(iid, &point)) || !point) return;
  DWORD assigned = 0;
  if (SUCCEEDED(point->Advise(sink, &assigned))) cookie = assigned;
}

void TmvOleControl::Disconnect(const IID& iid, DWORD& cookie) {
  if (cookie == 0 || !FOleObject) return;
  ComPtr<IConnectionPointContainer> container;
  if (FAILED(FOleObject.As(&container)) || !container) return;
  ComPtr<IConnectionPoint> point;
  if (FAILED(container->FindConnectionPoint(iid, &point)) || !point) return;
  if (SUCCEEDED(point->Unadvise(cookie))) cookie = 0;
}

void TmvOleControl::ConnectControl() {
  if (!FOleObject || FOleControl) return;
  std::exception_ptr failure;
  try {
    EnsureClientSite();
    if (!FSavedState) {
      OleCheck(FPersistStreamInit->InitNew());
    } else {
      ComPtr<IStream> stream;
      OleCheck(CreateStreamOnHGlobal(FSavedState, FALSE, &stream));
      // The block may be larger than the state it holds.
      ULARGE_INTEGER size;
      size.QuadPart = FSavedStateSize;
      stream->SetSize(size);
      OleCheck(FPersistStreamInit->Load(stream.Get()));
      stream.Reset();
      FreeControlState();
    }
    OleCheck(FOleObject.As(&FOleControl));
    OleCheck(FOleObject.As(&FDispatch));
    if (FAILED(FOleObject.As(&FPerPropertyBrowsing))) FPerPropertyBrowsing.Reset();
    Connect(IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(FSite.get()),
            FPropNotifyCookie);
    Connect(FControlData->EventIID, FEventSink.get(), FEventsCookie);
    FOleControl->OnAmbientPropertyChange(DISPID_UNKNOWN);
    FSite->RequestNewObjectLayout();
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    DisconnectControl();
    std::rethrow_exception(failure);
  }
}

void TmvOleControl::ActivateControl() {
  if (FUnavailable) return;
  ConnectControl();
  if (FMiscStatus & KInvisibleAtRuntime) return;
  const TRect bounds = BoundsRect();
  RECT rect{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
  FOleObject->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, ClientSite(), 0, nullptr, &rect);
  if (!FInPlaceObject) throw EOleError("OLE control activation failed");
  if (FWindowlessObject) {
    LRESULT result = 0;
    FWindowlessObject->OnWindowMessage(WM_SETFOCUS, 0, 0, &result);
  }
}

void TmvOleControl::DisconnectControl() {
  CloseControl();
  Disconnect(FControlData->EventIID, FEventsCookie);
  Disconnect(IID_IPropertyNotifySink, FPropNotifyCookie);
  FPerPropertyBrowsing.Reset();
  FDispatch.Reset();
  FOleControl.Reset();
}

void TmvOleControl::CloseControl() {
  if (!(FMiscStatus & KInvisibleAtRuntime) && FOleObject) FOleObject->Close(OLECLOSE_NOSAVE);
}

// ---- Persistence -----------------------------------------------------------

void TmvOleControl::FreeControlState() {
  if (FSavedState) GlobalFree(FSavedState);
  FSavedState = nullptr;
  FSavedStateSize = 0;
}

void TmvOleControl::ReadControlData(TStream& stream) {
  try {
    FreeControlState();
    const int64_t size = stream.Size() - stream.Position();
    if (size < 0 || size > INT32_MAX) throw EReadError("Stream read error");
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, SIZE_T(size));
    if (!block) throw EOutOfMemory();
    FSavedState = block;
    FSavedStateSize = SIZE_T(size);
    if (size > 0) {
      TGlobalLock lock(block);
      stream.ReadBuffer(lock.Data(), int32_t(size));
    }
  } catch (...) {
    // A broken saved state is dropped.
    FreeControlState();
  }
}

void TmvOleControl::SaveControlState() {
  FreeControlState();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 0);
  if (!block) throw EOutOfMemory();
  FSavedState = block;
  std::exception_ptr failure;
  try {
    if (!FPersistStreamInit) throw EOleError("The control cannot save its state");
    ComPtr<IStream> stream;
    OleCheck(CreateStreamOnHGlobal(block, FALSE, &stream));
    OleCheck(FPersistStreamInit->Save(stream.Get(), TRUE));
    STATSTG stat{};
    OleCheck(stream->Stat(&stat, STATFLAG_NONAME));
    HGLOBAL current = nullptr;
    OleCheck(GetHGlobalFromStream(stream.Get(), &current));
    FSavedState = current;
    FSavedStateSize = SIZE_T(stat.cbSize.QuadPart);
  } catch (...) {
    failure = std::current_exception();
  }
  if (failure) {
    FreeControlState();
    std::rethrow_exception(failure);
  }
}

void TmvOleControl::WriteControlData(TStream& stream) {
  bool made = false;
  if (!FSavedState) {
    SaveControlState();
    made = true;
  }
  std::exception_ptr failure;
  try {
    if (FSavedStateSize > 0) {
      TGlobalLock lock(FSavedState);
      const SIZE_T size = std::min<SIZE_T>(FSavedStateSize, GlobalSize(FSavedState));
      stream.WriteBuffer(lock.Data(), int32_t(size));
    }
  } catch (...) {
    failure = std::current_exception();
  }
  if (made) FreeControlState();
  if (failure) std::rethrow_exception(failure);
}

bool TmvOleControl::IsIgnorableError(const std::exception& e) const {
  return dynamic_cast<const EOleSysError*>(&e) && HasState(csDesigning);
}

void TmvOleControl::DefineProperties(TFiler& filer) {
  TGraphicControl::DefineProperties(filer);
  // Errors of the control are dropped at design time, raised at run time.
  auto guarded = [this](void (TmvOleControl::*step)(TStream&)) {
    return [this, step](TStream& stream) {
      std::exception_ptr failure;
      try {
        (this->*step)(stream);
      } catch (const std::exception& e) {
        if (!IsIgnorableError(e)) failure = std::current_exception();
      }
      if (failure) std::rethrow_exception(failure);
    };
  };
  filer.DefineBinaryProperty("ControlData", guarded(&TmvOleControl::ReadControlData),
                             guarded(&TmvOleControl::WriteControlData), FOleObject != nullptr);
}

// ---- Platform overrides ----------------------------------------------------

void TmvOleControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (FUnavailable || FInSetBounds) {
    TGraphicControl::SetBounds(left, top, width, height);
    return;
  }
  TGraphicControl::SetBounds(left, top, width, height);
  TGuard guard(FInSetBounds);
  // The control always sits at the origin of the host's own surface.
  const RECT rect{0, 0, width, height};
  if (FInPlaceObject) FInPlaceObject->SetObjectRects(&rect, &rect);
  if (FWindowlessObject) FWindowlessObject->SetObjectRects(&rect, &rect);
  ResizeSurfaces(width, height);
}

void TmvOleControl::ResizeSurfaces(int32_t width, int32_t height) {
  if (!FBackground) FBackground = std::make_unique<TmvBitmap>();
  FBackground->SetSize(width, height);
  if (!FScratch) FScratch = std::make_unique<TmvBitmap>();
  if (!FComposite) FComposite = std::make_unique<TmvBitmap>();
  FScratch->SetSize(width, height);
  FComposite->SetSize(width, height);
  FResized = true;
}

void TmvOleControl::SetParent(TWinControl* parent) {
  TGraphicControl::SetParent(parent);
  if (FUnavailable || !parent || !FOleObject) return;
  EnsureClientSite();
  if (FOleControl) FOleControl->OnAmbientPropertyChange(DISPID_UNKNOWN);
}

void TmvOleControl::SetName(const std::string& name) {
  TGraphicControl::SetName(name);
  if (FOleControl) FOleControl->OnAmbientPropertyChange(DISPID_AMBIENT_DISPLAYNAME);
}

void TmvOleControl::Loaded() {
  TGraphicControl::Loaded();
  FBackgroundPending = true;
}

void TmvOleControl::DefaultHandler(TMessage& message) {
  try {
    TGraphicControl::DefaultHandler(message);
  } catch (...) {
  }
}

void TmvOleControl::Paint() {
  if (FCapturingBackground) return;
  TWinControl* parent = Parent();
  if (!parent || !parent->HandleAllocated()) return;
  if (FBackgroundPending) FBackgroundPending = false;
  if (OnPaint) OnPaint(this);
}

// ---- Site hooks ------------------------------------------------------------

HRESULT TmvOleControl::QuerySiteInterface(REFIID, void** out) {
  if (out) *out = nullptr;
  return E_NOINTERFACE;
}

HRESULT TmvOleControl::SiteGetDC(const RECT*, DWORD, HDC* dc) {
  if (dc) *dc = nullptr;
  return E_NOTIMPL;
}

HRESULT TmvOleControl::SiteReleaseDC(HDC) { return S_OK; }

HRESULT TmvOleControl::SiteInvalidateRect(const RECT*, BOOL) {
  if (!FUnavailable) Invalidate();
  return S_OK;
}

HRESULT TmvOleControl::SiteInvalidateRgn(HRGN, BOOL) {
  if (!FUnavailable) Invalidate();
  return S_OK;
}

HRESULT TmvOleControl::OnChanged(DISPID dispId) {
  try {
    switch (dispId) {
      case DISPID_BACKCOLOR:
        if (!FInColorUpdate) {
          TGuard guard(FInColorUpdate);
          SetColor(TColor(ReadIntProperty(DISPID_BACKCOLOR)));
        }
        break;
      case DISPID_FONT:
        if (!FInFontUpdate) {
          TGuard guard(FInFontUpdate);
          VARIANT value = ReadVariantProperty(DISPID_FONT);
          try {
            VariantToFont(value, Font());
          } catch (...) {
          }
          VariantClear(&value);
        }
        break;
      case DISPID_FORECOLOR:
        if (!FInFontUpdate) {
          TGuard guard(FInFontUpdate);
          Font().SetColor(TColor(ReadIntProperty(DISPID_FORECOLOR)));
        }
        break;
      case DISPID_ENABLED:
        if (!FInEnabledUpdate) {
          TGuard guard(FInEnabledUpdate);
          SetEnabled(ReadBoolProperty(DISPID_ENABLED));
        }
        break;
      default:
        break;
    }
  } catch (...) {
    // A property that cannot be pulled in leaves the host as it is.
  }
  return S_OK;
}

HRESULT TmvOleControl::OnRequestEdit(DISPID) { return S_OK; }

// ---- Properties ------------------------------------------------------------

void TmvOleControl::ReadProperty(DISPID dispId, VARIANT& value) {
  ConnectControl();
  VariantInit(&value);
  // No control: nothing to ask, the value stays empty.
  if (!FDispatch) return;
  DISPPARAMS none{};
  TExcepInfo info;
  HRESULT hr = FDispatch->Invoke(dispId, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &value, &info,
                                 nullptr);
  if (hr != S_OK) {
    VariantClear(&value);
    RaiseInvokeError(hr, info);
  }
}

VARIANT TmvOleControl::ReadVariantProperty(DISPID dispId) {
  VARIANT value;
  VariantInit(&value);
  ReadProperty(dispId, value);
  return value;
}

int32_t TmvOleControl::ReadIntProperty(DISPID dispId) {
  VARIANT value = ReadVariantProperty(dispId);
  const int32_t result = value.vt == VT_EMPTY ? 0 : value.lVal;
  VariantClear(&value);
  return result;
}

bool TmvOleControl::ReadBoolProperty(DISPID dispId) {
  VARIANT value = ReadVariantProperty(dispId);
  const bool result = value.vt != VT_EMPTY && value.boolVal != 0;
  VariantClear(&value);
  return result;
}

std::u16string TmvOleControl::ReadWideStrProperty(DISPID dispId) {
  VARIANT value = ReadVariantProperty(dispId);
  std::u16string result;
  if (value.vt == VT_BSTR && value.bstrVal)
    result.assign(reinterpret_cast<const char16_t*>(value.bstrVal), SysStringLen(value.bstrVal));
  VariantClear(&value);
  return result;
}

std::string TmvOleControl::ReadStrProperty(DISPID dispId) {
  VARIANT value = ReadVariantProperty(dispId);
  VARIANT text;
  VariantInit(&text);
  HRESULT hr = value.vt == VT_EMPTY ? S_OK : VariantChangeType(&text, &value, 0, VT_BSTR);
  VariantClear(&value);
  if (FAILED(hr)) throw EConvertError("Invalid variant type conversion");
  std::string result = text.vt == VT_BSTR ? BstrToAnsi(text.bstrVal) : std::string();
  VariantClear(&text);
  return result;
}

void TmvOleControl::InvokePut(DISPID dispId, VARIANT& value, WORD flags) {
  if (FUnavailable) return;
  ConnectControl();
  if (!FDispatch) return;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params{&value, &named, 1, 1};
  TExcepInfo info;
  HRESULT hr = FDispatch->Invoke(dispId, GUID_NULL, 0, flags, &params, nullptr, &info, nullptr);
  if (hr != S_OK) RaiseInvokeError(hr, info);
}

void TmvOleControl::WriteProperty(DISPID dispId, const VARIANT& value) {
  VARIANT copy = value;  // the caller keeps ownership; Invoke does not free
  InvokePut(dispId, copy, value.vt == VT_DISPATCH ? DISPATCH_PROPERTYPUTREF : DISPATCH_PROPERTYPUT);
}

void TmvOleControl::WriteIntProperty(DISPID dispId, int32_t value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  InvokePut(dispId, v, DISPATCH_PROPERTYPUT);
}

void TmvOleControl::WriteBoolProperty(DISPID dispId, bool value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BOOL;
  v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  InvokePut(dispId, v, DISPATCH_PROPERTYPUT);
}

void TmvOleControl::WriteWideStrProperty(DISPID dispId, const std::u16string& value) {
  if (FUnavailable) return;
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  // An empty string travels as a nil BSTR.
  v.bstrVal = value.empty() ? nullptr
                            : SysAllocStringLen(reinterpret_cast<const OLECHAR*>(value.data()),
                                                UINT(value.size()));
  if (!value.empty() && !v.bstrVal) throw EOutOfMemory();
  std::exception_ptr failure;
  try {
    InvokePut(dispId, v, DISPATCH_PROPERTYPUT);
  } catch (...) {
    failure = std::current_exception();
  }
  SysFreeString(v.bstrVal);
  if (failure) std::rethrow_exception(failure);
}

void TmvOleControl::WriteStrProperty(DISPID dispId, const std::string& value) {
  WriteWideStrProperty(dispId, AnsiToWide(value));
}

VARIANT TmvOleControl::GetControlObject() {
  VARIANT result;
  VariantInit(&result);
  ConnectControl();
  if (!FOleObject) return result;
  IDispatch* dispatch = nullptr;
  if (FAILED(FOleObject->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) ||
      !dispatch)
    throw EIntfCastError("Interface not supported");
  result.vt = VT_DISPATCH;
  result.pdispVal = dispatch;
  return result;
}

// ---- Events ----------------------------------------------------------------

void TmvOleControl::SetEventHandler(int position, TmvControlEvent handler) {
  if (position < 0 || size_t(position) >= FEventHandlers.size())
    throw EListError("List index out of bounds (" + std::to_string(position) + ")");
  FEventHandlers[size_t(position)] = std::move(handler);
}

void TmvOleControl::DispatchControlEvent(DISPID dispId, const DISPPARAMS& params) {
  for (int32_t i = 0; i < FControlData->EventCount; ++i) {
    if (FControlData->EventDispIDs[i] != dispId) continue;
    const TmvControlEvent& handler = FEventHandlers[size_t(i)];
    if (!handler) return;
    try {
      handler(this, params);
    } catch (const std::exception& e) {
      if (Application) Application->HandleException(e, this);
    } catch (...) {
      if (Application) Application->HandleException(Exception("Unknown exception"), this);
    }
    return;
  }
}

void TmvOleControl::DispatchStandardEvent(DISPID dispId, const DISPPARAMS& params) {
  const UINT count = params.cArgs;
  const VARIANT* args = params.rgvarg;
  try {
    switch (dispId) {
      case DISPID_CLICK:
        Click();
        break;
      case DISPID_DBLCLICK:
        DblClick();
        break;
      case DISPID_KEYDOWN:
      case DISPID_KEYUP:
        if (count >= 2) {
          const int32_t key = VariantInt(args[1]);
          if (args[1].vt == (VT_BYREF | VT_I2) && args[1].piVal) *args[1].piVal = SHORT(key);
        }
        break;
      case DISPID_KEYPRESS:
        if (count >= 1) {
          const int32_t key = VariantInt(args[0]);
          if ((args[0].vt & VT_BYREF) && args[0].pcVal &&
              (args[0].vt == (VT_BYREF | VT_I1) || args[0].vt == (VT_BYREF | VT_UI1)))
            *args[0].pcVal = CHAR(key);
        }
        break;
      case DISPID_MOUSEDOWN:
      case DISPID_MOUSEMOVE:
      case DISPID_MOUSEUP: {
        if (count < 4) break;
        const int32_t buttons = VariantInt(args[3]) & 7;
        const int32_t shiftBits = VariantInt(args[2]) & 7;
        const int32_t x = VariantInt(args[1]);
        const int32_t y = VariantInt(args[0]);
        static constexpr TMouseButton KButtons[8] = {
            TMouseButton::mbLeft, TMouseButton::mbLeft,   TMouseButton::mbRight,
            TMouseButton::mbLeft, TMouseButton::mbMiddle, TMouseButton::mbLeft,
            TMouseButton::mbRight, TMouseButton::mbLeft};
        TShiftState shift = 0;
        if (buttons & 1) shift |= ssLeft;
        if (buttons & 2) shift |= ssRight;
        if (buttons & 4) shift |= ssMiddle;
        if (shiftBits & 1) shift |= ssShift;
        if (shiftBits & 2) shift |= ssCtrl;
        if (shiftBits & 4) shift |= ssAlt;
        if (dispId == DISPID_MOUSEDOWN)
          MouseDown(KButtons[buttons], shift, x, y);
        else if (dispId == DISPID_MOUSEMOVE)
          MouseMove(shift, x, y);
        else
          MouseUp(KButtons[buttons], shift, x, y);
        break;
      }
      default:
        break;
    }
  } catch (const std::exception& e) {
    if (Application) Application->HandleException(e, this);
  } catch (...) {
    if (Application) Application->HandleException(Exception("Unknown exception"), this);
  }
}

// ---- Registration ----------------------------------------------------------

namespace {

TCustomForm* MethodOwnerForm(TPersistent* object) {
  for (TComponent* c = dynamic_cast<TComponent*>(object); c; c = c->Owner())
    if (auto* form = dynamic_cast<TCustomForm*>(c)) return form;
  return nullptr;
}

TPropInfo OnPaintProp() {
  TPropInfo p;
  p.Name = "OnPaint";
  p.Kind = TPropKind::pkMethod;
  p.GetMethod = [](TPersistent* o) {
    return static_cast<TmvOleControl*>(o)->EventHandlerName("OnPaint");
  };
  p.SetMethod = [](TPersistent* o, const std::string& handler) {
    auto* host = static_cast<TmvOleControl*>(o);
    if (handler.empty()) {
      host->OnPaint = nullptr;
      host->SetEventHandlerName("OnPaint", "");
      return;
    }
    TCustomForm* form = MethodOwnerForm(o);
    TNotifyEvent method = form ? form->FindMethod(handler) : TNotifyEvent();
    if (!method) throw EReadError("Method " + handler + " of OnPaint not found");
    host->OnPaint = std::move(method);
    host->SetEventHandlerName("OnPaint", handler);
  };
  return p;
}

}  // namespace

void RegisterOleControlClass() {
  TClassInfo info;
  info.Name = "TmvOleControl";
  info.ParentName = "TGraphicControl";
  info.Properties = {
      ControlProperty("Color"),
      ControlProperty("ParentColor"),
      ControlProperty("Cursor"),
      ControlProperty("Hint"),
      ControlProperty("ParentShowHint"),
      ControlProperty("ShowHint"),
      BooleanProp<TmvOleControl>("Transparent", &TmvOleControl::Transparent,
                                 &TmvOleControl::SetTransparent, true),
      BooleanProp<TmvOleControl>("DisableFlashPopup", &TmvOleControl::DisableFlashPopup,
                                 &TmvOleControl::SetDisableFlashPopup, false),
      BooleanProp<TmvOleControl>("DisableFlashCursor", &TmvOleControl::DisableFlashCursor,
                                 &TmvOleControl::SetDisableFlashCursor, false),
      OnPaintProp(),
      ControlProperty("OnClick")};
  RegisterClass(std::move(info));
}
