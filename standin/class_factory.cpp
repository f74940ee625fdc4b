#include "standin/class_factory.h"

#include "standin/flash_control.h"

namespace standin {

HRESULT TClassFactory::QueryInterface(REFIID iid, void** out) {
  return QueryTable(iid, out, {{IID_IUnknown, this}, {IID_IClassFactory, this}});
}

HRESULT TClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  return Boundary([&] {
    auto* control = new TFlashControl;
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();  // the creation reference; the query holds the object
    return hr;
  });
}

HRESULT TClassFactory::LockServer(BOOL lock) {
  standin::LockServer(lock != FALSE);
  return S_OK;
}

}  // namespace standin
