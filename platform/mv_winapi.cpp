#include "platform/mv_winapi.h"

#include <mutex>
#include <utility>

TWinApiSystem WinApiSystem;

bool IsWinNT = false;
bool IsMajorVersion4 = false;

TSetLayeredWindowAttributes SetLayeredWindowAttributesProc = nullptr;
TUpdateLayeredWindow UpdateLayeredWindowProc = nullptr;
bool LayeredWindowsAvailable = false;
TMonitorFromRect MonitorFromRectProc = nullptr;
TMonitorFromPoint MonitorFromPointProc = nullptr;
TMonitorFromWindow MonitorFromWindowProc = nullptr;
TGetMonitorInfoA GetMonitorInfoAProc = nullptr;
TGetScrollBarInfo GetScrollBarInfoProc = nullptr;
TTransparentBlt TransparentBltProc = nullptr;
bool TransparentBltAvailable = false;

const char* const ThemeFunctionNames[ThemeFunctionCount] = {
    "OpenThemeData", "CloseThemeData", "DrawThemeBackground", "DrawThemeText",
    "GetThemeBackgroundContentRect", "GetThemePartSize", "GetThemeTextExtent",
    "GetThemeTextMetrics", "GetThemeBackgroundRegion", "HitTestThemeBackground",
    "DrawThemeEdge", "DrawThemeIcon", "IsThemePartDefined",
    "IsThemeBackgroundPartiallyTransparent", "GetThemeColor", "GetThemeMetric",
    "GetThemeString", "GetThemeBool", "GetThemeInt", "GetThemeEnumValue", "GetThemePosition",
    "GetThemeFont", "GetThemeRect", "GetThemeMargins", "GetThemeIntList",
    "GetThemePropertyOrigin", "SetWindowTheme", "GetThemeFilename", "GetThemeSysColor",
    "GetThemeSysColorBrush", "GetThemeSysBool", "GetThemeSysSize", "GetThemeSysFont",
    "GetThemeSysString", "GetThemeSysInt", "IsThemeActive", "IsAppThemed", "GetWindowTheme",
    "EnableThemeDialogTexture", "IsThemeDialogTextureEnabled", "GetThemeAppProperties",
    "SetThemeAppProperties", "GetCurrentThemeName", "GetThemeDocumentationProperty",
    "DrawThemeParentBackground", "EnableTheming"};
FARPROC ThemeFunctions[ThemeFunctionCount] = {};
HMODULE ThemeLibrary = nullptr;
int ThemeLibraryRefCount = 0;
bool ThemeLibraryLoaded = false;
bool ThemesActive = false;

namespace {

HMODULE User32Library = nullptr;   // loaded for the layered-window functions
HMODULE Msimg32Library = nullptr;
// Guards the theme library's reference count, load and release; it lives
// while the unit is started.
std::mutex* ThemeLibraryLock = nullptr;

template <class T>
T Bind(HMODULE module, const char* name) {
  return module ? ProcCast<T>(WinApiSystem.GetProcAddress(module, name)) : nullptr;
}

}  // namespace

void DetectWindowsVersion() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);  // 148: the ANSI structure
  if (!WinApiSystem.GetVersionExA(&info)) info = OSVERSIONINFOA{};
  IsWinNT = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
  IsMajorVersion4 = info.dwMajorVersion == 4;
}

bool LoadThemeLibrary() {
  std::lock_guard<std::mutex> hold(*ThemeLibraryLock);
  ++ThemeLibraryRefCount;
  if (!ThemeLibrary) {
    ThemeLibrary = WinApiSystem.LoadLibraryA("uxtheme.dll");
    if (ThemeLibrary) {
      for (int i = 0; i < ThemeFunctionCount; ++i)
        ThemeFunctions[i] = WinApiSystem.GetProcAddress(ThemeLibrary, ThemeFunctionNames[i]);
      ThemeLibraryLoaded = true;
    }
  }
  using TBoolQuery = BOOL(WINAPI*)();
  auto isAppThemed = ProcCast<TBoolQuery>(ThemeFunctions[tfIsAppThemed]);
  auto isThemeActive = ProcCast<TBoolQuery>(ThemeFunctions[tfIsThemeActive]);
  ThemesActive = ThemeLibrary && isAppThemed && isAppThemed() && isThemeActive && isThemeActive();
  return ThemeLibrary != nullptr;
}

