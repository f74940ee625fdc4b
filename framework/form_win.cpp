#include "framework/form_win.h"
#include "framework/ascii_text.h"

#include <algorithm>

#include "framework/application_win.h"

std::string FormResourceName(const std::string& className) {
  std::string s = className;
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

TCustomForm::TCustomForm(TComponent* owner) : TWinControl(owner) {
  SetVisibleFlag(false);
  SetColor(clBtnFace);
  SetParentFont(false);
  FWidth = 320;
  FHeight = 240;
}

TCustomForm::~TCustomForm() {
  if (OnDestroy) {
    try {
      OnDestroy(this);
    }
    MV_CATCH_AT_BOUNDARY
  }
  // The window goes while the form is still a form.
  DestroyHandle();
}

void TCustomForm::CreateParams(TCreateParams& params) {
  params.ClassName = L"KribbelForm";
  params.Caption = FCaption;
  params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
  params.ExStyle = WS_EX_APPWINDOW;
  if (FPosition == TPosition::poDefault) {
    params.X = params.Y = CW_USEDEFAULT;
  } else {
    params.X = FLeft;
    params.Y = FTop;
  }
  params.Width = FWidth;
  params.Height = FHeight;
  params.Icon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
  if (!params.Icon) params.Icon = LoadIconA(nullptr, IDI_APPLICATION);
}

void TCustomForm::InitFromResource() {
  if (ResourceReader) {
    // The reader ends with Loaded on everything it read; running it again
    // here would repeat what components do once loading is over.
    SetState(csLoading, true);
    try {
      ResourceReader(this);
    } catch (...) {
      SetState(csReading, false);
      SetState(csLoading, false);
      throw;
    }
  } else {
    Loaded();
    for (TComponent* c : std::vector<TComponent*>(Components())) c->Loaded();
  }
  SetState(csReading, false);
  SetState(csLoading, false);
  Realign();
  if (OnCreate) {
    try {
      OnCreate(this);
    }
    MV_CATCH_AT_BOUNDARY
  }
}

void TCustomForm::RegisterMethod(std::string name, TNotifyEvent handler) {
  FMethods[LowerAscii(std::move(name))] = std::move(handler);
}

TNotifyEvent TCustomForm::FindMethod(const std::string& name) const {
  auto it = FMethods.find(LowerAscii(name));
  return it == FMethods.end() ? TNotifyEvent() : it->second;
}

void TCustomForm::SetCaption(const std::u16string& caption) {
  FCaption = caption;
  if (HandleAllocated())
    SetWindowTextW(Handle(), reinterpret_cast<LPCWSTR>(FCaption.c_str()));
}

void TCustomForm::DoShow() {
  if (!OnShow) return;
  try {
    OnShow(this);
  }
  MV_CATCH_AT_BOUNDARY
}

void TCustomForm::DoHide() {
  if (!OnHide) return;
  try {
    OnHide(this);
  }
  MV_CATCH_AT_BOUNDARY
}

void TCustomForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  if (visible) {
    HWND wnd = Handle();
    SetVisibleFlag(true);
    DoShow();
    if (!FShownOnce && FPosition == TPosition::poScreenCenter)
      SetBounds((GetSystemMetrics(SM_CXSCREEN) - FWidth) / 2,
                (GetSystemMetrics(SM_CYSCREEN) - FHeight) / 2, FWidth, FHeight);
    FShownOnce = true;
    if (Visible() && HandleAllocated()) ShowWindow(wnd, SW_SHOWNORMAL);
  } else {
    DoHide();
    SetVisibleFlag(false);
    if (HandleAllocated()) ShowWindow(Handle(), SW_HIDE);
  }
}

void TCustomForm::Close() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  if (!canClose) return;
  bool isMain = Application && Application->MainForm() == this;
  TCloseAction action = TCloseAction::caHide;
  if (OnClose) OnClose(this, action);
  if (action == TCloseAction::caNone) return;
  if (isMain) {
    Application->Terminate();
    return;
  }
  switch (action) {
    case TCloseAction::caMinimize:
      ShowWindow(Handle(), SW_MINIMIZE);
      break;
    case TCloseAction::caFree:
      Release();
      break;
    default:
      Hide();
      break;
  }
}

void TCustomForm::Release() { PostMessageW(Handle(), CM_RELEASE, 0, 0); }

void TCustomForm::Dispatch(TMessage& m) {
  switch (m.Msg) {
    case WM_CLOSE:
      Close();
      m.Result = 0;
      return;
    case CM_RELEASE:
      delete this;  // nothing may touch the form after this
      return;
    case WM_GETMINMAXINFO: {
      // The program may size its form past the screen (a wide aspect on a
      // narrow screen); the system's default limit would cut it silently.
      TWinControl::Dispatch(m);
      auto* info = reinterpret_cast<MINMAXINFO*>(m.LParam);
      info->ptMaxTrackSize.x = std::max<LONG>(info->ptMaxTrackSize.x, 0x7FFF);
      info->ptMaxTrackSize.y = std::max<LONG>(info->ptMaxTrackSize.y, 0x7FFF);
      return;
    }
    case WM_SETTEXT:
      TWinControl::Dispatch(m);
      // Text set from outside the form is its caption too.
      FCaption = m.LParam ? std::u16string(reinterpret_cast<const char16_t*>(m.LParam))
                          : std::u16string();
      return;
    default:
      TWinControl::Dispatch(m);
  }
}
