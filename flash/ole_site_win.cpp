#include "flash/ole_site_win.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <utility>

#include <olectl.h>

#include "flash/ole_control_win.h"
#include "framework/application_win.h"
#include "framework/win_control_win.h"

namespace {

struct TQueryEntry {
  const IID& Iid;
  IUnknown* Object;
};

HRESULT QueryTable(REFIID iid, void** out, std::initializer_list<TQueryEntry> table) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const TQueryEntry& entry : table)
    if (iid == entry.Iid) {
      entry.Object->AddRef();
      *out = entry.Object;
      return S_OK;
    }
  return E_NOINTERFACE;
}

int32_t PixelsPerInch() { return Screen ? Screen->PixelsPerInch() : 96; }

void SetBool(VARIANT* v, bool value) {
  v->vt = VT_BOOL;
  v->boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
}

void SetInt(VARIANT* v, int32_t value) {
  v->vt = VT_I4;
  v->lVal = value;
}

}  // namespace

HRESULT TmvOleSite::QueryInterface(REFIID iid, void** out) {
  using namespace ole_site_detail;
  HRESULT hr = QueryTable(
      iid, out,
      {{IID_IUnknown, static_cast<IOleClientSite*>(this)},
       {IID_IServiceProvider, static_cast<IServiceProvider*>(this)},
       {IID_IParseDisplayName, static_cast<IParseDisplayName*>(this)},
       {IID_IPropertyNotifySink, static_cast<IPropertyNotifySink*>(this)},
       {IID_IOleWindow, static_cast<TUIWindowBase*>(this)},
       {IID_IOleInPlaceUIWindow, static_cast<TUIWindowBase*>(this)},
       {IID_IDispatch, static_cast<IDispatch*>(this)},
       {IID_IOleInPlaceFrame, static_cast<TFrameBase*>(this)},
       {IID_IOleInPlaceSiteWindowless, static_cast<TWindowlessSiteBase*>(this)},
       {IID_IOleInPlaceSite, static_cast<TInPlaceSiteBase*>(this)},
       {IID_IOleControlSite, static_cast<IOleControlSite*>(this)},
       {IID_IOleClientSite, static_cast<IOleClientSite*>(this)}});
  if (hr != E_NOINTERFACE) return hr;
  try {
    hr = FHost.QuerySiteInterface(iid, out);
  } catch (...) {
    hr = E_NOINTERFACE;
  }
  if (FAILED(hr)) {
    *out = nullptr;
    return E_NOINTERFACE;
  }
  return hr;
}

ULONG TmvOleSite::AddRef() { return ULONG(++FHost.FRefCount); }
ULONG TmvOleSite::Release() { return ULONG(--FHost.FRefCount); }

// ---- IOleClientSite --------------------------------------------------------

HRESULT TmvOleSite::SaveObject() { return S_OK; }

HRESULT TmvOleSite::GetMoniker(DWORD, DWORD, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}

HRESULT TmvOleSite::GetContainer(IOleContainer** container) {
  if (container) *container = nullptr;
  return E_NOINTERFACE;
}

HRESULT TmvOleSite::ShowObject() { return S_OK; }
HRESULT TmvOleSite::OnShowWindow(BOOL) { return S_OK; }

HRESULT TmvOleSite::RequestNewObjectLayout() {
  try {
    if (!FHost.FOleObject) return E_FAIL;
    SIZEL extent{};
    HRESULT hr = FHost.FOleObject->GetExtent(DVASPECT_CONTENT, &extent);
    if (hr != S_OK) return hr;
    const int32_t ppi = PixelsPerInch();
    int32_t width = MulDiv(extent.cx, ppi, 2540);
    int32_t height = MulDiv(extent.cy, ppi, 2540);
    if ((FHost.FMiscStatus & OLEMISC_INVISIBLEATRUNTIME) && !FHost.Connected()) {
      width = std::min(width, 32);
      height = std::min(height, 32);
    }
    FHost.SetBounds(FHost.Left(), FHost.Top(), width, height);
    return S_OK;
  } catch (...) {
    return E_FAIL;
  }
}

// ---- IOleWindow ------------------------------------------------------------

