// The stand-in movie control: one COM object answering the control contract
// that the host relies on, windowless only, plus our test interface.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "standin/com_object.h"
#include "standin/connection_point.h"
#include "standin/flash_properties.h"
#include "standin/journal.h"
#include "standin/movie_header.h"
#include "standin/standin_interfaces.h"

namespace standin {

using Microsoft::WRL::ComPtr;

struct TMovieLayer {
  std::wstring Url;
  bool Loaded = false;
  uint32_t Size = 0;
  uint32_t Crc = 0;
  TMovieHeader Header;
};

class TFlashControl final : public TRefCounted,
                            public IOleObject,
                            public IPersistStreamInit,
                            public IOleControl,
                            public IFlashScripting,
                            public IConnectionPointContainer,
                            public IOleInPlaceObjectWindowless,
                            public IOleInPlaceActiveObject,
                            public IViewObject2,
                            public IStandinTest {
public:
  TFlashControl();
  ~TFlashControl() override;

  // Used by the connection points and the bind callback.
  void Log(std::wstring line) { FJournal.Add(std::move(line)); }
  bool Injected(const wchar_t* method, HRESULT& result) const;
  void BindProgress(ULONG progress, ULONG progressMax);
  void BindData(const std::vector<uint8_t>& received);
  void BindFinished(int layer, const std::wstring& url, HRESULT result,
                    const std::vector<uint8_t>& bytes);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }

  // IOleObject
  HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override;
  HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override;
  HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR app, LPCOLESTR object) override;
  HRESULT STDMETHODCALLTYPE Close(DWORD saveOption) override;
  HRESULT STDMETHODCALLTYPE SetMoniker(DWORD which, IMoniker* moniker) override;
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  HRESULT STDMETHODCALLTYPE InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD reserved, IDataObject** data) override;
  HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG msg, IOleClientSite* activeSite, LONG index,
                                   HWND parent, LPCRECT posRect) override;
  HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB** verbs) override;
  HRESULT STDMETHODCALLTYPE Update() override;
  HRESULT STDMETHODCALLTYPE IsUpToDate() override;
  HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE GetUserType(DWORD form, LPOLESTR* type) override;
  HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override;
  HRESULT STDMETHODCALLTYPE Advise(IAdviseSink* sink, DWORD* connection) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD connection) override;
  HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA** advise) override;
  HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD aspect, DWORD* status) override;
  HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE* palette) override;

  // IPersistStreamInit
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPSTREAM stream) override;
  HRESULT STDMETHODCALLTYPE Save(LPSTREAM stream, BOOL clearDirty) override;
  HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) override;
  HRESULT STDMETHODCALLTYPE InitNew() override;

  // IOleControl
  HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override;
  HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* msg) override;
  HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispid) override;
  HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL freeze) override;

  // IDispatch
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                   UINT* argError) override;

  // IFlashScripting
  HRESULT STDMETHODCALLTYPE Play() override;
  HRESULT STDMETHODCALLTYPE Stop() override;
  HRESULT STDMETHODCALLTYPE FlashVersion(long* version) override;
  HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) override;
  HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) override;
  HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* value) override;
  HRESULT STDMETHODCALLTYPE CallFunction(BSTR request, BSTR* reply) override;

  // IConnectionPointContainer
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** points) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IOleWindow (of the in-place object and the active object)
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override;
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter) override;

  // IOleInPlaceObject, IOleInPlaceObjectWindowless
  HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override;
  HRESULT STDMETHODCALLTYPE UIDeactivate() override;
  HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
  HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override;
  HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam,
                                            LRESULT* result) override;
  HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** target) override;

  // IOleInPlaceActiveObject
  HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override;
  HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
  HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window,
                                         BOOL frameWindow) override;
  HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;

  // IViewObject2
  HRESULT STDMETHODCALLTYPE Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* target,
                                 HDC targetDC, HDC drawDC, LPCRECTL bounds, LPCRECTL windowBounds,
                                 WINBOOL(STDMETHODCALLTYPE* keepGoing)(ULONG_PTR),
                                 ULONG_PTR keepGoingArg) override;
  HRESULT STDMETHODCALLTYPE GetColorSet(DWORD aspect, LONG index, void* aspectInfo,
                                        DVTARGETDEVICE* target, HDC targetDC,
                                        LOGPALETTE** colors) override;
  HRESULT STDMETHODCALLTYPE Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  HRESULT STDMETHODCALLTYPE Unfreeze(DWORD freeze) override;
  HRESULT STDMETHODCALLTYPE SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  HRESULT STDMETHODCALLTYPE GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* target,
                                      LPSIZEL size) override;

  // IStandinTest
  HRESULT STDMETHODCALLTYPE SetFlashVersion(long version) override;
  HRESULT STDMETHODCALLTYPE SetMiscStatus(DWORD status) override;
  HRESULT STDMETHODCALLTYPE SetExtent(long cx, long cy) override;
  HRESULT STDMETHODCALLTYPE SetFailure(LPCWSTR method, HRESULT result) override;
  HRESULT STDMETHODCALLTYPE SetCallReply(LPCWSTR reply) override;
  HRESULT STDMETHODCALLTYPE FireEvent(DISPID dispid, ULONG count, const VARIANT* args) override;
  HRESULT STDMETHODCALLTYPE RequestRepaint(const RECT* rect) override;
  HRESULT STDMETHODCALLTYPE GetJournalCount(ULONG* count) override;
  HRESULT STDMETHODCALLTYPE GetJournalLine(ULONG index, BSTR* line) override;
  HRESULT STDMETHODCALLTYPE ClearJournal() override;
  HRESULT STDMETHODCALLTYPE GetReceivedBytes(ULONG capacity, BYTE* buffer, ULONG* size) override;
  HRESULT STDMETHODCALLTYPE GetLiveObjects(long* objects, long* locks) override;

