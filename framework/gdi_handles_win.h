#pragma once
// Ownership of system handles and of paired calls (select/restore, save/restore,
// begin/end paint), so that every exit path puts things back.
#include <windows.h>

#include <utility>

template <class H, auto Close>
class TOwned {  // closes the handle it holds
  H FHandle{};

public:
  explicit TOwned(H h = {}) : FHandle(h) {}
  TOwned(TOwned&& o) noexcept : FHandle(std::exchange(o.FHandle, H{})) {}
  TOwned& operator=(TOwned&& o) noexcept {
    if (this != &o) Reset(std::exchange(o.FHandle, H{}));
    return *this;
  }
  ~TOwned() { Reset(); }
  H Get() const { return FHandle; }
  H Release() { return std::exchange(FHandle, H{}); }
  void Reset(H h = {}) {
    H old = std::exchange(FHandle, h);
    if (old) Close(old);
  }
  explicit operator bool() const { return FHandle != H{}; }
};

inline void DeleteGdiObject(HGDIOBJ h) { ::DeleteObject(h); }
inline void DeleteMemoryDC(HDC dc) { ::DeleteDC(dc); }
inline void DestroyWindowHandle(HWND h) { ::DestroyWindow(h); }

using TOwnedGdiObject = TOwned<HGDIOBJ, &DeleteGdiObject>;
using TOwnedBitmapHandle = TOwned<HBITMAP, &DeleteGdiObject>;
using TOwnedFont = TOwned<HFONT, &DeleteGdiObject>;
using TOwnedPen = TOwned<HPEN, &DeleteGdiObject>;
using TOwnedBrush = TOwned<HBRUSH, &DeleteGdiObject>;
using TOwnedMemoryDC = TOwned<HDC, &DeleteMemoryDC>;

// An object selected into a device context; the one it displaced goes back
// when the guard ends. Reselect swaps in another object but still restores
// the original.
class TSelectGuard {
  HDC FDC = nullptr;
  HGDIOBJ FOriginal = nullptr;

public:
  TSelectGuard() = default;
  TSelectGuard(HDC dc, HGDIOBJ obj) : FDC(dc) {
    if (dc && obj) FOriginal = ::SelectObject(dc, obj);
  }
  TSelectGuard(TSelectGuard&& o) noexcept
      : FDC(std::exchange(o.FDC, nullptr)), FOriginal(std::exchange(o.FOriginal, nullptr)) {}
  TSelectGuard& operator=(TSelectGuard&& o) noexcept {
    if (this != &o) {
      Restore();
      FDC = std::exchange(o.FDC, nullptr);
      FOriginal = std::exchange(o.FOriginal, nullptr);
    }
    return *this;
  }
  ~TSelectGuard() { Restore(); }
  void Reselect(HGDIOBJ obj) {
    if (!FDC || !obj) return;
    HGDIOBJ old = ::SelectObject(FDC, obj);
    if (!FOriginal) FOriginal = old;
  }
  bool Active() const { return FDC != nullptr; }
  void Restore() {
    if (FDC && FOriginal) ::SelectObject(FDC, FOriginal);
    FDC = nullptr;
    FOriginal = nullptr;
  }
};

// SaveDC on construction, RestoreDC on destruction.
class TSavedDC {
  HDC FDC;
  int FSaved;

public:
  explicit TSavedDC(HDC dc) : FDC(dc), FSaved(dc ? ::SaveDC(dc) : 0) {}
  ~TSavedDC() {
    if (FDC && FSaved) ::RestoreDC(FDC, FSaved);
  }
  TSavedDC(const TSavedDC&) = delete;
  TSavedDC& operator=(const TSavedDC&) = delete;
};

// A window's device context from GetDC, released to that window.
class TWindowDC {
  HWND FWnd;
  HDC FDC;

public:
  explicit TWindowDC(HWND wnd) : FWnd(wnd), FDC(::GetDC(wnd)) {}
  ~TWindowDC() {
    if (FDC) ::ReleaseDC(FWnd, FDC);
  }
  TWindowDC(const TWindowDC&) = delete;
  TWindowDC& operator=(const TWindowDC&) = delete;
  HDC Get() const { return FDC; }
};

// BeginPaint/EndPaint.
class TPaintDC {
  HWND FWnd;
  PAINTSTRUCT FPs{};
  HDC FDC;

public:
  explicit TPaintDC(HWND wnd) : FWnd(wnd), FDC(::BeginPaint(wnd, &FPs)) {}
  ~TPaintDC() { ::EndPaint(FWnd, &FPs); }
  TPaintDC(const TPaintDC&) = delete;
  TPaintDC& operator=(const TPaintDC&) = delete;
  HDC Get() const { return FDC; }
  const RECT& PaintRect() const { return FPs.rcPaint; }
};
