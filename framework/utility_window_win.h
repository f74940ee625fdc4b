#pragma once
// Hidden windows that only receive messages, each handled by a function:
// for command queues, timers and the application's own window.
#include <windows.h>

#include <functional>

#include "framework/messages_win.h"

// The Result a message arrives with. A handler that handles the message sets
// Result (0 is fine); a message whose Result still holds this value when the
// handler returns goes to DefWindowProc.
constexpr LRESULT UnhandledMessageResult = LRESULT(-0x4B524942);  // "KRIB"

using TWindowMethod = std::function<void(TMessage& message)>;

// A hidden top-level window whose messages go to method. Raises
// EOutOfResources when the system gives no window. An exception leaving the
// method goes to the application's exception handler, not to the system.
HWND AllocateHWnd(TWindowMethod method);
// Destroys a window from AllocateHWnd; nil, a destroyed window or a window
// of another kind does nothing.
void DeallocateHWnd(HWND wnd);
