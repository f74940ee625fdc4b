#include "framework/control_win.h"

#include <algorithm>
#include <vector>

#include "framework/win_control_win.h"

HCURSOR CursorHandle(TCursor cursor) {
  struct TCursorId {
    TCursor Cursor;
    LPCSTR Id;
  };
  static const TCursorId Ids[] = {
      {crArrow, IDC_ARROW},       {crCross, IDC_CROSS},       {crIBeam, IDC_IBEAM},
      {crSizeNESW, IDC_SIZENESW}, {crSizeNS, IDC_SIZENS},     {crSizeNWSE, IDC_SIZENWSE},
      {crSizeWE, IDC_SIZEWE},     {crUpArrow, IDC_UPARROW},   {crHourGlass, IDC_WAIT},
      {crNo, IDC_NO},             {crAppStart, IDC_APPSTARTING}, {crHelp, IDC_HELP},
      {crHandPoint, IDC_HAND},    {crSizeAll, IDC_SIZEALL},   {crDrag, IDC_ARROW},
      {crNoDrop, IDC_NO}};
  if (cursor == crNone) return nullptr;
  for (const TCursorId& c : Ids)
    if (c.Cursor == cursor) return LoadCursorA(nullptr, c.Id);
  return LoadCursorA(nullptr, IDC_ARROW);
}

