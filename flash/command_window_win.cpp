#include "flash/command_window_win.h"

#include <unordered_map>

#include "framework/application_win.h"
#include "framework/utility_window_win.h"
#include "framework/win_control_win.h"

TmvCommandHandler* CommandHandler = nullptr;

namespace {

using TTargetTable = std::unordered_map<uint32_t, TmvFSCommandTarget*>;

// Never freed: a target may outlive the static objects of this file.
TTargetTable& LiveTargets() {
  static auto* table = new TTargetTable;
  return *table;
}

uint32_t NextTargetId() {
  static uint32_t last = 0;
  // 0 stands for "no target"; wrapping around skips ids still in use.
  do {
    ++last;
  } while (last == 0 || LiveTargets().count(last) != 0);
  return last;
}

}  // namespace

TmvFSCommandTarget::TmvFSCommandTarget() : FCommandTargetId(NextTargetId()) {
  LiveTargets().emplace(FCommandTargetId, this);
}

TmvFSCommandTarget::~TmvFSCommandTarget() { LiveTargets().erase(FCommandTargetId); }

TmvFSCommandTarget* FindFSCommandTarget(uint32_t id) {
  auto found = LiveTargets().find(id);
  return found == LiveTargets().end() ? nullptr : found->second;
}

void QueueFSCommand(TmvFSCommandTarget& target, const std::u16string& command,
                    const std::u16string& args) {
  target.FPendingCommand = command;
  target.FPendingArgs = args;
  // A nil window would make this a thread message that no window receives.
  if (CommandHandler && CommandHandler->Handle())
    PostMessageA(CommandHandler->Handle(), WM_FSCOMMAND, WPARAM(target.FCommandTargetId), 0);
}

TmvCommandHandler::TmvCommandHandler() {
  FHandle = AllocateHWnd([this](TMessage& message) { WndProc(message); });
}

TmvCommandHandler::~TmvCommandHandler() { DeallocateHWnd(FHandle); }

void TmvCommandHandler::WndProc(TMessage& message) {
  // Any other message keeps the unhandled result and gets the default handling.
  if (message.Msg != WM_FSCOMMAND) return;
  message.Result = 0;
  // Ids are 32-bit; a wider value names no target.
  if (WPARAM(uint32_t(message.WParam)) != message.WParam) return;
  try {
    Deliver(uint32_t(message.WParam));
  }
  MV_CATCH_AT_BOUNDARY
}

void TmvCommandHandler::Deliver(uint32_t id) {
  TmvFSCommandTarget* target = FindFSCommandTarget(id);
  if (!target) return;
  // Copies: the handler may queue a new command or destroy the target.
  std::u16string command = target->FPendingCommand;
  std::u16string args = target->FPendingArgs;
  // An exception from the handler leaves the slot as it was.
  target->HandleFSCommand(command, args);
  // The handler may have destroyed the target.
  target = FindFSCommandTarget(id);
  if (!target) return;
  target->FPendingCommand.clear();
  target->FPendingArgs.clear();
}

void InitializeCommandWindow() {
  if (!CommandHandler) CommandHandler = new TmvCommandHandler;
}

void FinalizeCommandWindow() {
  delete CommandHandler;
  CommandHandler = nullptr;
}