private:
  HRESULT ActivateInPlace(IOleClientSite* site, LPCRECT posRect);
  HRESULT InvokeProperty(const TPropertyInfo& info, WORD flags, DISPPARAMS& params, VARIANT* result,
                         UINT* argError);
  HRESULT InvokeMethod(DISPID dispid, DISPPARAMS& params, VARIANT* result, UINT* argError);
  void PropertyChanged(DISPID dispid);
  void SetReadyState(long state);
  void StartLoad(int layer, const std::wstring& url);
  HRESULT Fetch(int layer, const std::wstring& url);
  void Fire(DISPID dispid, std::span<const VARIANT> args);
  HRESULT Repaint(const RECT* rect);
  void Paint(HDC dc, const RECT& bounds);

  unsigned FInstance;
  TJournal FJournal;
  TPropertyBag FProperties;
  SIZEL FExtent{14552, 10583};  // 550 x 400 pixels at 96 pixels per inch
  DWORD FMiscStatus;
  long FFlashVersion = 10 << 16;
  std::map<std::wstring, HRESULT> FFailures;
  std::wstring FCallReply = L"<undefined/>";
  std::map<std::wstring, std::wstring> FVariables;
  std::map<int, TMovieLayer> FLayers;
  std::vector<uint8_t> FReceived;
  bool FInitialised = false;
  bool FDirty = false;
  long FFreezeCount = 0;

  ComPtr<IOleClientSite> FClientSite;
  ComPtr<IOleInPlaceSiteWindowless> FInPlaceSite;  // set while in-place active
  ComPtr<IOleInPlaceFrame> FFrame;
  ComPtr<IOleInPlaceUIWindow> FDocument;
  bool FUIActive = false;
  RECT FPosRect{};
  RECT FClipRect{};
  ComPtr<IAdviseSink> FViewSink;
  DWORD FViewAspects = 0, FViewFlags = 0;

  // Part of this object: their reference counts are the control's.
  TConnectionPoint FPropertyNotifyPoint;
  TConnectionPoint FEventsPoint;
};

}  // namespace standin
