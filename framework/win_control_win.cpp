#include "framework/win_control_win.h"

#include <algorithm>
#include <set>

namespace {

void EnsureWindowClass(const std::wstring& name, HICON icon) {
  static std::set<std::wstring> registered;
  if (registered.count(name)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &TWinControl::WindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = icon;
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.lpszClassName = name.c_str();
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EOutOfResources("Window class registration failed");
  registered.insert(name);
}

// Nesting depth of the window procedure: device contexts that control
// canvases took are given back when the outermost message is done.
int WindowProcDepth = 0;

}  // namespace

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
  while (!FControls.empty()) {
    TControl* child = FControls.back();
    RemoveControl(child);
    delete child;
  }
  if (FHandle) {
    FreeDeviceContexts();
    // The object is going: the window's last messages get the default handling.
    SetWindowLongPtrW(FHandle, GWLP_USERDATA, 0);
    DestroyWindow(std::exchange(FHandle, nullptr));
  }
}

void TWinControl::CreateParams(TCreateParams& params) {
  params.ClassName = L"KribbelWinControl";
  params.Style = WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | (Visible() ? WS_VISIBLE : 0);
  params.ExStyle = 0;
  params.X = FLeft;
  params.Y = FTop;
  params.Width = FWidth;
  params.Height = FHeight;
}

void TWinControl::CreateWnd() {
  TCreateParams params;
  CreateParams(params);
  HWND parentWnd = nullptr;
  if (params.Style & WS_CHILD) {
    if (!Parent()) throw EInvalidOperation("Control '" + Name() + "' has no parent window");
    parentWnd = Parent()->Handle();
  }
  EnsureWindowClass(params.ClassName, params.Icon);
  HWND wnd = CreateWindowExW(params.ExStyle, params.ClassName.c_str(),
                             reinterpret_cast<LPCWSTR>(params.Caption.c_str()), params.Style,
                             params.X, params.Y, params.Width, params.Height, parentWnd, nullptr,
                             GetModuleHandleW(nullptr), this);
  if (!wnd) throw EOutOfResources("Error creating window");
  FHandle = wnd;
  // The size limits a window answers are asked before it is attached to its
  // control, so the system may have cut the size: ask again, now attached.
  RECT r{};
  GetWindowRect(wnd, &r);
  if (!(params.Style & WS_CHILD) &&
      (r.right - r.left != params.Width || r.bottom - r.top != params.Height))
    SetWindowPos(wnd, nullptr, 0, 0, params.Width, params.Height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
}

void TWinControl::CreateHandle() {
  if (FHandle) return;
  CreateWnd();
  UpdateBounds();
  for (TControl* c : std::vector<TControl*>(FControls))
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible()) w->CreateHandle();
  Realign();
}

HWND TWinControl::Handle() {
  if (!FHandle) CreateHandle();
  return FHandle;
}

void TWinControl::DestroyHandle() {
  if (!FHandle) return;
  FreeDeviceContexts();
  DestroyWindow(FHandle);
  FHandle = nullptr;  // WM_NCDESTROY has cleared it already; this is for safety
}

void TWinControl::InsertControl(TControl* control) {
  FControls.push_back(control);
  control->FParent = this;
  if (auto* w = dynamic_cast<TWinControl*>(control); w && FHandle && w->Visible())
    w->CreateHandle();
  if (control->Align() != TAlign::alNone) Realign();
  control->Invalidate();
}

void TWinControl::RemoveControl(TControl* control) {
  auto it = std::find(FControls.begin(), FControls.end(), control);
  if (it == FControls.end()) return;
  if (FMouseControl == control) {
    FMouseControl = nullptr;
    if (FHandle && GetCapture() == FHandle) ReleaseCapture();
  }
  control->Invalidate();
  if (auto* w = dynamic_cast<TWinControl*>(control)) w->DestroyHandle();
  FControls.erase(std::find(FControls.begin(), FControls.end(), control));
  control->FParent = nullptr;
  if (control->Align() != TAlign::alNone) Realign();
}

