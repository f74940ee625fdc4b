#pragma once
// The command window: a movie's FSCommands are kept in their player and
// handed to the application from the message loop, after the control's own
// call has returned.
#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/messages_win.h"

constexpr UINT WM_FSCOMMAND = WM_USER + 1220;  // 0x8C4; WParam: target id, LParam: 0

// What the command window delivers to (the player). It holds one pending
// command slot: a second command before the first is delivered replaces it.
// Every target registers itself in a table of live targets under an id that
// is never reused, and a queued delivery names that id rather than an
// address, so a target destroyed meanwhile is never touched.
class TmvFSCommandTarget {
  uint32_t FCommandTargetId;
  std::u16string FPendingCommand;
  std::u16string FPendingArgs;

  friend void QueueFSCommand(TmvFSCommandTarget& target, const std::u16string& command,
                             const std::u16string& args);
  friend class TmvCommandHandler;

protected:
  TmvFSCommandTarget();
  // Raises the application's handler, if one is assigned; runs from the
  // message loop. May throw, may destroy the target.
  virtual void HandleFSCommand(const std::u16string& command, const std::u16string& args) = 0;

public:
  virtual ~TmvFSCommandTarget();
  TmvFSCommandTarget(const TmvFSCommandTarget&) = delete;
  TmvFSCommandTarget& operator=(const TmvFSCommandTarget&) = delete;

  uint32_t CommandTargetId() const { return FCommandTargetId; }
  const std::u16string& PendingCommand() const { return FPendingCommand; }
  const std::u16string& PendingArgs() const { return FPendingArgs; }
};

// The live target with this id; nil once it is destroyed (or for 0).
TmvFSCommandTarget* FindFSCommandTarget(uint32_t id);

// Stores command and args in the target's slot and posts WM_FSCOMMAND to the
// command window; the handler runs only when the message loop delivers it.
// Without a command window the command stays stored and nothing is posted.
void QueueFSCommand(TmvFSCommandTarget& target, const std::u16string& command,
                    const std::u16string& args);

// The hidden window that receives WM_FSCOMMAND.
class TmvCommandHandler {
  HWND FHandle = nullptr;
  void WndProc(TMessage& message);
  void Deliver(uint32_t id);

public:
  TmvCommandHandler();
  ~TmvCommandHandler();
  TmvCommandHandler(const TmvCommandHandler&) = delete;
  TmvCommandHandler& operator=(const TmvCommandHandler&) = delete;
  HWND Handle() const { return FHandle; }
};

// The one command window; exists between InitializeCommandWindow and
// FinalizeCommandWindow, longer than every player.
extern TmvCommandHandler* CommandHandler;
void InitializeCommandWindow();
// Deliveries still queued are discarded with the window.
void FinalizeCommandWindow();
