#pragma once
// A control with a window of its own. It paints its graphic children, routes
// the mouse messages over them to them, and keeps aligned children in place.
#include <windows.h>

#include <string>
#include <vector>

#include "framework/control_win.h"

class EInvalidOperation : public Exception { public: using Exception::Exception; };

struct TCreateParams {
  std::wstring ClassName;
  std::u16string Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HICON Icon = nullptr;  // of the window class
};

class TWinControl : public TControl {
  friend class TControl;
  HWND FHandle = nullptr;
  std::vector<TControl*> FControls;  // z-order: the last is on top
  TControl* FMouseControl = nullptr; // graphic child holding the mouse while a button is down
  int FAligning = 0;

  void InsertControl(TControl* control);
  void RemoveControl(TControl* control);
  bool RouteMouseToControl(TMessage& message);
  bool SetChildCursor();
  void EraseBackground(HDC dc);
  void PaintHandler(HDC dc, const RECT* update);

protected:
  virtual void CreateParams(TCreateParams& params);
  virtual void CreateWnd();
  // Own painting, between the background and the graphic children.
  virtual void PaintWindow(HDC /*dc*/) {}
  // Reads the window's real position and size into Left/Top/Width/Height.
  void UpdateBounds();
  virtual void AlignControls(TRect& rect);
  // The frame that the window's styles add around its client area.
  TRect FrameExtents() const;

public:
  MV_CLASS_NAME(TWinControl)
  explicit TWinControl(TComponent* owner);
  // Frees its child controls, then its window.
  ~TWinControl() override;

  HWND Handle();  // creates the window when there is none
  bool HandleAllocated() const { return FHandle != nullptr; }
  void HandleNeeded() { Handle(); }
  virtual void CreateHandle();
  void DestroyHandle();

  int ControlCount() const { return int(FControls.size()); }
  TControl* Controls(int index) const { return FControls.at(size_t(index)); }
  // The topmost visible child at a client point (graphic children only unless
  // allowWindows); disabled ones only when allowDisabled.
  TControl* ControlAtPos(POINT p, bool allowDisabled = false, bool allowWindows = false) const;

  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  int32_t ClientWidth() const override;
  int32_t ClientHeight() const override;
  void SetClientWidth(int32_t v) override;
  void SetClientHeight(int32_t v) override;
  void SetVisible(bool visible) override;
  void Realign();

  // Paints itself (border, background in Color), its graphic children and
  // its child windows into dc with its top-left corner at (x, y).
  void PaintTo(HDC dc, int x, int y);
  void PaintControls(HDC dc, const RECT* update);

  void WndProc(TMessage& message) override;
  void Dispatch(TMessage& message) override;
  void DefaultHandler(TMessage& message) override;
  void Invalidate() override;
  void Repaint() override;
  void Loaded() override;

  // The one window procedure of every framework window.
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam);
};

// Hand an exception caught at a window procedure or callback boundary to the
// application's handler; they never throw. (Catch clauses call them directly:
// a rethrow from inside a catch block hangs 64-bit Wine's unwinder.)
void ReportBoundaryException(const std::exception& e) noexcept;
void ReportUnknownBoundaryException() noexcept;

#define MV_CATCH_AT_BOUNDARY                                      \
  catch (const std::exception& boundaryException) {               \
    ReportBoundaryException(boundaryException);                   \
  }                                                               \
  catch (...) {                                                   \
    ReportUnknownBoundaryException();                             \
  }
