#pragma once
// The host's receiver of the control's events: an IDispatch that the control
// calls on its events connection point. It is no site interface, so it has
// an object of its own; its reference count is the host's and only counts.
#include <windows.h>
#include <oaidl.h>

class TmvOleControl;

class TEventDispatch final : public IDispatch {
  TmvOleControl& FHost;

public:
  explicit TEventDispatch(TmvOleControl& host) : FHost(host) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                                          DISPID* ids) override;
  // Routes the event to the host and answers S_OK whatever happens.
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispId, REFIID iid, LCID lcid, WORD flags,
                                   DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                   UINT* argErr) override;
};
