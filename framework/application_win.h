#pragma once
// The application object (forms, message loop, exception handler) and the
// screen object (display metrics).
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "framework/form_win.h"

using TExceptionEvent = std::function<void(TComponent* sender, const std::exception& e)>;

class TApplication : public TComponent {
  HWND FHandle = nullptr;  // hidden window that carries the title
  std::string FTitle;
  TCustomForm* FMainForm = nullptr;
  bool FTerminated = false;
  bool FRunning = false;

  void CreatedForm(TCustomForm* form);

public:
  MV_CLASS_NAME(TApplication)
  explicit TApplication(TComponent* owner);
  ~TApplication() override;

  // What shows an exception's message; tests replace it so that nothing blocks.
  static inline int(WINAPI* MessageBoxProc)(HWND, LPCWSTR, LPCWSTR, UINT) = &::MessageBoxW;

  void Initialize() {}
  HWND Handle() const { return FHandle; }
  // ANSI code page; defaults to the executable's name without extension.
  const std::string& Title() const { return FTitle; }
  void SetTitle(const std::string& title);
  TCustomForm* MainForm() const { return FMainForm; }
  bool Terminated() const { return FTerminated; }

  // Creates a form owned by the application into ref (set before the form
  // reads itself, cleared again when that fails) and reads it; the first
  // form created becomes the main form.
  template <class T>
  void CreateForm(T*& ref) {
    ref = new T(this);
    try {
      ref->InitFromResource();
    } catch (...) {
      T* failed = ref;
      ref = nullptr;
      delete failed;
      throw;
    }
    CreatedForm(ref);
  }

  // Shows the main form and runs the message loop until the application is
  // terminated (WM_QUIT); then frees the forms. Without a main form it returns at once.
  void Run();
  // Handles the messages that are waiting, then returns.
  void ProcessMessages();
  // Ends the message loop (PostQuitMessage).
  void Terminate();

  // OnException when set; otherwise the message in a message box titled
  // with the application's title. Never throws.
  void HandleException(const std::exception& e, TComponent* sender = nullptr);
  void ShowException(const std::exception& e);
  TExceptionEvent OnException;

  void Notification(TComponent* component, TOperation operation) override;
};

class TScreen : public TComponent {
public:
  MV_CLASS_NAME(TScreen)
  explicit TScreen(TComponent* owner) : TComponent(owner) {}
  int32_t Width() const { return GetSystemMetrics(SM_CXSCREEN); }
  int32_t Height() const { return GetSystemMetrics(SM_CYSCREEN); }
  TRect WorkAreaRect() const;
  int32_t WorkAreaWidth() const { return RectWidth(WorkAreaRect()); }
  int32_t WorkAreaHeight() const { return RectHeight(WorkAreaRect()); }
  int32_t PixelsPerInch() const;
  HCURSOR Cursors(TCursor cursor) const { return CursorHandle(cursor); }
};

extern TApplication* Application;
extern TScreen* Screen;

// Text in the system's ANSI code page as UTF-16, and back.
std::u16string AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::u16string& text);
