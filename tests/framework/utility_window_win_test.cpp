// Hidden utility windows: messages reach their function, unhandled ones the default.
#include <gtest/gtest.h>

#include <string>

#include "framework/application_win.h"
#include "win/forms_unit_fixture.h"
#include "framework/utility_window_win.h"

namespace {

class UtilityWindowWin : public TFormsUnitTest {};

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST_F(UtilityWindowWin, PostedAndSentMessagesReachTheFunction) {
  std::vector<TMessage> seen;
  HWND wnd = AllocateHWnd([&](TMessage& m) {
    if (m.Msg >= WM_USER) {
      seen.push_back(m);
      m.Result = 77;
    }
  });
  ASSERT_NE(wnd, nullptr);
  EXPECT_FALSE(IsWindowVisible(wnd));
  ASSERT_TRUE(PostMessageW(wnd, WM_USER + 5, 11, 22));
  Pump();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].Msg, UINT(WM_USER + 5));
  EXPECT_EQ(seen[0].WParam, WPARAM(11));
  EXPECT_EQ(seen[0].LParam, LPARAM(22));
  EXPECT_EQ(SendMessageW(wnd, WM_USER + 6, 0, 0), 77);
  DeallocateHWnd(wnd);
  EXPECT_FALSE(IsWindow(wnd));
}

TEST_F(UtilityWindowWin, UnhandledMessagesGetTheDefaultHandling) {
  HWND wnd = AllocateHWnd([](TMessage&) {});
  SendMessageW(wnd, WM_SETTEXT, 0, LPARAM(L"default"));
  wchar_t text[32] = {};
  GetWindowTextW(wnd, text, 32);
  EXPECT_EQ(std::wstring(text), L"default");
  DeallocateHWnd(wnd);
}

TEST_F(UtilityWindowWin, AnExceptionGoesToTheApplicationHandler) {
  std::string caught;
  Application->OnException = [&](TComponent*, const std::exception& e) { caught = e.what(); };
  HWND wnd = AllocateHWnd([](TMessage& m) {
    if (m.Msg == WM_USER + 1) throw Exception("handler failed");
  });
  EXPECT_EQ(SendMessageW(wnd, WM_USER + 1, 0, 0), 0);
  EXPECT_EQ(caught, "handler failed");
  DeallocateHWnd(wnd);
}

TEST_F(UtilityWindowWin, DeallocateIgnoresWhatItDidNotAllocate) {
  DeallocateHWnd(nullptr);
  HWND wnd = AllocateHWnd([](TMessage&) {});
  DeallocateHWnd(wnd);
  DeallocateHWnd(wnd);  // already gone
  HWND foreign = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
  DeallocateHWnd(foreign);
  EXPECT_TRUE(IsWindow(foreign));
  DestroyWindow(foreign);
}

}  // namespace
