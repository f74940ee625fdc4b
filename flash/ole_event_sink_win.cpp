#include "flash/ole_event_sink_win.h"

#include "flash/ole_control_win.h"
#include "framework/win_control_win.h"

HRESULT TEventDispatch::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == FHost.ControlData().EventIID) {
    *out = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG TEventDispatch::AddRef() { return ULONG(++FHost.FRefCount); }
ULONG TEventDispatch::Release() { return ULONG(--FHost.FRefCount); }

HRESULT TEventDispatch::GetTypeInfoCount(UINT* count) {
  if (count) *count = 0;
  return S_OK;
}

HRESULT TEventDispatch::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

HRESULT TEventDispatch::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
  return E_NOTIMPL;
}

HRESULT TEventDispatch::Invoke(DISPID dispId, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                               EXCEPINFO*, UINT*) {
  // A control that sends no parameter block sends no arguments.
  DISPPARAMS none{};
  const DISPPARAMS& args = params ? *params : none;
  try {
    if (dispId >= -607 && dispId <= -600)
      FHost.DispatchStandardEvent(dispId, args);
    else
      FHost.DispatchControlEvent(dispId, args);
  }
  MV_CATCH_AT_BOUNDARY
  return S_OK;
}
