#include "framework/application_win.h"

#include <climits>

#include "framework/utility_window_win.h"

TApplication* Application = nullptr;
TScreen* Screen = nullptr;

std::u16string AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  int n = int(std::min<size_t>(text.size(), INT_MAX / 2));
  int count = MultiByteToWideChar(CP_ACP, 0, text.data(), n, nullptr, 0);
  if (count <= 0) return {};
  std::u16string out(size_t(count), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), n, reinterpret_cast<wchar_t*>(out.data()), count);
  return out;
}

std::string WideToAnsi(const std::u16string& text) {
  if (text.empty()) return {};
  int n = int(std::min<size_t>(text.size(), INT_MAX / 4));
  auto* w = reinterpret_cast<const wchar_t*>(text.data());
  int count = WideCharToMultiByte(CP_ACP, 0, w, n, nullptr, 0, nullptr, nullptr);
  if (count <= 0) return {};
  std::string out(size_t(count), '\0');
  WideCharToMultiByte(CP_ACP, 0, w, n, out.data(), count, nullptr, nullptr);
  return out;
}

void ReportBoundaryException(const std::exception& e) noexcept {
  if (Application) Application->HandleException(e);
}

void ReportUnknownBoundaryException() noexcept {
  try {
    if (Application) Application->HandleException(Exception("Unknown exception"));
  } catch (...) {
    // Nothing leaves a boundary.
  }
}

TApplication::TApplication(TComponent* owner) : TComponent(owner) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string name = path;
  size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  FHandle = AllocateHWnd([](TMessage&) {});
  SetTitle(name);
}

TApplication::~TApplication() {
  // Forms go while the application is still whole: their destruction may
  // still talk to it.
  while (ComponentCount() > 0) {
    TComponent* c = Components().back();
    delete c;
    if (ComponentCount() > 0 && Components().back() == c) RemoveComponent(c);
  }
  FMainForm = nullptr;
  DeallocateHWnd(std::exchange(FHandle, nullptr));
}

void TApplication::SetTitle(const std::string& title) {
  FTitle = title;
  if (FHandle) SetWindowTextW(FHandle, reinterpret_cast<LPCWSTR>(AnsiToWide(title).c_str()));
}

void TApplication::CreatedForm(TCustomForm* form) {
  if (!FMainForm) {
    FMainForm = form;
    form->HandleNeeded();
  }
}

void TApplication::Run() {
  if (!FMainForm) return;
  FRunning = true;
  try {
    FMainForm->Show();
  }
  MV_CATCH_AT_BOUNDARY
  MSG msg;
  while (!FTerminated) {
    BOOL r = GetMessageW(&msg, nullptr, 0, 0);
    if (r == 0) {
      FTerminated = true;
      break;
    }
    if (r == -1) break;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  FRunning = false;
  while (ComponentCount() > 0) {
    TComponent* c = Components().back();
    delete c;
    if (ComponentCount() > 0 && Components().back() == c) RemoveComponent(c);
  }
  FMainForm = nullptr;
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      FTerminated = true;
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void TApplication::Terminate() { PostQuitMessage(0); }

void TApplication::HandleException(const std::exception& e, TComponent* sender) {
  try {
    if (OnException)
      OnException(sender, e);
    else
      ShowException(e);
  } catch (...) {
    // The handler of last resort cannot report its own failure.
  }
}

void TApplication::ShowException(const std::exception& e) {
  std::string message = e.what() ? e.what() : "";
  while (!message.empty() && (message.back() == ' ' || message.back() == '\r' ||
                              message.back() == '\n'))
    message.pop_back();
  // As the platform shows it: a sentence ends with a full stop.
  if (!message.empty() && message.back() > '.') message += '.';
  std::u16string text = AnsiToWide(message);
  std::u16string title = AnsiToWide(FTitle);
  if (MessageBoxProc)
    MessageBoxProc(FHandle, reinterpret_cast<LPCWSTR>(text.c_str()),
                   reinterpret_cast<LPCWSTR>(title.c_str()), MB_OK | MB_ICONSTOP);
}

void TApplication::Notification(TComponent* component, TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation == TOperation::opRemove && component == FMainForm) FMainForm = nullptr;
}

TRect TScreen::WorkAreaRect() const {
  RECT r{};
  if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0))
    r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  return Rect(r.left, r.top, r.right, r.bottom);
}

int32_t TScreen::PixelsPerInch() const {
  TWindowDC screen(nullptr);
  return screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
}