TControl* TWinControl::ControlAtPos(POINT p, bool allowDisabled, bool allowWindows) const {
  for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
    TControl* c = *it;
    if (!c->Visible() || (!c->Enabled() && !allowDisabled)) continue;
    if (!allowWindows && dynamic_cast<TWinControl*>(c)) continue;
    if (p.x >= c->Left() && p.y >= c->Top() && p.x < c->Left() + c->Width() &&
        p.y < c->Top() + c->Height())
      return c;
  }
  return nullptr;
}

void TWinControl::UpdateBounds() {
  if (!FHandle || IsIconic(FHandle)) return;
  RECT r;
  if (!GetWindowRect(FHandle, &r)) return;
  if (GetWindowLongW(FHandle, GWL_STYLE) & WS_CHILD)
    MapWindowPoints(HWND_DESKTOP, GetParent(FHandle), reinterpret_cast<POINT*>(&r), 2);
  bool sized = r.right - r.left != FWidth || r.bottom - r.top != FHeight;
  bool moved = r.left != FLeft || r.top != FTop;
  FLeft = r.left;
  FTop = r.top;
  FWidth = r.right - r.left;
  FHeight = r.bottom - r.top;
  if (sized) Realign();
  if ((sized || moved) && Parent() && Align() != TAlign::alNone) Parent()->Realign();
}

void TWinControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
  if (width < 0) width = 0;
  if (height < 0) height = 0;
  if (FHandle) {
    SetWindowPos(FHandle, nullptr, left, top, width, height,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    UpdateBounds();
    return;
  }
  bool sized = width != FWidth || height != FHeight;
  TControl::SetBounds(left, top, width, height);
  if (sized) Realign();
}

TRect TWinControl::FrameExtents() const {
  DWORD style, exStyle;
  if (FHandle) {
    style = DWORD(GetWindowLongW(FHandle, GWL_STYLE));
    exStyle = DWORD(GetWindowLongW(FHandle, GWL_EXSTYLE));
  } else {
    TCreateParams params;
    const_cast<TWinControl*>(this)->CreateParams(params);
    style = params.Style;
    exStyle = params.ExStyle;
  }
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, style, FALSE, exStyle);
  return Rect(-r.left, -r.top, r.right, r.bottom);
}

int32_t TWinControl::ClientWidth() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.right;
  }
  TRect f = FrameExtents();
  return std::max(0, FWidth - f.Left - f.Right);
}

int32_t TWinControl::ClientHeight() const {
  if (FHandle) {
    RECT r;
    GetClientRect(FHandle, &r);
    return r.bottom;
  }
  TRect f = FrameExtents();
  return std::max(0, FHeight - f.Top - f.Bottom);
}

void TWinControl::SetClientWidth(int32_t v) {
  SetBounds(FLeft, FTop, FWidth - ClientWidth() + v, FHeight);
}

void TWinControl::SetClientHeight(int32_t v) {
  SetBounds(FLeft, FTop, FWidth, FHeight - ClientHeight() + v);
}

void TWinControl::SetVisible(bool visible) {
  if (visible == Visible()) return;
  TControl::SetVisible(visible);
  if (FHandle) ShowWindow(FHandle, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
  else if (visible && Parent() && Parent()->HandleAllocated()) CreateHandle();
}

void TWinControl::Realign() {
  if (FAligning || HasState(csLoading)) return;
  ++FAligning;
  try {
    TRect r = ClientRect();
    AlignControls(r);
  } catch (...) {
    --FAligning;
    throw;
  }
  --FAligning;
}

void TWinControl::AlignControls(TRect& r) {
  static constexpr TAlign Order[] = {TAlign::alTop, TAlign::alBottom, TAlign::alLeft,
                                     TAlign::alRight, TAlign::alClient};
  for (TAlign align : Order) {
    for (TControl* c : std::vector<TControl*>(FControls)) {
      if (c->Align() != align || !c->Visible()) continue;
      int32_t w = std::max(0, RectWidth(r)), h = std::max(0, RectHeight(r));
      switch (align) {
        case TAlign::alTop:
          c->SetBounds(r.Left, r.Top, w, c->Height());
          r.Top += c->Height();
          break;
        case TAlign::alBottom:
          c->SetBounds(r.Left, r.Bottom - c->Height(), w, c->Height());
          r.Bottom -= c->Height();
          break;
        case TAlign::alLeft:
          c->SetBounds(r.Left, r.Top, c->Width(), h);
          r.Left += c->Width();
          break;
        case TAlign::alRight:
          c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), h);
          r.Right -= c->Width();
          break;
        default:
          c->SetBounds(r.Left, r.Top, w, h);
          break;
      }
    }
  }
}

