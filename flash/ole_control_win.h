#pragma once
// The host of one windowless ActiveX control: it creates the instance from
// its class's control data, connects it (client site, saved state, property
// and event connections), activates it in place without a window, tells it
// its rectangle on every resize, keeps its saved state for the form, reads
// and writes its properties by dispatch identifier and receives its events.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/control_win.h"

class TmvBitmap;
class TmvOleSite;
class TEventDispatch;

// Names the hosted control: one static record per host class, never freed.
struct TmvControlData {
  CLSID ClassID;
  IID EventIID;
  int32_t EventCount;
  const DISPID* EventDispIDs;  // EventCount entries, in handler-slot order
};

// A handler of one control event. The arguments are the control's own
// DISPPARAMS (reversed: rgvarg[0] is the last declared argument), valid for
// the duration of the call.
using TmvControlEvent = std::function<void(TComponent* sender, const DISPPARAMS& params)>;

class TmvOleControl : public TGraphicControl {
  friend class TmvOleSite;
  friend class TEventDispatch;

  bool FBackgroundPending = false;
  bool FInSetBounds = false;
  LONG FRefCount = 0;
  const TmvControlData* FControlData = nullptr;
  std::unique_ptr<TEventDispatch> FEventSink;
  std::unique_ptr<TmvOleSite> FSite;
  // The saved state read from the form, and how many of its bytes are the
  // state (a global block may be larger than what was asked for).
  HGLOBAL FSavedState = nullptr;
  SIZE_T FSavedStateSize = 0;
  Microsoft::WRL::ComPtr<IOleObject> FOleObject;
  Microsoft::WRL::ComPtr<IPersistStreamInit> FPersistStreamInit;
  Microsoft::WRL::ComPtr<IDispatch> FDispatch;
  Microsoft::WRL::ComPtr<IPerPropertyBrowsing> FPerPropertyBrowsing;
  Microsoft::WRL::ComPtr<IViewObject> FViewObject;
  DWORD FPropNotifyCookie = 0;
  DWORD FEventsCookie = 0;
  DWORD FMiscStatus = 0;
  bool FInColorUpdate = false;
  bool FInFontUpdate = false;
  bool FInEnabledUpdate = false;
  bool FTransparent = true;
  bool FDisableFlashPopup = false;
  bool FDisableFlashCursor = false;
  std::unique_ptr<TmvBitmap> FBackground;
  std::unique_ptr<TmvBitmap> FScratch;
  std::unique_ptr<TmvBitmap> FComposite;
  const RECT* FInvalidRect = nullptr;
  bool FResized = false;
  Microsoft::WRL::ComPtr<IOleControl> FOleControl;
  Microsoft::WRL::ComPtr<IOleInPlaceObject> FInPlaceObject;
  Microsoft::WRL::ComPtr<IOleInPlaceActiveObject> FInPlaceActiveObject;
  bool FUnavailable = false;
  bool FCapturingBackground = false;
  bool FMouseCaptured = false;
  bool FPopupWindowPending = false;
  Microsoft::WRL::ComPtr<IOleInPlaceObjectWindowless> FWindowlessObject;
  std::vector<TmvControlEvent> FEventHandlers;  // one per event DISPID

  void CreateControlInstance();
  void EnsureClientSite();
  void Connect(const IID& iid, IUnknown* sink, DWORD& cookie);
  void Disconnect(const IID& iid, DWORD& cookie);
  void ResizeSurfaces(int32_t width, int32_t height);
  // The shared call of the property writers.
  void InvokePut(DISPID dispId, VARIANT& value, WORD flags);

protected:
  // The shared published properties' accessors of the platform stay; the
  // host adds its own.
  void Paint() override;
  void DefineProperties(TFiler& filer) override;
  // Routes a stock mouse, key or click event (DISPIDs -607 to -600).
  virtual void DispatchStandardEvent(DISPID dispId, const DISPPARAMS& params);
  // Routes every other event to the handler slot of its DISPID.
  virtual void DispatchControlEvent(DISPID dispId, const DISPPARAMS& params);
  virtual bool IsIgnorableError(const std::exception& e) const;
  // IPropertyNotifySink of the site: pulls changed properties into the host.
  virtual HRESULT OnChanged(DISPID dispId);
  virtual HRESULT OnRequestEdit(DISPID dispId);
  // Interfaces a descendant adds to the site (its QueryInterface answers
  // them after its own); set *out with a new reference, or answer E_NOINTERFACE.
  virtual HRESULT QuerySiteInterface(REFIID iid, void** out);
  // The windowless site's painting requests; the host repaints through the
  // platform until it composes by itself.
  virtual HRESULT SiteGetDC(const RECT* rect, DWORD flags, HDC* dc);
  virtual HRESULT SiteReleaseDC(HDC dc);
  virtual HRESULT SiteInvalidateRect(const RECT* rect, BOOL erase);
  virtual HRESULT SiteInvalidateRgn(HRGN region, BOOL erase);

public:
  MV_CLASS_NAME(TmvOleControl)
  // The control data belongs to the descendant class and outlives the host.
  TmvOleControl(TComponent* owner, const TmvControlData& controlData);
  ~TmvOleControl() override;

