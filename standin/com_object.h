// Shared plumbing of the stand-in's COM objects: the module's object and lock
// counts, the one QueryInterface table, and the boundary that keeps C++
// exceptions out of COM methods.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <initializer_list>
#include <new>

namespace standin {

// Counts of live objects and server locks; DllCanUnloadNow reads them.
void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
long LiveObjects();
long ServerLocks();
HMODULE ModuleHandle();

struct TInterfaceEntry {
  const IID& Iid;
  IUnknown* Pointer;
};

// Clears out first; on a match hands out the entry's pointer with a new
// reference.
inline HRESULT QueryTable(REFIID iid, void** out, std::initializer_list<TInterfaceEntry> table) {
  if (!out) return E_POINTER;
  *out = nullptr;
  for (const TInterfaceEntry& entry : table) {
    if (IsEqualIID(iid, entry.Iid)) {
      entry.Pointer->AddRef();
      *out = entry.Pointer;
      return S_OK;
    }
  }
  return E_NOINTERFACE;
}

template <class F> HRESULT Boundary(F&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// The reference count and the module's object count of one COM object.
class TRefCounted {
  LONG FRefCount = 1;
public:
  TRefCounted() { ObjectCreated(); }
  TRefCounted(const TRefCounted&) = delete;
  TRefCounted& operator=(const TRefCounted&) = delete;
  virtual ~TRefCounted() { ObjectDestroyed(); }
  ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&FRefCount)); }
  ULONG ReleaseImpl() {
    const LONG count = InterlockedDecrement(&FRefCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
  }
};

}  // namespace standin
