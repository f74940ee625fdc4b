#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/mv_winapi.h"

namespace {

// A pretend system: the version it reports, which libraries load, and a
// journal of what the unit loaded and gave back.
struct TFakeSystem {
  static inline DWORD Platform = VER_PLATFORM_WIN32_NT, Major = 6;
  static inline std::vector<std::string> Available;
  static inline bool LayeredFunctions = true;
  static inline BOOL AppThemed = TRUE, ThemeActive = TRUE;
  static inline int ThemeActiveCalls = 0;
  static inline std::vector<std::string> Loaded, Freed;
  static inline std::map<HMODULE, std::string> Handles;

  static void Reset() {
    Platform = VER_PLATFORM_WIN32_NT;
    Major = 6;
    Available = {"user32.dll", "uxtheme.dll", "msimg32.dll"};
    LayeredFunctions = true;
    AppThemed = ThemeActive = TRUE;
    ThemeActiveCalls = 0;
    Loaded.clear();
    Freed.clear();
    Handles.clear();
  }

  static BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA info) {
    EXPECT_EQ(info->dwOSVersionInfoSize, 148u);
    info->dwPlatformId = Platform;
    info->dwMajorVersion = Major;
    return TRUE;
  }
  static HMODULE WINAPI LoadLibraryA(LPCSTR name) {
    if (std::find(Available.begin(), Available.end(), name) == Available.end()) return nullptr;
    Loaded.push_back(name);
    HMODULE h = reinterpret_cast<HMODULE>(uintptr_t(0x10000 * (Handles.size() + 1)));
    Handles[h] = name;
    return h;
  }
  static HMODULE WINAPI GetModuleHandleA(LPCSTR) {
    return reinterpret_cast<HMODULE>(uintptr_t(0x7770000));  // the user32 already loaded
  }
  static BOOL WINAPI IsAppThemedFake() { return AppThemed; }
  static BOOL WINAPI IsThemeActiveFake() {
    ++ThemeActiveCalls;
    return ThemeActive;
  }
  static FARPROC WINAPI GetProcAddress(HMODULE, LPCSTR name) {
    const std::string n = name;
    if (n == "IsAppThemed") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(IsAppThemedFake));
    if (n == "IsThemeActive") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(IsThemeActiveFake));
    if (!LayeredFunctions && n.find("Layered") != std::string::npos) return nullptr;
    return reinterpret_cast<FARPROC>(uintptr_t(0xABC0));  // never called by the tests
  }
  static BOOL WINAPI FreeLibrary(HMODULE h) {
    EXPECT_TRUE(Handles.count(h)) << "freed a handle that LoadLibraryA did not give";
    Freed.push_back(Handles.count(h) ? Handles[h] : "?");
    return TRUE;
  }
};

// Runs the unit against the fake system, then restarts it on the real one.
class WinApiUnit : public testing::Test {
protected:
  void SetUp() override {
    FinalizeWinApi();
    TFakeSystem::Reset();
    WinApiSystem = TWinApiSystem{TFakeSystem::GetVersionExA, TFakeSystem::LoadLibraryA,
                                 TFakeSystem::GetModuleHandleA, TFakeSystem::GetProcAddress,
                                 TFakeSystem::FreeLibrary};
  }
  void TearDown() override {
    FinalizeWinApi();
    WinApiSystem = TWinApiSystem{};
    InitializeWinApi();
  }
  static bool LoadedLibrary(const char* name) {
    return std::count(TFakeSystem::Loaded.begin(), TFakeSystem::Loaded.end(), name) > 0;
  }
};

