#include "framework/utility_window_win.h"

#include <memory>

#include "framework/graphics_objects_win.h"
#include "framework/win_control_win.h"

namespace {

constexpr wchar_t UtilityClassName[] = L"KribbelUtilityWindow";

LRESULT CALLBACK UtilityWindowProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
    SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* method = reinterpret_cast<TWindowMethod*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!method || !*method) return DefWindowProcW(wnd, msg, wParam, lParam);
  TMessage m{msg, wParam, lParam, UnhandledMessageResult};
  try {
    (*method)(m);
  } catch (const std::exception& e) {
    ReportBoundaryException(e);
    if (m.Result == UnhandledMessageResult) m.Result = 0;
  } catch (...) {
    ReportUnknownBoundaryException();
    if (m.Result == UnhandledMessageResult) m.Result = 0;
  }
  if (m.Result == UnhandledMessageResult) return DefWindowProcW(wnd, msg, wParam, lParam);
  return m.Result;
}

void EnsureUtilityClass() {
  static bool registered = false;
  if (registered) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &UtilityWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = UtilityClassName;
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EOutOfResources("Window class registration failed");
  registered = true;
}

}  // namespace

HWND AllocateHWnd(TWindowMethod method) {
  EnsureUtilityClass();
  auto owned = std::make_unique<TWindowMethod>(std::move(method));
  HWND wnd = CreateWindowExW(WS_EX_TOOLWINDOW, UtilityClassName, L"", WS_POPUP, 0, 0, 0, 0,
                             nullptr, nullptr, GetModuleHandleW(nullptr), owned.get());
  if (!wnd) throw EOutOfResources("Error creating window");
  owned.release();  // the window holds it until DeallocateHWnd
  return wnd;
}

void DeallocateHWnd(HWND wnd) {
  if (!wnd || !IsWindow(wnd)) return;
  // Only windows of our own class carry a method to free.
  wchar_t className[64] = {};
  GetClassNameW(wnd, className, 64);
  if (lstrcmpW(className, UtilityClassName) != 0) return;
  auto* method = reinterpret_cast<TWindowMethod*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  // Messages of the destruction itself get the default handling.
  SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  DestroyWindow(wnd);
  delete method;
}