HRESULT TmvOleSite::WindowlessGetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = nullptr;
  // The control gets a window exactly once after each forwarded right-button
  // press: the one its context menu needs.
  if (FHost.FPopupWindowPending) {
    FHost.FPopupWindowPending = false;
    TWinControl* parent = FHost.Parent();
    try {
      if (parent) *window = parent->Handle();
    } catch (...) {
      *window = nullptr;
    }
  }
  return *window ? S_OK : E_FAIL;
}

HRESULT TmvOleSite::InPlaceSiteGetWindow(HWND* window) {
  if (window) *window = nullptr;
  return E_FAIL;
}

HRESULT TmvOleSite::FrameGetWindow(HWND* window) {
  if (window) *window = nullptr;
  return S_OK;
}

HRESULT TmvOleSite::UIWindowGetWindow(HWND* window) {
  if (window) *window = nullptr;
  return E_FAIL;
}

HRESULT TmvOleSite::ContextSensitiveHelp(BOOL) { return S_OK; }

// ---- IOleInPlaceSite -------------------------------------------------------

HRESULT TmvOleSite::CanInPlaceActivate() { return S_OK; }

void TmvOleSite::QueryInPlaceInterfaces() {
  IOleObject* object = FHost.FOleObject.Get();
  FHost.FInPlaceObject.Reset();
  FHost.FInPlaceActiveObject.Reset();
  FHost.FWindowlessObject.Reset();
  FHost.FViewObject.Reset();
  if (!object) return;
  object->QueryInterface(IID_IOleInPlaceObject,
                         reinterpret_cast<void**>(FHost.FInPlaceObject.GetAddressOf()));
  object->QueryInterface(IID_IOleInPlaceActiveObject,
                         reinterpret_cast<void**>(FHost.FInPlaceActiveObject.GetAddressOf()));
  object->QueryInterface(IID_IOleInPlaceObjectWindowless,
                         reinterpret_cast<void**>(FHost.FWindowlessObject.GetAddressOf()));
  object->QueryInterface(IID_IViewObject,
                         reinterpret_cast<void**>(FHost.FViewObject.GetAddressOf()));
}

HRESULT TmvOleSite::OnInPlaceActivate() {
  QueryInPlaceInterfaces();
  return S_OK;
}

HRESULT TmvOleSite::OnUIActivate() { return S_OK; }

HRESULT TmvOleSite::GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                     LPRECT posRect, LPRECT clipRect,
                                     LPOLEINPLACEFRAMEINFO frameInfo) {
  if (frame) {
    *frame = static_cast<ole_site_detail::TFrameBase*>(this);
    AddRef();
  }
  if (doc) *doc = nullptr;
  if (posRect) {
    const TRect bounds = FHost.BoundsRect();
    *posRect = RECT{bounds.Left, bounds.Top, bounds.Right, bounds.Bottom};
  }
  if (clipRect) *clipRect = RECT{0, 0, 32767, 32767};
  if (frameInfo) {
    frameInfo->fMDIApp = FALSE;
    frameInfo->hwndFrame = nullptr;
    frameInfo->haccel = nullptr;
    frameInfo->cAccelEntries = 0;
  }
  return S_OK;
}

HRESULT TmvOleSite::Scroll(SIZE) { return E_NOTIMPL; }

HRESULT TmvOleSite::OnUIDeactivate(BOOL) {
  SetMenu(nullptr, nullptr, nullptr);
  return S_OK;
}

HRESULT TmvOleSite::OnInPlaceDeactivate() {
  FHost.FInPlaceActiveObject.Reset();
  FHost.FInPlaceObject.Reset();
  FHost.FWindowlessObject.Reset();
  FHost.FViewObject.Reset();
  return S_OK;
}

HRESULT TmvOleSite::DiscardUndoState() { return E_NOTIMPL; }

HRESULT TmvOleSite::DeactivateAndUndo() {
  if (FHost.FInPlaceObject) FHost.FInPlaceObject->UIDeactivate();
  return S_OK;
}

HRESULT TmvOleSite::OnPosRectChange(LPCRECT posRect) {
  if (FHost.FInPlaceObject && posRect) {
    const RECT clip{0, 0, 32767, 32767};
    FHost.FInPlaceObject->SetObjectRects(posRect, &clip);
  }
  return S_OK;
}

// ---- IOleInPlaceSiteEx -----------------------------------------------------

HRESULT TmvOleSite::OnInPlaceActivateEx(BOOL*, DWORD) {
  QueryInPlaceInterfaces();
  return S_OK;
}

