// The DLL's entry points: class object, unload test and registration. The
// registration goes to HKEY_CURRENT_USER\Software\Classes so that no
// administrator rights are needed; Windows' COM consults it before the
// machine's classes. Wine's COM (8.0) reads only the machine's classes
// (HKCU is not merged into HKEY_CLASSES_ROOT there), so under Wine, where
// every user may write them, the same keys go to HKEY_LOCAL_MACHINE as well.
#include <windows.h>
#include <olectl.h>

#include <string>

#include "standin/class_factory.h"
#include "standin/standin_interfaces.h"

namespace {
HMODULE GModule = nullptr;

const std::wstring KClassKey = std::wstring(L"Software\\Classes\\CLSID\\") + CLSID_FlashStandinText;

bool RunningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

LSTATUS SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}
}  // namespace

HMODULE standin::ModuleHandle() { return GModule; }

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    GModule = instance;
    DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualCLSID(clsid, CLSID_FlashStandin)) return CLASS_E_CLASSNOTAVAILABLE;
  return standin::Boundary([&] {
    auto* factory = new standin::TClassFactory;
    const HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
  });
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() {
  return standin::LiveObjects() == 0 && standin::ServerLocks() == 0 ? S_OK : S_FALSE;
}

namespace {
LSTATUS RegisterUnder(HKEY root, const wchar_t* path) {
  HKEY classKey = nullptr, serverKey = nullptr;
  LSTATUS status = RegCreateKeyExW(root, KClassKey.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                   &classKey, nullptr);
  if (status == ERROR_SUCCESS) {
    status = SetText(classKey, nullptr, L"Shockwave Flash Object (Kribbel stand-in)");
    if (status == ERROR_SUCCESS)
      status = RegCreateKeyExW(classKey, L"InprocServer32", 0, nullptr, 0, KEY_WRITE, nullptr,
                               &serverKey, nullptr);
    if (status == ERROR_SUCCESS) {
      status = SetText(serverKey, nullptr, path);
      if (status == ERROR_SUCCESS) status = SetText(serverKey, L"ThreadingModel", L"Apartment");
      RegCloseKey(serverKey);
    }
    RegCloseKey(classKey);
  }
  return status;
}

LSTATUS UnregisterUnder(HKEY root) {
  const LSTATUS status = RegDeleteTreeW(root, KClassKey.c_str());
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}
}  // namespace

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(GModule, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return SELFREG_E_CLASS;
  LSTATUS status = RegisterUnder(HKEY_CURRENT_USER, path);
  if (status == ERROR_SUCCESS && RunningOnWine()) status = RegisterUnder(HKEY_LOCAL_MACHINE, path);
  return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() {
  LSTATUS status = UnregisterUnder(HKEY_CURRENT_USER);
  if (RunningOnWine() && UnregisterUnder(HKEY_LOCAL_MACHINE) != ERROR_SUCCESS) status = ERROR_ACCESS_DENIED;
  return status == ERROR_SUCCESS ? S_OK : SELFREG_E_CLASS;
}
