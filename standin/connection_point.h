// One connection point of the control. It lives inside the control and
// shares its reference count, so a point handed out keeps the control alive.
#pragma once

#include <windows.h>
#include <ocidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace standin {

class TConnectionPoint final : public IConnectionPoint {
public:
  using TLog = std::function<void(std::wstring)>;
  TConnectionPoint(IConnectionPointContainer& owner, const IID& iid, const wchar_t* name, TLog log)
      : FOwner(owner), FIid(iid), FName(name), FLog(std::move(log)) {}
  ~TConnectionPoint();

  // The sinks as queried for the point's interface, each with a reference of
  // its own, so that a sink may Unadvise while it is being called.
  std::vector<IUnknown*> TakeSinks() const;
  static void DropSinks(std::vector<IUnknown*>& sinks);

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return FOwner.AddRef(); }
  ULONG STDMETHODCALLTYPE Release() override { return FOwner.Release(); }
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** owner) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** connections) override;

private:
  IConnectionPointContainer& FOwner;
  IID FIid;
  const wchar_t* FName;
  TLog FLog;
  DWORD FNextCookie = 1;
  std::vector<std::pair<DWORD, IUnknown*>> FSinks;
};

}  // namespace standin
