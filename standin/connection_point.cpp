#include "standin/connection_point.h"

#include <olectl.h>

#include "standin/com_object.h"
#include "standin/journal.h"

namespace standin {

TConnectionPoint::~TConnectionPoint() {
  for (auto& sink : FSinks) sink.second->Release();
}

std::vector<IUnknown*> TConnectionPoint::TakeSinks() const {
  std::vector<IUnknown*> sinks;
  sinks.reserve(FSinks.size());
  for (const auto& sink : FSinks) {
    sink.second->AddRef();
    sinks.push_back(sink.second);
  }
  return sinks;
}

void TConnectionPoint::DropSinks(std::vector<IUnknown*>& sinks) {
  for (IUnknown* sink : sinks) sink->Release();
  sinks.clear();
}

HRESULT TConnectionPoint::QueryInterface(REFIID iid, void** out) {
  return QueryTable(iid, out, {{IID_IUnknown, this}, {IID_IConnectionPoint, this}});
}

HRESULT TConnectionPoint::GetConnectionInterface(IID* iid) {
  if (!iid) return E_POINTER;
  *iid = FIid;
  return S_OK;
}

HRESULT TConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** owner) {
  if (!owner) return E_POINTER;
  FOwner.AddRef();
  *owner = &FOwner;
  return S_OK;
}

HRESULT TConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (cookie) *cookie = 0;
  return Boundary([&]() -> HRESULT {
    if (!sink || !cookie) {
      FLog(std::wstring(L"Advise(") + FName + L", null) -> " + Hex(E_POINTER));
      return E_POINTER;
    }
    IUnknown* typed = nullptr;
    if (FAILED(sink->QueryInterface(FIid, reinterpret_cast<void**>(&typed))) || !typed) {
      FLog(std::wstring(L"Advise(") + FName + L") -> " + Hex(CONNECT_E_CANNOTCONNECT));
      return CONNECT_E_CANNOTCONNECT;
    }
    FSinks.reserve(FSinks.size() + 1);
    const DWORD assigned = FNextCookie++;
    FSinks.emplace_back(assigned, typed);
    *cookie = assigned;
    FLog(std::wstring(L"Advise(") + FName + L") -> " + std::to_wstring(assigned));
    return S_OK;
  });
}

HRESULT TConnectionPoint::Unadvise(DWORD cookie) {
  return Boundary([&]() -> HRESULT {
    for (auto it = FSinks.begin(); it != FSinks.end(); ++it) {
      if (it->first == cookie) {
        IUnknown* sink = it->second;
        FSinks.erase(it);
        sink->Release();
        FLog(std::wstring(L"Unadvise(") + FName + L", " + std::to_wstring(cookie) + L")");
        return S_OK;
      }
    }
    FLog(std::wstring(L"Unadvise(") + FName + L", " + std::to_wstring(cookie) + L") -> " +
         Hex(CONNECT_E_NOCONNECTION));
    return CONNECT_E_NOCONNECTION;
  });
}

HRESULT TConnectionPoint::EnumConnections(IEnumConnections** connections) {
  if (connections) *connections = nullptr;
  return E_NOTIMPL;
}

}  // namespace standin