HRESULT TmvOleSite::OnInPlaceDeactivateEx(BOOL) { return S_OK; }
HRESULT TmvOleSite::RequestUIActivate() { return S_OK; }

// ---- IOleInPlaceSiteWindowless ---------------------------------------------

HRESULT TmvOleSite::CanWindowlessActivate() { return S_OK; }

HRESULT TmvOleSite::GetCapture() { return FHost.FMouseCaptured ? S_OK : S_FALSE; }

HRESULT TmvOleSite::SetCapture(BOOL capture) {
  // The control's own notion of capture; the system's capture is not touched.
  TWinControl* parent = FHost.Parent();
  if (parent && parent->HandleAllocated()) FHost.FMouseCaptured = capture != FALSE;
  return S_OK;
}

// The control is always told that it has the focus.
HRESULT TmvOleSite::GetFocus() { return S_OK; }
HRESULT TmvOleSite::SetFocus(BOOL) { return S_OK; }

HRESULT TmvOleSite::GetDC(LPCRECT rect, DWORD flags, HDC* dc) {
  if (!dc) return E_POINTER;
  *dc = nullptr;
  try {
    return FHost.SiteGetDC(rect, flags, dc);
  } catch (...) {
    *dc = nullptr;
    return E_FAIL;
  }
}

HRESULT TmvOleSite::ReleaseDC(HDC dc) {
  try {
    return FHost.SiteReleaseDC(dc);
  } catch (...) {
    return E_FAIL;
  }
}

HRESULT TmvOleSite::InvalidateRect(LPCRECT rect, BOOL erase) {
  try {
    return FHost.SiteInvalidateRect(rect, erase);
  }
  MV_CATCH_AT_BOUNDARY
  return S_OK;
}

HRESULT TmvOleSite::InvalidateRgn(HRGN region, BOOL erase) {
  try {
    return FHost.SiteInvalidateRgn(region, erase);
  }
  MV_CATCH_AT_BOUNDARY
  return S_OK;
}

HRESULT TmvOleSite::ScrollRect(INT, INT, LPCRECT, LPCRECT) { return S_OK; }

HRESULT TmvOleSite::AdjustRect(LPRECT rect) {
  if (rect) *rect = RECT{0, 0, FHost.Width(), FHost.Height()};
  return S_OK;
}

HRESULT TmvOleSite::OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) {
  LRESULT answer = 0;
  try {
    answer = FHost.Perform(msg, wParam, lParam);
  }
  MV_CATCH_AT_BOUNDARY
  if (result) *result = answer;
  return S_OK;
}

// ---- IOleInPlaceUIWindow and IOleInPlaceFrame ------------------------------

HRESULT TmvOleSite::GetBorder(LPRECT) { return INPLACE_E_NOTOOLSPACE; }
HRESULT TmvOleSite::RequestBorderSpace(LPCBORDERWIDTHS) { return INPLACE_E_NOTOOLSPACE; }
HRESULT TmvOleSite::SetBorderSpace(LPCBORDERWIDTHS) { return E_NOTIMPL; }

HRESULT TmvOleSite::SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR) {
  FHost.FInPlaceActiveObject = object;
  return S_OK;
}

// The host's forms have no menu bar, so there is nothing to merge: the shared
// menu stays as the control made it, and removal empties it.
HRESULT TmvOleSite::InsertMenus(HMENU, LPOLEMENUGROUPWIDTHS) { return S_OK; }
HRESULT TmvOleSite::SetMenu(HMENU, HOLEMENU, HWND) { return S_OK; }

HRESULT TmvOleSite::RemoveMenus(HMENU shared) {
  if (shared && IsMenu(shared))
    while (GetMenuItemCount(shared) > 0)
      if (!RemoveMenu(shared, 0, MF_BYPOSITION)) break;
  return S_OK;
}

HRESULT TmvOleSite::SetStatusText(LPCOLESTR) { return S_OK; }
HRESULT TmvOleSite::EnableModeless(BOOL) { return S_OK; }
HRESULT TmvOleSite::TranslateAccelerator(LPMSG, WORD) { return S_FALSE; }

// ---- IOleControlSite -------------------------------------------------------

HRESULT TmvOleSite::OnControlInfoChanged() { return E_NOTIMPL; }
HRESULT TmvOleSite::LockInPlaceActive(BOOL) { return E_NOTIMPL; }

