#pragma once
// The system's download function for pass-through binds, bound when the
// mv_flash unit starts. Nil when urlmon.dll or its export is missing.
//
// Wine's urlmon exports URLOpenPullStreamA as a stub that aborts the process
// when called; under Wine the pointer is bound to WineUrlOpenPullStream, which
// reaches the same callbacks through the moniker API that Wine implements.
#include <windows.h>
#include <urlmon.h>

using TUrlOpenPullStream = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, DWORD, LPBINDSTATUSCALLBACK);
using TCreateUrlMonikerEx = HRESULT(WINAPI*)(IMoniker*, LPCWSTR, IMoniker**, DWORD);
using TCreateAsyncBindCtx = HRESULT(WINAPI*)(DWORD, IBindStatusCallback*, IEnumFORMATETC*,
                                             IBindCtx**);

extern TUrlOpenPullStream UrlOpenPullStreamProc;
extern HMODULE UrlMonLibrary;

// The system calls the binding makes, replaceable so that tests can play a
// missing library, a missing export, or Windows instead of Wine. The real
// ones by default.
struct TDownloadSystem {
  HMODULE(WINAPI* LoadLibraryA)(LPCSTR) = ::LoadLibraryA;
  HMODULE(WINAPI* GetModuleHandleA)(LPCSTR) = ::GetModuleHandleA;
  FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR) = ::GetProcAddress;
  BOOL(WINAPI* FreeLibrary)(HMODULE) = ::FreeLibrary;
};
extern TDownloadSystem DownloadSystem;

// True when ntdll exports wine_get_version.
bool RunningUnderWine();

// URLOpenPullStreamA's contract on the moniker API: binds szURL to an
// IStream with lpfnCB registered in an asynchronous bind context, so the
// callback receives OnStartBinding, OnProgress, OnDataAvailable and
// OnStopBinding. S_OK when the download completed or is under way; the
// failure otherwise. pCaller and dwReserved are unused, as they are for the
// system's function. Needs InitializeDownloadBinding's moniker functions.
HRESULT WINAPI WineUrlOpenPullStream(LPUNKNOWN pCaller, LPCSTR szURL, DWORD dwReserved,
                                     LPBINDSTATUSCALLBACK lpfnCB);

void InitializeDownloadBinding();
void FinalizeDownloadBinding();
