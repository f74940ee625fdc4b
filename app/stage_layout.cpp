#include "app/stage_layout.h"

TStageLayout ComputeStageLayout(const TStageMetrics& m) {
  TStageLayout r{};
  const int64_t h0 = m.ClientHeight;
  r.Height = int32_t(int64_t(m.ScreenHeight) * 9 / 10);
  r.ClientHeight = r.Height - m.FrameHeight;
  // The scaled width goes to the outer width, so the client area comes out
  // narrower than the exact ratio by the frame. A designed height of zero
  // cannot be scaled from; the width then stays as designed.
  const int64_t width = h0 > 0 ? int64_t(m.ClientWidth) * r.ClientHeight / h0
                               : int64_t(m.ClientWidth) + m.FrameWidth;
  r.Width = int32_t(width);
  r.ClientWidth = r.Width - m.FrameWidth;
  r.Top = (m.ScreenHeight - m.WorkAreaHeight) / 2 - 8;
  r.Left = (m.ScreenWidth - r.Width) / 2;
  return r;
}
