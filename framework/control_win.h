#pragma once
// Controls: the position, appearance and message path every control shares,
// and the graphic control, which has no window and is painted by its parent.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "framework/component.h"
#include "framework/graphics_objects_win.h"
#include "framework/messages_win.h"
#include "platform/rect.h"

class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
using TAnchors = uint8_t;  // bit i: TAnchorKind i
constexpr TAnchors AnchorBit(TAnchorKind k) { return TAnchors(1u << k); }

using TCursor = int16_t;
constexpr TCursor crDefault = 0, crNone = -1, crArrow = -2, crCross = -3, crIBeam = -4,
                  crSizeNESW = -6, crSizeNS = -7, crSizeNWSE = -8, crSizeWE = -9,
                  crUpArrow = -10, crHourGlass = -11, crDrag = -12, crNoDrop = -13,
                  crNo = -18, crAppStart = -19, crHelp = -20, crHandPoint = -21,
                  crSizeAll = -22;

enum class TDragKind { dkDrag, dkDock };
enum class TDragMode { dmManual, dmAutomatic };
enum class TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftStateFlag : uint32_t {
  ssShift = 1 << 0, ssAlt = 1 << 1, ssCtrl = 1 << 2, ssLeft = 1 << 3,
  ssRight = 1 << 4, ssMiddle = 1 << 5, ssDouble = 1 << 6,
};
using TShiftState = uint32_t;
// The system cursor for a cursor value (crDefault and unknown values: the arrow).
HCURSOR CursorHandle(TCursor cursor);
// The key and button state of a mouse message's wParam (Alt from the keyboard).
TShiftState ShiftStateFromKeys(WPARAM keys);

using TNotifyEvent = std::function<void(TComponent* sender)>;
using TMouseEvent =
    std::function<void(TComponent* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TComponent* sender, TShiftState shift, int x, int y)>;

class TControl : public TComponent {
  friend class TWinControl;
  TWinControl* FParent = nullptr;
  TAlign FAlign = TAlign::alNone;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clWindow;
  bool FParentColor = true;
  TFont FFont;
  bool FParentFont = true;
  bool FTakingParentFont = false;
  TCursor FCursor = crDefault;
  std::string FHint;
  bool FShowHint = false;
  bool FParentShowHint = true;
  TAnchors FAnchors = AnchorBit(akLeft) | AnchorBit(akTop);
  TCursor FDragCursor = crDrag;
  TDragKind FDragKind = TDragKind::dkDrag;
  TDragMode FDragMode = TDragMode::dmManual;
  TComponent* FPopupMenu = nullptr;
  bool FClicking = false;
  std::map<std::string, std::string> FEventNames;  // event property -> handler name

protected:
  int32_t FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;

  // Sets the flag alone, for descendants that show and hide in their own way.
  void SetVisibleFlag(bool visible) { FVisible = visible; }
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void Click();
  virtual void DblClick();
  // The parent changed its colour or font: take them over when asked to.
  void TakeParentColor();
  void TakeParentFont();

public:
  MV_CLASS_NAME(TControl)
  explicit TControl(TComponent* owner);
  ~TControl() override;

  TWinControl* Parent() const { return FParent; }
  virtual void SetParent(TWinControl* parent);

