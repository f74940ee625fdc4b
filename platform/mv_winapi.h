#pragma once
// System functions that not every Windows version offers, bound by name when
// the unit starts. A missing library or function leaves a nil pointer and a
// false flag; nothing is reported.
//
// Carried: the version flags, the layered-window, theme, multi-monitor,
// scroll-bar and TransparentBlt bindings. Only TransparentBlt is called by the
// rest of the program; the layered-window and theme flags take part in the
// decision to load msimg32.dll.
#include <windows.h>

#include <cstddef>

extern bool IsWinNT;
extern bool IsMajorVersion4;

using TSetLayeredWindowAttributes = BOOL(WINAPI*)(HWND, COLORREF, BYTE, DWORD);
using TUpdateLayeredWindow = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                           BLENDFUNCTION*, DWORD);
using TMonitorFromRect = HMONITOR(WINAPI*)(LPCRECT, DWORD);
using TMonitorFromPoint = HMONITOR(WINAPI*)(POINT, DWORD);
using TMonitorFromWindow = HMONITOR(WINAPI*)(HWND, DWORD);
using TGetMonitorInfoA = BOOL(WINAPI*)(HMONITOR, LPMONITORINFO);
using TGetScrollBarInfo = BOOL(WINAPI*)(HWND, LONG, PSCROLLBARINFO);
using TTransparentBlt = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, UINT);

extern TSetLayeredWindowAttributes SetLayeredWindowAttributesProc;
extern TUpdateLayeredWindow UpdateLayeredWindowProc;
extern bool LayeredWindowsAvailable;
extern TMonitorFromRect MonitorFromRectProc;
extern TMonitorFromPoint MonitorFromPointProc;
extern TMonitorFromWindow MonitorFromWindowProc;
extern TGetMonitorInfoA GetMonitorInfoAProc;
extern TGetScrollBarInfo GetScrollBarInfoProc;
extern TTransparentBlt TransparentBltProc;
extern bool TransparentBltAvailable;

// The theme library: reference-counted under ThemeLibraryLock.
enum TThemeFunction : int {
  tfOpenThemeData, tfCloseThemeData, tfDrawThemeBackground, tfDrawThemeText,
  tfGetThemeBackgroundContentRect, tfGetThemePartSize, tfGetThemeTextExtent,
  tfGetThemeTextMetrics, tfGetThemeBackgroundRegion, tfHitTestThemeBackground, tfDrawThemeEdge,
  tfDrawThemeIcon, tfIsThemePartDefined, tfIsThemeBackgroundPartiallyTransparent,
  tfGetThemeColor, tfGetThemeMetric, tfGetThemeString, tfGetThemeBool, tfGetThemeInt,
  tfGetThemeEnumValue, tfGetThemePosition, tfGetThemeFont, tfGetThemeRect, tfGetThemeMargins,
  tfGetThemeIntList, tfGetThemePropertyOrigin, tfSetWindowTheme, tfGetThemeFilename,
  tfGetThemeSysColor, tfGetThemeSysColorBrush, tfGetThemeSysBool, tfGetThemeSysSize,
  tfGetThemeSysFont, tfGetThemeSysString, tfGetThemeSysInt, tfIsThemeActive, tfIsAppThemed,
  tfGetWindowTheme, tfEnableThemeDialogTexture, tfIsThemeDialogTextureEnabled,
  tfGetThemeAppProperties, tfSetThemeAppProperties, tfGetCurrentThemeName,
  tfGetThemeDocumentationProperty, tfDrawThemeParentBackground, tfEnableTheming,
  ThemeFunctionCount
};
extern const char* const ThemeFunctionNames[ThemeFunctionCount];
extern FARPROC ThemeFunctions[ThemeFunctionCount];
extern HMODULE ThemeLibrary;
extern int ThemeLibraryRefCount;
extern bool ThemeLibraryLoaded;
extern bool ThemesActive;

// A bound function as its real type (FARPROC's own type says nothing).
template <class T>
T ProcCast(FARPROC proc) {
  return reinterpret_cast<T>(reinterpret_cast<void*>(proc));
}

bool LoadThemeLibrary();
void ReleaseThemeLibrary();
void DetectWindowsVersion();

// The system calls the unit makes, replaceable so that tests can play another
// Windows version or a missing library. The real ones by default.
struct TWinApiSystem {
  BOOL(WINAPI* GetVersionExA)(LPOSVERSIONINFOA) = ::GetVersionExA;
  HMODULE(WINAPI* LoadLibraryA)(LPCSTR) = ::LoadLibraryA;
  HMODULE(WINAPI* GetModuleHandleA)(LPCSTR) = ::GetModuleHandleA;
  FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR) = ::GetProcAddress;
  BOOL(WINAPI* FreeLibrary)(HMODULE) = ::FreeLibrary;
};
extern TWinApiSystem WinApiSystem;

void InitializeWinApi();
void FinalizeWinApi();
