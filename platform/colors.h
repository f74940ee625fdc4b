#pragma once
// Colours as the component framework names them: a COLORREF, or a system
// colour index with the high bit set.
#include <windows.h>

#include <cstdint>

using TColor = int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clSystemColor = TColor(0x80000000u);
constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;

// A system colour becomes the system's current RGB value; others stand as they are.
inline COLORREF ColorToRGB(TColor color) {
  return color < 0 ? GetSysColor(color & 0xFF) : COLORREF(color);
}