TShiftState ShiftStateFromKeys(WPARAM keys) {
  TShiftState s = 0;
  if (keys & MK_SHIFT) s |= ssShift;
  if (keys & MK_CONTROL) s |= ssCtrl;
  if (keys & MK_LBUTTON) s |= ssLeft;
  if (keys & MK_RBUTTON) s |= ssRight;
  if (keys & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TControl::TControl(TComponent* owner) : TComponent(owner) {
  FFont.OnChange = [this](TGraphicsObject*) {
    if (!FTakingParentFont) FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
  };
}

TControl::~TControl() {
  FFont.OnChange = nullptr;
  if (FParent) FParent->RemoveControl(this);
}

void TControl::SetParent(TWinControl* parent) {
  if (parent == FParent) return;
  if (parent == this) throw EInvalidOperation("A control cannot have itself as its parent");
  if (FParent) FParent->RemoveControl(this);
  if (parent) {
    parent->InsertControl(this);
    TakeParentColor();
    TakeParentFont();
  }
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (left == FLeft && top == FTop && width == FWidth && height == FHeight) return;
  Invalidate();
  FLeft = left;
  FTop = top;
  FWidth = width;
  FHeight = height;
  Invalidate();
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::SetAlign(TAlign align) {
  if (align == FAlign) return;
  FAlign = align;
  if (FParent) FParent->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == FVisible) return;
  if (!visible) Invalidate();
  FVisible = visible;
  Perform(CM_VISIBLECHANGED, visible, 0);
  if (visible) Invalidate();
  if (FParent && FAlign != TAlign::alNone) FParent->Realign();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == FEnabled) return;
  FEnabled = enabled;
  Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetColor(TColor color) {
  FParentColor = false;
  if (color == FColor) return;
  FColor = color;
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentColor(bool value) {
  if (value == FParentColor) return;
  FParentColor = value;
  TakeParentColor();
}

void TControl::TakeParentColor() {
  if (!FParentColor || !FParent || FParent->Color() == FColor) return;
  FColor = FParent->Color();
  Perform(CM_COLORCHANGED, 0, 0);
}

void TControl::SetParentFont(bool value) {
  if (value == FParentFont) return;
  FParentFont = value;
  TakeParentFont();
}

void TControl::TakeParentFont() {
  if (!FParentFont || !FParent) return;
  FTakingParentFont = true;
  try {
    FFont.Assign(&FParent->Font());
  } catch (...) {
    FTakingParentFont = false;
    throw;
  }
  FTakingParentFont = false;
}

void TControl::SetCursor(TCursor cursor) {
  if (cursor == FCursor) return;
  FCursor = cursor;
  Perform(CM_CURSORCHANGED, 0, 0);
}

void TControl::SetPopupMenu(TComponent* menu) {
  FPopupMenu = menu;
}

std::string TControl::EventHandlerName(const std::string& eventName) const {
  auto it = FEventNames.find(eventName);
  return it == FEventNames.end() ? std::string() : it->second;
}

void TControl::SetEventHandlerName(const std::string& eventName, const std::string& handler) {
  if (handler.empty())
    FEventNames.erase(eventName);
  else
    FEventNames[eventName] = handler;
}

void TControl::WndProc(TMessage& message) { Dispatch(message); }

void TControl::Dispatch(TMessage& message) {
  int x = MessageX(message.LParam), y = MessageY(message.LParam);
  switch (message.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TShiftState shift = ShiftStateFromKeys(message.WParam);
      if (message.Msg == WM_LBUTTONDBLCLK) {
        shift |= ssDouble;
        DblClick();
      }
      FClicking = true;
      MouseDown(TMouseButton::mbLeft, shift, x, y);
      break;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
      MouseDown(TMouseButton::mbRight,
                ShiftStateFromKeys(message.WParam) |
                    (message.Msg == WM_RBUTTONDBLCLK ? TShiftState(ssDouble) : 0u),
                x, y);
      break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      MouseDown(TMouseButton::mbMiddle,
                ShiftStateFromKeys(message.WParam) |
                    (message.Msg == WM_MBUTTONDBLCLK ? TShiftState(ssDouble) : 0u),
                x, y);
      break;
    case WM_LBUTTONUP: {
      bool wasClicking = std::exchange(FClicking, false);
      MouseUp(TMouseButton::mbLeft, ShiftStateFromKeys(message.WParam), x, y);
      // A click is a press and a release over the control.
      if (wasClicking && x >= 0 && y >= 0 && x < FWidth && y < FHeight) Click();
      break;
    }
    case WM_RBUTTONUP:
      MouseUp(TMouseButton::mbRight, ShiftStateFromKeys(message.WParam), x, y);
      break;
    case WM_MBUTTONUP:
      MouseUp(TMouseButton::mbMiddle, ShiftStateFromKeys(message.WParam), x, y);
      break;
    case WM_MOUSEMOVE:
      MouseMove(ShiftStateFromKeys(message.WParam), x, y);
      break;
    case CM_COLORCHANGED:
    case CM_FONTCHANGED:
      Invalidate();
      return;
    case CM_ENABLEDCHANGED:
    case CM_VISIBLECHANGED:
    case CM_CURSORCHANGED:
      return;
    default:
      break;
  }
  DefaultHandler(message);
}

void TControl::DefaultHandler(TMessage& /*message*/) {}

LRESULT TControl::Perform(UINT msg, WPARAM wParam, LPARAM lParam) {
  TMessage m{msg, wParam, lParam, 0};
  WndProc(m);
  return m.Result;
}

void TControl::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int x, int y) {
  if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TControl::Click() {
  if (OnClick) OnClick(this);
}

void TControl::DblClick() {
  if (OnDblClick) OnDblClick(this);
}

void TControl::Invalidate() {
  if (!FParent || !FParent->HandleAllocated() || FWidth <= 0 || FHeight <= 0) return;
  RECT r{FLeft, FTop, FLeft + FWidth, FTop + FHeight};
  InvalidateRect(FParent->Handle(), &r, TRUE);
}

void TControl::Repaint() {
  Invalidate();
  Update();
}

void TControl::Update() {
  if (FParent && FParent->HandleAllocated()) UpdateWindow(FParent->Handle());
}

void TControl::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FPopupMenu) FPopupMenu = nullptr;
}

void TControl::Loaded() {
  TComponent::Loaded();
  TakeParentColor();
  TakeParentFont();
}

// ---------------------------------------------------------------------------

namespace {
std::vector<TControlCanvas*>& CanvasesHoldingDCs() {
  static std::vector<TControlCanvas*> list;
  return list;
}
}  // namespace

void FreeDeviceContexts() {
  auto& list = CanvasesHoldingDCs();
  while (!list.empty()) list.back()->FreeHandle();
}

TControlCanvas::~TControlCanvas() { SetHandle(nullptr); }

void TControlCanvas::CreateHandle() {
  TWinControl* parent = FControl->Parent();
  if (!parent || !parent->HandleAllocated()) return;
  HWND wnd = parent->Handle();
  HDC dc = GetDCEx(wnd, nullptr, DCX_CACHE | DCX_CLIPSIBLINGS);
  if (!dc) throw EOutOfResources("Out of system resources");
  FSavedState = SaveDC(dc);
  SetViewportOrgEx(dc, FControl->Left(), FControl->Top(), nullptr);
  IntersectClipRect(dc, 0, 0, FControl->Width(), FControl->Height());
  FOwnedDC = dc;
  FOwnedWnd = wnd;
  CanvasesHoldingDCs().push_back(this);
  SetHandle(dc);
}

void TControlCanvas::HandleReleased(HDC old) {
  if (!FOwnedDC || old != FOwnedDC) return;
  if (FSavedState) RestoreDC(FOwnedDC, FSavedState);
  ReleaseDC(FOwnedWnd, FOwnedDC);
  FOwnedDC = nullptr;
  FOwnedWnd = nullptr;
  FSavedState = 0;
  auto& list = CanvasesHoldingDCs();
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
}

void TControlCanvas::FreeHandle() {
  if (FOwnedDC) SetHandle(nullptr);
}

TGraphicControl::TGraphicControl(TComponent* owner)
    : TControl(owner), FCanvas(std::make_unique<TControlCanvas>(this)) {}

TGraphicControl::~TGraphicControl() { FCanvas->FreeHandle(); }

void TGraphicControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  // A canvas taken at the old place would draw there.
  FCanvas->FreeHandle();
  TControl::SetBounds(left, top, width, height);
}

void TGraphicControl::SetParent(TWinControl* parent) {
  FCanvas->FreeHandle();
  TControl::SetParent(parent);
}

namespace {
// Points a canvas at a device context for one scope.
class TCanvasHandleScope {
  TCanvas& FCanvas;

public:
  TCanvasHandleScope(TCanvas& canvas, HDC dc) : FCanvas(canvas) { FCanvas.SetHandle(dc); }
  ~TCanvasHandleScope() { FCanvas.SetHandle(nullptr); }
  TCanvasHandleScope(const TCanvasHandleScope&) = delete;
  TCanvasHandleScope& operator=(const TCanvasHandleScope&) = delete;
};
}  // namespace

void TGraphicControl::PaintOn(HDC dc) {
  TSavedDC saved(dc);
  OffsetViewportOrgEx(dc, FLeft, FTop, nullptr);
  IntersectClipRect(dc, 0, 0, FWidth, FHeight);
  TCanvasHandleScope scope(*FCanvas, dc);
  Paint();
}