void TWinControl::EraseBackground(HDC dc) {
  TOwnedBrush brush(CreateSolidBrush(ColorToRGB(Color())));
  RECT r{0, 0, ClientWidth(), ClientHeight()};
  ::FillRect(dc, &r, brush.Get());
}

void TWinControl::PaintControls(HDC dc, const RECT* update) {
  for (TControl* c : std::vector<TControl*>(FControls)) {
    auto* g = dynamic_cast<TGraphicControl*>(c);
    if (!g || !g->Visible() || g->Width() <= 0 || g->Height() <= 0) continue;
    if (update) {
      RECT bounds{g->Left(), g->Top(), g->Left() + g->Width(), g->Top() + g->Height()}, common;
      if (!IntersectRect(&common, &bounds, update)) continue;
    }
    g->PaintOn(dc);
  }
}

void TWinControl::PaintHandler(HDC dc, const RECT* update) {
  PaintWindow(dc);
  PaintControls(dc, update);
}

void TWinControl::PaintTo(HDC dc, int x, int y) {
  TSavedDC saved(dc);
  OffsetViewportOrgEx(dc, x, y, nullptr);
  IntersectClipRect(dc, 0, 0, FWidth, FHeight);
  DWORD style, exStyle;
  if (FHandle) {
    style = DWORD(GetWindowLongW(FHandle, GWL_STYLE));
    exStyle = DWORD(GetWindowLongW(FHandle, GWL_EXSTYLE));
  } else {
    TCreateParams params;
    CreateParams(params);
    style = params.Style;
    exStyle = params.ExStyle;
  }
  RECT r{0, 0, FWidth, FHeight};
  if (exStyle & WS_EX_CLIENTEDGE)
    DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  else if (style & WS_BORDER)
    DrawEdge(dc, &r, BDR_OUTER, BF_RECT | BF_ADJUST | BF_MONO);
  OffsetViewportOrgEx(dc, r.left, r.top, nullptr);
  IntersectClipRect(dc, 0, 0, ClientWidth(), ClientHeight());
  EraseBackground(dc);
  PaintHandler(dc, nullptr);
  for (TControl* c : std::vector<TControl*>(FControls))
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->Visible())
      w->PaintTo(dc, w->Left(), w->Top());
}