HRESULT TmvOleSite::GetExtendedControl(IDispatch** control) {
  if (control) *control = nullptr;
  return E_NOTIMPL;
}

HRESULT TmvOleSite::TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) {
  if (!himetric || !container) return E_POINTER;
  const int32_t ppi = PixelsPerInch();
  if (flags & XFORMCOORDS_HIMETRICTOCONTAINER) {
    container->x = float(MulDiv(himetric->x, ppi, 2540));
    container->y = float(MulDiv(himetric->y, ppi, 2540));
  } else {
    // nearbyint rounds ties to even in the default rounding mode.
    himetric->x = LONG(std::nearbyint(double(container->x) * 2540.0 / ppi));
    himetric->y = LONG(std::nearbyint(double(container->y) * 2540.0 / ppi));
  }
  return S_OK;
}

HRESULT TmvOleSite::TranslateAccelerator(MSG*, DWORD) { return E_NOTIMPL; }
HRESULT TmvOleSite::OnFocus(BOOL) { return E_NOTIMPL; }
HRESULT TmvOleSite::ShowPropertyFrame() { return E_NOTIMPL; }

// ---- IDispatch: ambient properties -----------------------------------------

HRESULT TmvOleSite::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT TmvOleSite::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT TmvOleSite::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }

HRESULT TmvOleSite::Invoke(DISPID dispId, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                           EXCEPINFO*, UINT*) {
  if (!(flags & DISPATCH_PROPERTYGET) || !result) return DISP_E_MEMBERNOTFOUND;
  const bool designing = FHost.HasState(csDesigning);
  try {
    switch (dispId) {
      case DISPID_AMBIENT_BACKCOLOR:
        VariantInit(result);
        SetInt(result, int32_t(FHost.Color()));
        return S_OK;
      case DISPID_AMBIENT_DISPLAYNAME:
        VariantInit(result);
        StrToVariant(FHost.Name(), *result);
        return S_OK;
      case DISPID_AMBIENT_FONT: {
        TWinControl* parent = FHost.Parent();
        TFont& font = parent && FHost.ParentFont() ? parent->Font() : FHost.Font();
        VariantInit(result);
        FontToVariant(font, *result);
        return S_OK;
      }
      case DISPID_AMBIENT_FORECOLOR:
        VariantInit(result);
        SetInt(result, int32_t(FHost.Font().Color()));
        return S_OK;
      case DISPID_AMBIENT_LOCALEID:
        VariantInit(result);
        SetInt(result, int32_t(GetUserDefaultLCID()));
        return S_OK;
      case DISPID_AMBIENT_MESSAGEREFLECT:
      case DISPID_AMBIENT_SUPPORTSMNEMONICS:
      case DISPID_AMBIENT_AUTOCLIP:
        VariantInit(result);
        SetBool(result, true);
        return S_OK;
      case DISPID_AMBIENT_USERMODE:
        VariantInit(result);
        SetBool(result, !designing);
        return S_OK;
      case DISPID_AMBIENT_UIDEAD:
        VariantInit(result);
        SetBool(result, designing);
        return S_OK;
      case DISPID_AMBIENT_SHOWGRABHANDLES:
      case DISPID_AMBIENT_SHOWHATCHING:
        VariantInit(result);
        SetBool(result, false);
        return S_OK;
      default:
        return DISP_E_MEMBERNOTFOUND;
    }
  } catch (...) {
    // The value could not be made (no memory for the string or font).
    VariantInit(result);
    return E_OUTOFMEMORY;
  }
}

// ---- IPropertyNotifySink ---------------------------------------------------

HRESULT TmvOleSite::OnChanged(DISPID dispId) {
  try {
    FHost.OnChanged(dispId);
  } catch (...) {
  }
  return S_OK;
}

HRESULT TmvOleSite::OnRequestEdit(DISPID dispId) {
  try {
    return FHost.OnRequestEdit(dispId);
  } catch (...) {
    return S_OK;
  }
}

// ---- IServiceProvider, IParseDisplayName -----------------------------------

HRESULT TmvOleSite::QueryService(REFGUID, REFIID iid, void** out) {
  return QueryInterface(iid, out);
}

HRESULT TmvOleSite::ParseDisplayName(IBindCtx*, LPOLESTR, ULONG*, IMoniker** moniker) {
  if (moniker) *moniker = nullptr;
  return E_NOTIMPL;
}
