// Shared by the stand-in control's tests: the registered DLL, creation of
// the control through COM, the journal, and small fakes of the container.
#pragma once

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <urlmon.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "standin/standin_interfaces.h"

namespace standin_test {

using Microsoft::WRL::ComPtr;

// Takes over the creation reference (MinGW's ComPtr::Attach adds one).
template <class T> ComPtr<T> Adopt(T* created) {
  ComPtr<T> owner;
  *owner.GetAddressOf() = created;
  return owner;
}

// The loaded DLL (registered for the whole test program).
HMODULE StandinModule();

// A new control through CoCreateInstance.
ComPtr<IOleObject> CreateControl();
ComPtr<IStandinTest> TestInterface(IUnknown* control);
std::vector<std::wstring> Journal(IUnknown* control);
// The journal lines that start with one of prefixes, in order.
std::vector<std::wstring> JournalOf(IUnknown* control, std::initializer_list<const wchar_t*> prefixes);
long LiveObjects();

DISPID IdOfName(IDispatch* dispatch, const wchar_t* name);
HRESULT PutProperty(IDispatch* dispatch, DISPID id, const VARIANT& value);
HRESULT GetProperty(IDispatch* dispatch, DISPID id, VARIANT& value);
HRESULT CallMethod(IDispatch* dispatch, const wchar_t* name, std::vector<VARIANT> args,
                   VARIANT* result);

VARIANT IntVariant(long value);
VARIANT BoolVariant(bool value);
VARIANT TextVariant(const wchar_t* text);  // the caller clears it

// A minimal SWF file header: signature, version, length, frame rectangle
// (width x height pixels), rate and frame count, padded to size bytes.
std::vector<uint8_t> MovieBytes(int width, int height, int frames, size_t size);
uint32_t Crc32(const std::vector<uint8_t>& bytes);
std::wstring HexText(uint32_t value);

// Reference counting for the fakes; they are heap objects owned by ComPtrs.
class TFakeBase {
protected:
  LONG FRefs = 1;
public:
  virtual ~TFakeBase() = default;
  ULONG Add() { return static_cast<ULONG>(InterlockedIncrement(&FRefs)); }
  ULONG Drop() {
    const LONG count = InterlockedDecrement(&FRefs);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }
};

// Receives the control's events and property notifications.
class TEventSink final : public TFakeBase, public IDispatch, public IPropertyNotifySink {
public:
  std::vector<std::wstring> Calls;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override { *count = 0; return S_OK; }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                   VARIANT*, EXCEPINFO*, UINT*) override;
  HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispid) override;
  HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID) override { return S_OK; }
};

// The bytes a fake moniker delivers, and how.
struct TDelivery {
  std::vector<uint8_t> Bytes;
  DWORD Tymed = TYMED_ISTREAM;  // 0: a nil STGMEDIUM
  HRESULT StopResult = S_OK;
};

// A container: client site, windowless in-place site, service provider and
// bind host in one object, whose moniker delivers Delivery through the
// control's registered callback as the host's own moniker does.
class TFakeSite final : public TFakeBase,
                        public IOleClientSite,
                        public IOleInPlaceSiteWindowless,
                        public IServiceProvider,
                        public IBindHost {
public:
  std::vector<std::wstring> Calls;
  HRESULT CanWindowlessResult = S_OK;
  HRESULT WindowContextResult = S_OK;
  bool OffersServices = true;
  RECT PosRect{10, 20, 110, 70};
  TDelivery Delivery;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return Add(); }
  ULONG STDMETHODCALLTYPE Release() override { return Drop(); }
  // IOleClientSite
  HRESULT STDMETHODCALLTYPE SaveObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker** moniker) override {
    *moniker = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetContainer(IOleContainer** container) override {
    *container = nullptr;
    return E_NOINTERFACE;
  }
  HRESULT STDMETHODCALLTYPE ShowObject() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnShowWindow(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE RequestNewObjectLayout() override { return E_NOTIMPL; }
  // IOleWindow
  HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
    *window = nullptr;
    return E_FAIL;
  }
  HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return S_OK; }
  // IOleInPlaceSite
  HRESULT STDMETHODCALLTYPE CanInPlaceActivate() override { return Record(L"CanInPlaceActivate", S_OK); }
  HRESULT STDMETHODCALLTYPE OnInPlaceActivate() override { return Record(L"OnInPlaceActivate", S_OK); }
  HRESULT STDMETHODCALLTYPE OnUIActivate() override { return Record(L"OnUIActivate", S_OK); }
  HRESULT STDMETHODCALLTYPE GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** doc,
                                             LPRECT pos, LPRECT clip,
                                             LPOLEINPLACEFRAMEINFO info) override;
  HRESULT STDMETHODCALLTYPE Scroll(SIZE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnUIDeactivate(BOOL) override { return Record(L"OnUIDeactivate", S_OK); }
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivate() override { return Record(L"OnInPlaceDeactivate", S_OK); }
  HRESULT STDMETHODCALLTYPE DiscardUndoState() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DeactivateAndUndo() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnPosRectChange(LPCRECT) override { return S_OK; }
  // IOleInPlaceSiteEx
  HRESULT STDMETHODCALLTYPE OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) override;
  HRESULT STDMETHODCALLTYPE OnInPlaceDeactivateEx(BOOL) override { return Record(L"OnInPlaceDeactivateEx", S_OK); }
  HRESULT STDMETHODCALLTYPE RequestUIActivate() override { return S_OK; }
  // IOleInPlaceSiteWindowless
  HRESULT STDMETHODCALLTYPE CanWindowlessActivate() override {
    return Record(L"CanWindowlessActivate", CanWindowlessResult);
  }
  HRESULT STDMETHODCALLTYPE GetCapture() override { return S_FALSE; }
  HRESULT STDMETHODCALLTYPE SetCapture(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetFocus() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE SetFocus(BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetDC(LPCRECT, DWORD, HDC* dc) override {
    *dc = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE ReleaseDC(HDC) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE InvalidateRect(LPCRECT rect, BOOL erase) override;
  HRESULT STDMETHODCALLTYPE InvalidateRgn(HRGN, BOOL) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ScrollRect(INT, INT, LPCRECT, LPCRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE AdjustRect(LPRECT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDefWindowMessage(UINT, WPARAM, LPARAM, LRESULT* result) override {
    *result = 0;
    return S_OK;
  }
  // IServiceProvider
  HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** out) override;
  // IBindHost
  HRESULT STDMETHODCALLTYPE CreateMoniker(LPOLESTR name, IBindCtx* context, IMoniker** moniker,
                                          DWORD reserved) override;
  HRESULT STDMETHODCALLTYPE MonikerBindToStorage(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID,
                                                 void** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE MonikerBindToObject(IMoniker*, IBindCtx*, IBindStatusCallback*, REFIID,
                                                void** out) override {
    *out = nullptr;
    return E_NOTIMPL;
  }

private:
  HRESULT Record(const wchar_t* call, HRESULT result) {
    Calls.push_back(call);
    return result;
  }
};

// Registers the DLL for the test program, serialised with other test
// programs through a named mutex (ctest runs them in parallel and they share
// the registration).
class TStandinEnvironment : public testing::Environment {
public:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace standin_test

namespace standin_test {

// Every test ends with all of the DLL's objects released.
class StandinTest : public testing::Test {
protected:
  void TearDown() override { EXPECT_EQ(LiveObjects(), 0) << "objects still alive"; }
};

}  // namespace standin_test