bool TWinControl::RouteMouseToControl(TMessage& m) {
  TControl* target = FMouseControl;
  int x = MessageX(m.LParam), y = MessageY(m.LParam);
  if (!target) target = ControlAtPos(POINT{x, y});
  if (!target) return false;
  bool down = m.Msg == WM_LBUTTONDOWN || m.Msg == WM_RBUTTONDOWN || m.Msg == WM_MBUTTONDOWN ||
              m.Msg == WM_LBUTTONDBLCLK || m.Msg == WM_RBUTTONDBLCLK ||
              m.Msg == WM_MBUTTONDBLCLK;
  bool up = m.Msg == WM_LBUTTONUP || m.Msg == WM_RBUTTONUP || m.Msg == WM_MBUTTONUP;
  if (down && !FMouseControl) {
    // The child keeps the mouse until the last button is released, even
    // when the pointer leaves it.
    FMouseControl = target;
    if (FHandle) SetCapture(FHandle);
  }
  TMessage childMessage{m.Msg, m.WParam, MakeMouseLParam(x - target->Left(), y - target->Top()),
                        0};
  target->WndProc(childMessage);
  m.Result = childMessage.Result;
  if (up && (m.WParam & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0 && FMouseControl) {
    FMouseControl = nullptr;
    if (FHandle && GetCapture() == FHandle) ReleaseCapture();
  }
  return true;
}

bool TWinControl::SetChildCursor() {
  POINT p;
  if (!GetCursorPos(&p) || !ScreenToClient(FHandle, &p)) return false;
  TControl* c = FMouseControl ? FMouseControl : ControlAtPos(p);
  TCursor cursor = c && c->Cursor() != crDefault ? c->Cursor() : Cursor();
  if (cursor == crDefault) return false;
  ::SetCursor(CursorHandle(cursor));
  return true;
}

void TWinControl::WndProc(TMessage& m) {
  if (m.Msg >= WM_MOUSEFIRST && m.Msg <= WM_MBUTTONDBLCLK && RouteMouseToControl(m)) return;
  TControl::WndProc(m);
}

void TWinControl::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_PAINT:
      if (m.WParam) {
        PaintHandler(reinterpret_cast<HDC>(m.WParam), nullptr);
      } else if (FHandle) {
        TPaintDC paint(FHandle);
        PaintHandler(paint.Get(), &paint.PaintRect());
      }
      m.Result = 0;
      return;
    case WM_ERASEBKGND:
      EraseBackground(reinterpret_cast<HDC>(m.WParam));
      m.Result = 1;
      return;
    case WM_WINDOWPOSCHANGED:
      UpdateBounds();
      DefaultHandler(m);
      return;
    case WM_SIZE:
      DefaultHandler(m);
      Realign();
      return;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(m.LParam) != FHandle) FMouseControl = nullptr;
      break;
    case WM_SETCURSOR:
      if (LOWORD(m.LParam) == HTCLIENT && reinterpret_cast<HWND>(m.WParam) == FHandle &&
          SetChildCursor()) {
        m.Result = TRUE;
        return;
      }
      break;
    case CM_COLORCHANGED:
      Invalidate();
      for (TControl* c : std::vector<TControl*>(FControls)) c->TakeParentColor();
      return;
    case CM_FONTCHANGED:
      Invalidate();
      for (TControl* c : std::vector<TControl*>(FControls)) c->TakeParentFont();
      return;
    case CM_ENABLEDCHANGED:
      if (FHandle) EnableWindow(FHandle, Enabled());
      return;
    default:
      break;
  }
  TControl::Dispatch(m);
}

void TWinControl::DefaultHandler(TMessage& m) {
  if (FHandle) m.Result = DefWindowProcW(FHandle, m.Msg, m.WParam, m.LParam);
}

void TWinControl::Invalidate() {
  if (FHandle) InvalidateRect(FHandle, nullptr, TRUE);
}

void TWinControl::Repaint() {
  if (!FHandle) return;
  InvalidateRect(FHandle, nullptr, TRUE);
  UpdateWindow(FHandle);
}

void TWinControl::Loaded() {
  TControl::Loaded();
  SetState(csLoading, false);
  Realign();
}

LRESULT CALLBACK TWinControl::WindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  TWinControl* control = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    control = static_cast<TWinControl*>(cs->lpCreateParams);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
    if (control) control->FHandle = wnd;
  } else {
    control = reinterpret_cast<TWinControl*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  }
  if (!control) return DefWindowProcW(wnd, msg, wParam, lParam);

  TMessage m{msg, wParam, lParam, 0};
  ++WindowProcDepth;
  try {
    control->WndProc(m);
  }
  MV_CATCH_AT_BOUNDARY
  if (msg == WM_NCDESTROY) {
    SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    if (control->FHandle == wnd) control->FHandle = nullptr;
  }
  if (--WindowProcDepth == 0) FreeDeviceContexts();
  return m.Result;
}
