#pragma once
// Where the main window goes and how big it is: 9/10 of the screen height,
// the designed aspect ratio, centred horizontally. Integer arithmetic that
// truncates toward zero, as the window has always been placed.
#include <cstdint>

struct TStageMetrics {
  int32_t ClientWidth, ClientHeight;  // the client area at the designed size
  int32_t FrameWidth, FrameHeight;    // outer size minus client size
  int32_t ScreenWidth, ScreenHeight;
  int32_t WorkAreaHeight;
};

struct TStageLayout {
  int32_t Left, Top, Width, Height;  // outer bounds
  int32_t ClientWidth, ClientHeight;
};

TStageLayout ComputeStageLayout(const TStageMetrics& m);