  // The steps of the instance's life. ConnectControl may be called any number
  // of times; only the first one that finds the control unconnected works.
  void ConnectControl();
  void ActivateControl();
  void DisconnectControl();
  void CloseControl();

  // Persistence of the control's own state, as an opaque block.
  void ReadControlData(TStream& stream);
  void WriteControlData(TStream& stream);
  void SaveControlState();
  void FreeControlState();

  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TWinControl* parent) override;
  void SetName(const std::string& name) override;
  void Loaded() override;
  void DefaultHandler(TMessage& message) override;

  // Property access by dispatch identifier. Failures raise EOleException
  // (the control's exception information) or EOleSysError (the result code).
  // While no control exists, reads give an empty value and writes do nothing.
  void ReadProperty(DISPID dispId, VARIANT& value);
  VARIANT ReadVariantProperty(DISPID dispId);  // the caller clears it
  int32_t ReadIntProperty(DISPID dispId);
  bool ReadBoolProperty(DISPID dispId);
  std::u16string ReadWideStrProperty(DISPID dispId);
  std::string ReadStrProperty(DISPID dispId);
  void WriteProperty(DISPID dispId, const VARIANT& value);
  void WriteIntProperty(DISPID dispId, int32_t value);
  void WriteBoolProperty(DISPID dispId, bool value);
  void WriteWideStrProperty(DISPID dispId, const std::u16string& value);
  void WriteStrProperty(DISPID dispId, const std::string& value);
  // The control object's own IDispatch, as VT_DISPATCH (the caller clears it).
  VARIANT GetControlObject();

  // Event handler slots, in the order of the control data's DISPIDs.
  void SetEventHandler(int position, TmvControlEvent handler);

  bool Unavailable() const { return FUnavailable; }
  bool Connected() const { return FOleControl != nullptr; }
  IOleObject* OleObject() const { return FOleObject.Get(); }
  IViewObject* ViewObject() const { return FViewObject.Get(); }
  IOleInPlaceObject* InPlaceObject() const { return FInPlaceObject.Get(); }
  IOleInPlaceObjectWindowless* WindowlessObject() const { return FWindowlessObject.Get(); }
  DWORD MiscStatus() const { return FMiscStatus; }
  const TmvControlData& ControlData() const { return *FControlData; }
  // The site's own reference count: it only counts.
  LONG RefCount() const { return FRefCount; }
  // The site as the control sees it (no new reference).
  IOleClientSite* ClientSite() const;
  IDispatch* EventSink() const;
  TmvBitmap* Background() const { return FBackground.get(); }
  TmvBitmap* Scratch() const { return FScratch.get(); }
  TmvBitmap* Composite() const { return FComposite.get(); }
  bool BackgroundPending() const { return FBackgroundPending; }
  bool Resized() const { return FResized; }

  bool Transparent() const { return FTransparent; }
  void SetTransparent(bool value) { FTransparent = value; }
  bool DisableFlashPopup() const { return FDisableFlashPopup; }
  void SetDisableFlashPopup(bool value) { FDisableFlashPopup = value; }
  bool DisableFlashCursor() const { return FDisableFlashCursor; }
  void SetDisableFlashCursor(bool value) { FDisableFlashCursor = value; }

  TNotifyEvent OnPaint;
};

// Publishes TmvOleControl's properties to the form reader and writer.
void RegisterOleControlClass();

// VCL-style conversions used by the site's ambient properties and property
// notifications.
void FontToVariant(TFont& font, VARIANT& value);
void VariantToFont(const VARIANT& value, TFont& font);
void StrToVariant(const std::string& text, VARIANT& value);