void ReleaseThemeLibrary() {
  std::lock_guard<std::mutex> hold(*ThemeLibraryLock);
  if (ThemeLibraryRefCount > 0) --ThemeLibraryRefCount;
  if (ThemeLibrary && ThemeLibraryRefCount == 0) {
    WinApiSystem.FreeLibrary(ThemeLibrary);
    ThemeLibrary = nullptr;
    for (FARPROC& f : ThemeFunctions) f = nullptr;
  }
}

void InitializeWinApi() {
  ThemeLibraryLoaded = false;
  ThemesActive = false;
  DetectWindowsVersion();

  User32Library = WinApiSystem.LoadLibraryA("user32.dll");
  SetLayeredWindowAttributesProc =
      Bind<TSetLayeredWindowAttributes>(User32Library, "SetLayeredWindowAttributes");
  UpdateLayeredWindowProc = Bind<TUpdateLayeredWindow>(User32Library, "UpdateLayeredWindow");
  LayeredWindowsAvailable = SetLayeredWindowAttributesProc != nullptr;

  ThemeLibraryLock = new std::mutex;
  LoadThemeLibrary();

  HMODULE user32 = WinApiSystem.GetModuleHandleA("user32.dll");
  MonitorFromRectProc = Bind<TMonitorFromRect>(user32, "MonitorFromRect");
  MonitorFromPointProc = Bind<TMonitorFromPoint>(user32, "MonitorFromPoint");
  MonitorFromWindowProc = Bind<TMonitorFromWindow>(user32, "MonitorFromWindow");
  GetMonitorInfoAProc = Bind<TGetMonitorInfoA>(user32, "GetMonitorInfoA");

  // Windows 95 and NT 4 have no (or a broken) TransparentBlt.
  if (!IsMajorVersion4 && (IsWinNT || LayeredWindowsAvailable || ThemeLibraryLoaded)) {
    Msimg32Library = WinApiSystem.LoadLibraryA("msimg32.dll");
    TransparentBltProc = Bind<TTransparentBlt>(Msimg32Library, "TransparentBlt");
    TransparentBltAvailable = TransparentBltProc != nullptr;
  }

  user32 = WinApiSystem.GetModuleHandleA("user32.dll");
  GetScrollBarInfoProc = Bind<TGetScrollBarInfo>(user32, "GetScrollBarInfo");
}

void FinalizeWinApi() {
  // Pointers found in the already-loaded user32 are only forgotten; only
  // handles from LoadLibraryA are given back.
  MonitorFromRectProc = nullptr;
  MonitorFromPointProc = nullptr;
  MonitorFromWindowProc = nullptr;
  GetMonitorInfoAProc = nullptr;
  GetScrollBarInfoProc = nullptr;

  TransparentBltProc = nullptr;
  TransparentBltAvailable = false;
  if (Msimg32Library) WinApiSystem.FreeLibrary(std::exchange(Msimg32Library, nullptr));

  SetLayeredWindowAttributesProc = nullptr;
  UpdateLayeredWindowProc = nullptr;
  LayeredWindowsAvailable = false;
  if (User32Library) WinApiSystem.FreeLibrary(std::exchange(User32Library, nullptr));

  if (ThemeLibraryLock) {
    while (ThemeLibraryRefCount > 0) ReleaseThemeLibrary();
    delete std::exchange(ThemeLibraryLock, nullptr);
  }
  IsWinNT = false;
  IsMajorVersion4 = false;
}