  int32_t Left() const { return FLeft; }
  int32_t Top() const { return FTop; }
  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  void SetLeft(int32_t v) { SetBounds(v, FTop, FWidth, FHeight); }
  void SetTop(int32_t v) { SetBounds(FLeft, v, FWidth, FHeight); }
  void SetWidth(int32_t v) { SetBounds(FLeft, FTop, v, FHeight); }
  void SetHeight(int32_t v) { SetBounds(FLeft, FTop, FWidth, v); }
  virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
  TRect BoundsRect() const { return Rect(FLeft, FTop, FLeft + FWidth, FTop + FHeight); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, RectWidth(r), RectHeight(r)); }
  virtual int32_t ClientWidth() const { return FWidth; }
  virtual int32_t ClientHeight() const { return FHeight; }
  virtual void SetClientWidth(int32_t v) { SetWidth(v); }
  virtual void SetClientHeight(int32_t v) { SetHeight(v); }
  TRect ClientRect() const { return Rect(0, 0, ClientWidth(), ClientHeight()); }

  TAlign Align() const { return FAlign; }
  void SetAlign(TAlign align);
  bool Visible() const { return FVisible; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return FEnabled; }
  void SetEnabled(bool enabled);
  TColor Color() const { return FColor; }
  void SetColor(TColor color);
  bool ParentColor() const { return FParentColor; }
  void SetParentColor(bool value);
  TFont& Font() { return FFont; }
  TFont* FontObject() { return &FFont; }
  bool ParentFont() const { return FParentFont; }
  void SetParentFont(bool value);
  TCursor Cursor() const { return FCursor; }
  void SetCursor(TCursor cursor);
  std::string Hint() const { return FHint; }
  void SetHint(const std::string& hint) { FHint = hint; }
  bool ShowHint() const { return FShowHint; }
  void SetShowHint(bool v) { FShowHint = v; FParentShowHint = false; }
  bool ParentShowHint() const { return FParentShowHint; }
  void SetParentShowHint(bool v) { FParentShowHint = v; }
  TAnchors Anchors() const { return FAnchors; }
  void SetAnchors(TAnchors anchors) { FAnchors = anchors; }
  TCursor DragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor c) { FDragCursor = c; }
  TDragKind DragKind() const { return FDragKind; }
  void SetDragKind(TDragKind k) { FDragKind = k; }
  TDragMode DragMode() const { return FDragMode; }
  void SetDragMode(TDragMode m) { FDragMode = m; }
  TComponent* PopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TComponent* menu);

  // The name of the form method an event was assigned from ("" if none).
  std::string EventHandlerName(const std::string& eventName) const;
  void SetEventHandlerName(const std::string& eventName, const std::string& handler);

  // The message path: WndProc -> Dispatch (by message id) -> DefaultHandler.
  virtual void WndProc(TMessage& message);
  virtual void Dispatch(TMessage& message);
  virtual void DefaultHandler(TMessage& message);
  LRESULT Perform(UINT msg, WPARAM wParam, LPARAM lParam);

  virtual void Invalidate();
  virtual void Repaint();
  void Update();

  void Notification(TComponent* component, TOperation operation) override;
  void Loaded() override;

  TMouseEvent OnMouseDown;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
};

// The canvas of a graphic control. Outside its parent's paint cycle it takes
// the parent window's device context, moves the origin to the control and
// clips to it; that context is given back at the end of the message being
// handled (FreeDeviceContexts), when the control moves, or when the control
// or its parent goes.
class TControlCanvas : public TCanvas {
  TControl* FControl;
  HDC FOwnedDC = nullptr;
  HWND FOwnedWnd = nullptr;
  int FSavedState = 0;

protected:
  void CreateHandle() override;
  void HandleReleased(HDC old) override;

public:
  explicit TControlCanvas(TControl* control) : FControl(control) {}
  ~TControlCanvas() override;
  void FreeHandle();
};

// Gives back every device context that a control canvas took.
void FreeDeviceContexts();

class TGraphicControl : public TControl {
  std::unique_ptr<TControlCanvas> FCanvas;

protected:
  virtual void Paint() {}

public:
  MV_CLASS_NAME(TGraphicControl)
  explicit TGraphicControl(TComponent* owner);
  ~TGraphicControl() override;
  TCanvas& Canvas() { return *FCanvas; }
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
  void SetParent(TWinControl* parent) override;
  // Paints into dc, whose origin is the parent's client origin: the origin
  // moves to the control and drawing is clipped to it, both undone after.
  void PaintOn(HDC dc);
};