TEST_F(WinApiUnit, Msimg32DependsOnVersionAndFeatures) {
  struct {
    const char* Name;
    DWORD Platform, Major;
    bool Layered, Uxtheme, Expected;
  } cases[] = {
      {"NT 5 and later", VER_PLATFORM_WIN32_NT, 5, true, true, true},
      {"NT 4", VER_PLATFORM_WIN32_NT, 4, true, true, false},
      {"major 4 whatever the features", VER_PLATFORM_WIN32_WINDOWS, 4, true, true, false},
      {"not NT, no layered windows, no themes", VER_PLATFORM_WIN32_WINDOWS, 5, false, false, false},
      {"not NT with layered windows", VER_PLATFORM_WIN32_WINDOWS, 5, true, false, true},
      {"not NT with the theme library", VER_PLATFORM_WIN32_WINDOWS, 5, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TFakeSystem::Reset();
    TFakeSystem::Platform = c.Platform;
    TFakeSystem::Major = c.Major;
    TFakeSystem::LayeredFunctions = c.Layered;
    if (!c.Uxtheme) TFakeSystem::Available = {"user32.dll", "msimg32.dll"};
    InitializeWinApi();
    EXPECT_EQ(IsWinNT, c.Platform == VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(IsMajorVersion4, c.Major == 4);
    EXPECT_EQ(LayeredWindowsAvailable, c.Layered);
    EXPECT_EQ(LoadedLibrary("msimg32.dll"), c.Expected);
    EXPECT_EQ(TransparentBltAvailable, c.Expected);
    FinalizeWinApi();
  }
}

TEST_F(WinApiUnit, MissingMsimg32LeavesTransparentBltUnbound) {
  TFakeSystem::Available = {"user32.dll", "uxtheme.dll"};
  InitializeWinApi();
  EXPECT_FALSE(TransparentBltAvailable);
  EXPECT_EQ(TransparentBltProc, nullptr);
}

TEST_F(WinApiUnit, ThemeLibraryIsReferenceCounted) {
  InitializeWinApi();
  ASSERT_EQ(ThemeLibraryRefCount, 1);  // the unit's own reference
  EXPECT_TRUE(ThemeLibraryLoaded);
  EXPECT_TRUE(ThemesActive);
  EXPECT_TRUE(LoadThemeLibrary());
  EXPECT_EQ(ThemeLibraryRefCount, 2);
  ReleaseThemeLibrary();
  EXPECT_NE(ThemeLibrary, nullptr);
  ReleaseThemeLibrary();
  EXPECT_EQ(ThemeLibraryRefCount, 0);
  EXPECT_EQ(ThemeLibrary, nullptr);
  EXPECT_TRUE(std::all_of(std::begin(ThemeFunctions), std::end(ThemeFunctions),
                          [](FARPROC f) { return f == nullptr; }));
  EXPECT_TRUE(ThemeLibraryLoaded);  // it was loaded once, and that stays true
  ReleaseThemeLibrary();            // at zero: nothing changes
  EXPECT_EQ(ThemeLibraryRefCount, 0);
  EXPECT_EQ(std::count(TFakeSystem::Freed.begin(), TFakeSystem::Freed.end(), "uxtheme.dll"), 1);
  EXPECT_TRUE(LoadThemeLibrary());  // loads and binds again
  EXPECT_EQ(std::count(TFakeSystem::Loaded.begin(), TFakeSystem::Loaded.end(), "uxtheme.dll"), 2);
}

TEST_F(WinApiUnit, ThemesActiveAsksIsThemeActiveOnlyWhenAppThemed) {
  TFakeSystem::AppThemed = FALSE;
  InitializeWinApi();
  EXPECT_FALSE(ThemesActive);
  EXPECT_EQ(TFakeSystem::ThemeActiveCalls, 0);
}

TEST_F(WinApiUnit, FinishGivesBackEveryLoadedLibraryAndNoOther) {
  InitializeWinApi();
  LoadThemeLibrary();  // a reference nobody gives back
  FinalizeWinApi();
  std::vector<std::string> loaded = TFakeSystem::Loaded, freed = TFakeSystem::Freed;
  std::sort(loaded.begin(), loaded.end());
  std::sort(freed.begin(), freed.end());
  EXPECT_EQ(freed, loaded);
  EXPECT_EQ(ThemeLibraryRefCount, 0);
  EXPECT_EQ(MonitorFromWindowProc, nullptr);
  EXPECT_EQ(GetScrollBarInfoProc, nullptr);
  InitializeWinApi();  // for TearDown's finish
}

TEST(WinApiOnThisSystem, BindsTransparentBlt) {
  EXPECT_TRUE(IsWinNT);
  EXPECT_FALSE(IsMajorVersion4);
  EXPECT_TRUE(TransparentBltAvailable);
  EXPECT_NE(TransparentBltProc, nullptr);
  EXPECT_NE(MonitorFromWindowProc, nullptr);
}

}  // namespace
