#pragma once
// Forms: top-level sizeable windows that read themselves from the module's
// resources and carry a wide caption.
#include <windows.h>

#include <map>
#include <string>

#include "framework/win_control_win.h"

enum class TPosition { poDesigned, poDefault, poScreenCenter };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };
using TCloseEvent = std::function<void(TComponent* sender, TCloseAction& action)>;
using TCloseQueryEvent = std::function<void(TComponent* sender, bool& canClose)>;

// Posted to a form by Release; the form frees itself when it arrives.
constexpr UINT CM_RELEASE = CM_BASE + 33;

class TCustomForm : public TWinControl {
  std::u16string FCaption;
  TPosition FPosition = TPosition::poDesigned;
  int32_t FPixelsPerInch = 96;
  int32_t FTextHeight = 13;
  bool FOldCreateOrder = false;
  bool FShownOnce = false;
  std::map<std::string, TNotifyEvent> FMethods;  // lower-case name -> handler

  void DoShow();
  void DoHide();

protected:
  void CreateParams(TCreateParams& params) override;

public:
  MV_CLASS_NAME(TCustomForm)
  explicit TCustomForm(TComponent* owner);
  ~TCustomForm() override;

  // Reads the form's description through ResourceReader (which ends with
  // Loaded on all it read; without a reader Loaded runs here), then OnCreate.
  void InitFromResource();
  // Set by the form reader: reads RCDATA "<CLASS NAME IN UPPER CASE>" into the form.
  static inline void (*ResourceReader)(TCustomForm* form) = nullptr;

  // Event handlers by name, so that a form description can name them.
  void RegisterMethod(std::string name, TNotifyEvent handler);
  TNotifyEvent FindMethod(const std::string& name) const;  // ASCII case-insensitive; nil if none

  const std::u16string& Caption() const { return FCaption; }
  std::u16string GetCaption() const { return FCaption; }
  void SetCaption(const std::u16string& caption);
  TPosition Position() const { return FPosition; }
  void SetPosition(TPosition position) { FPosition = position; }
  int32_t PixelsPerInch() const { return FPixelsPerInch; }
  void SetPixelsPerInch(int32_t v) { FPixelsPerInch = v; }
  int32_t TextHeight() const { return FTextHeight; }
  void SetTextHeight(int32_t v) { FTextHeight = v; }
  bool OldCreateOrder() const { return FOldCreateOrder; }
  void SetOldCreateOrder(bool v) { FOldCreateOrder = v; }

  // Visible runs OnShow each time the form becomes visible (an exception
  // there goes to the application's handler and the form shows all the same).
  void SetVisible(bool visible) override;
  // OnCloseQuery, then OnClose; the main form's close ends the application's
  // message loop, any other form hides (or frees itself, or minimises).
  void Close();
  // Frees the form once the messages already queued for it are handled.
  void Release();

  void Dispatch(TMessage& message) override;

  TNotifyEvent OnCreate;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
};

class TForm : public TCustomForm {
public:
  MV_CLASS_NAME(TForm)
  using TCustomForm::TCustomForm;
};

// The resource name of a form class: its name in ASCII upper case.
std::string FormResourceName(const std::string& className);
