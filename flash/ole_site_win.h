#pragma once
// The container site of a TmvOleControl: client site, in-place site (plain
// and windowless), frame and UI window, control site, ambient properties,
// property notifications and service provider, all one COM object with one
// QueryInterface table. Its reference count is the host's and only counts;
// the site lives as long as the host.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <servprov.h>

class TmvOleControl;

namespace ole_site_detail {
// Interfaces that share IOleWindow::GetWindow but answer it differently get
// a base of their own each, which renames it.
struct TWindowlessSiteBase : IOleInPlaceSiteWindowless {
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) final { return WindowlessGetWindow(window); }
  virtual HRESULT WindowlessGetWindow(HWND* window) = 0;
};
struct TInPlaceSiteBase : IOleInPlaceSite {
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) final { return InPlaceSiteGetWindow(window); }
  virtual HRESULT InPlaceSiteGetWindow(HWND* window) = 0;
};
struct TFrameBase : IOleInPlaceFrame {
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) final { return FrameGetWindow(window); }
  virtual HRESULT FrameGetWindow(HWND* window) = 0;
};
struct TUIWindowBase : IOleInPlaceUIWindow {
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) final { return UIWindowGetWindow(window); }
  virtual HRESULT UIWindowGetWindow(HWND* window) = 0;
};
}  // namespace ole_site_detail

class TmvOleSite final : public IOleClientSite,
                         public ole_site_detail::TWindowlessSiteBase,
                         public ole_site_detail::TInPlaceSiteBase,
                         public ole_site_detail::TFrameBase,
                         public ole_site_detail::TUIWindowBase,
                         public IOleControlSite,
                         public IDispatch,
                         public IPropertyNotifySink,
                         public IServiceProvider,
                         public IParseDisplayName {
  TmvOleControl& FHost;

public:
  explicit TmvOleSite(TmvOleControl& host) : FHost(host) {}

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override;
  HRESULT STDMETHODCALLTYPE ShowObject() override;
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL show) override;
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override;

  // IOleWindow parts
  HRESULT WindowlessGetWindow(HWND* window) override;
  HRESULT InPlaceSiteGetWindow(HWND* window) override;
  HRESULT FrameGetWindow(HWND* window) override;
  HRESULT UIWindowGetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enterMode) override;

  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override;
  HRESULT STDMETHODCALLTYPE OnUIActivate() override;
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT posRect, LPRECT clipRect,
                                             LPOLEINPLACEFRAMEINFO frameInfo) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE extent) override;
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL undoable) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override;
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT posRect) override;

  // IOleInPlaceSiteEx
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL noRedraw) override;
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override;

  // IOleInPlaceSiteWindowless
  HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override;
  HRESULT STDMETHODCALLTYPE GetCapture() override;
  HRESULT STDMETHODCALLTYPE SetCapture(BOOL capture) override;
  HRESULT STDMETHODCALLTYPE GetFocus() override;
  HRESULT STDMETHODCALLTYPE SetFocus(BOOL focus) override;
  HRESULT STDMETHODCALLTYPE GetDC(LPCRECT rect, DWORD flags, HDC* dc) override;
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC dc) override;
  HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override;
  HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN region, BOOL erase) override;
  HRESULT STDMETHODCALLTYPE ScrollRect(INT dx, INT dy, LPCRECT scroll, LPCRECT clip) override;
  HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT rect) override;
  HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                               LRESULT* result) override;

  // IOleInPlaceUIWindow and IOleInPlaceFrame
  HRESULT STDMETHODCALLTYPE GetBorder(LPRECT border) override;
  HRESULT STDMETHODCALLTYPE RequestBorderSpace(LPCBORDERWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetBorderSpace(LPCBORDERWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetActiveObject(IOleInPlaceActiveObject* object,
                                            LPCOLESTR name) override;
  HRESULT STDMETHODCALLTYPE InsertMenus(HMENU shared, LPOLEMENUGROUPWIDTHS widths) override;
  HRESULT STDMETHODCALLTYPE SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) override;
  HRESULT STDMETHODCALLTYPE RemoveMenus(HMENU shared) override;
  HRESULT STDMETHODCALLTYPE SetStatusText(LPCOLESTR text) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, WORD id) override;

  // IOleControlSite
  HRESULT STDMETHODCALLTYPE OnControlInfoChanged() override;
  HRESULT STDMETHODCALLTYPE LockInPlaceActive(BOOL lock) override;
  HRESULT STDMETHODCALLTYPE GetExtendedControl(IDispatch** control) override;
  HRESULT STDMETHODCALLTYPE TransformCoords(POINTL* himetric, POINTF* container,
                                            DWORD flags) override;
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG* msg, DWORD modifiers) override;
  HRESULT STDMETHODCALLTYPE OnFocus(BOOL gotFocus) override;
  HRESULT STDMETHODCALLTYPE ShowPropertyFrame() override;

  // IDispatch: the ambient properties
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                   UINT* argErr) override;

  // IPropertyNotifySink
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispId) override;
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID dispId) override;

  // IServiceProvider: the service is ignored, the answer is QueryInterface's.
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;

  // IParseDisplayName
  HRESULT STDMETHODCALLTYPE ParseDisplayName(IBindCtx* context, LPOLESTR name, ULONG* eaten,
                                             IMoniker** moniker) override;

private:
  // Fills the four in-place fields from the control object.
  void QueryInPlaceInterfaces();
};
