// The command window: FSCommands reach the handler only from the message
// loop, in the order of the one-slot rule; a destroyed target is never
// touched; handler exceptions reach the application's handler.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "flash/command_window_win.h"
#include "framework/application_win.h"
#include "tests/win/forms_unit_fixture.h"

namespace {

struct TDelivery {
  int Target;  // index of the target in the test
  std::u16string Command;
  std::u16string Args;
  bool operator==(const TDelivery&) const = default;
};

std::ostream& operator<<(std::ostream& out, const TDelivery& d) {
  return out << "{target " << d.Target << ", \"" << std::string(d.Command.begin(), d.Command.end())
             << "\", \"" << std::string(d.Args.begin(), d.Args.end()) << "\"}";
}

// Handler calls land in a journal owned by the test, never in the target, so
// that a call on a destroyed target shows up without touching freed memory.
class TTestTarget : public TmvFSCommandTarget {
public:
  int FIndex;
  std::vector<TDelivery>* FJournal;
  bool* FDestroyed;
  // What the player's OnHandleFSCommand is; unset means no handler.
  std::function<void(TTestTarget&, const std::u16string&, const std::u16string&)> OnHandle;
  TTestTarget(int index, std::vector<TDelivery>* journal, bool* destroyed = nullptr)
      : FIndex(index), FJournal(journal), FDestroyed(destroyed) {}
  ~TTestTarget() override {
    if (FDestroyed) *FDestroyed = true;
  }

protected:
  void HandleFSCommand(const std::u16string& command, const std::u16string& args) override {
    if (!OnHandle) return;
    FJournal->push_back({FIndex, command, args});
    OnHandle(*this, command, args);
  }
};

void Record(TTestTarget&, const std::u16string&, const std::u16string&) {}

int GMessageBoxCalls = 0;
std::wstring GMessageBoxText;
int WINAPI CountingMessageBox(HWND, LPCWSTR text, LPCWSTR, UINT) {
  ++GMessageBoxCalls;
  GMessageBoxText = text ? text : L"";
  return IDOK;
}

// Dispatches what is waiting; bounded so that a fault cannot hang the test.
void PumpMessages() {
  MSG msg;
  for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// Whether a WM_FSCOMMAND is waiting in this thread's queue.
bool CommandQueued() {
  MSG msg;
  return PeekMessageW(&msg, nullptr, WM_FSCOMMAND, WM_FSCOMMAND, PM_NOREMOVE) != 0;
}

class CommandWindowTest : public TFormsUnitTest {
protected:
  bool FOwnsCommandWindow = false;
  int (WINAPI* FSavedMessageBox)(HWND, LPCWSTR, LPCWSTR, UINT) = nullptr;
  std::vector<TDelivery> FJournal;

  void SetUp() override {
    TFormsUnitTest::SetUp();
    FSavedMessageBox = TApplication::MessageBoxProc;
    TApplication::MessageBoxProc = &CountingMessageBox;
    GMessageBoxCalls = 0;
    GMessageBoxText.clear();
    PumpMessages();  // nothing left over from other tests
    if (!CommandHandler) {
      InitializeCommandWindow();
      FOwnsCommandWindow = true;
    }
  }
  void TearDown() override {
    PumpMessages();
    if (FOwnsCommandWindow) FinalizeCommandWindow();
    TApplication::MessageBoxProc = FSavedMessageBox;
    TFormsUnitTest::TearDown();
  }
};

TEST(CommandWindowMessage, IsThePrivateMessage0x8C4) {
  static_assert(WM_FSCOMMAND == 0x8C4);
  EXPECT_EQ(WM_FSCOMMAND, UINT(WM_USER + 1220));
  EXPECT_EQ(WM_FSCOMMAND, 2244u);
}

TEST_F(CommandWindowTest, WindowIsHiddenAndLivesBetweenStartAndFinish) {
  ASSERT_NE(CommandHandler, nullptr);
  HWND wnd = CommandHandler->Handle();
  ASSERT_TRUE(IsWindow(wnd));
  EXPECT_FALSE(IsWindowVisible(wnd));
  EXPECT_EQ(GetWindowThreadProcessId(wnd, nullptr), GetCurrentThreadId());
  FinalizeCommandWindow();
  EXPECT_EQ(CommandHandler, nullptr);
  EXPECT_FALSE(IsWindow(wnd));
  InitializeCommandWindow();
  ASSERT_NE(CommandHandler, nullptr);
  EXPECT_TRUE(IsWindow(CommandHandler->Handle()));
}

TEST_F(CommandWindowTest, QueuePostsAndDeliversOnlyFromTheMessageLoop) {
  TTestTarget target(0, &FJournal);
  const TTestTarget* sender = nullptr;
  target.OnHandle = [&](TTestTarget& t, const std::u16string&, const std::u16string&) {
    sender = &t;
  };
  QueueFSCommand(target, u"quit", u"1");
  // Inside the control's event: stored and posted, not handled.
  EXPECT_TRUE(FJournal.empty());
  EXPECT_EQ(target.PendingCommand(), u"quit");
  EXPECT_EQ(target.PendingArgs(), u"1");
  MSG msg{};
  ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_FSCOMMAND, WM_FSCOMMAND, PM_NOREMOVE));
  EXPECT_EQ(msg.hwnd, CommandHandler->Handle());
  EXPECT_EQ(msg.wParam, WPARAM(target.CommandTargetId()));
  EXPECT_EQ(msg.lParam, 0);

  Application->ProcessMessages();
  EXPECT_EQ(FJournal, (std::vector<TDelivery>{{0, u"quit", u"1"}}));
  EXPECT_EQ(sender, &target);
  EXPECT_EQ(target.PendingCommand(), u"");
  EXPECT_EQ(target.PendingArgs(), u"");
  PumpMessages();
  EXPECT_EQ(FJournal.size(), 1u);
}

struct TQueueCase {
  const char* Name;
  int TargetCount;
  std::vector<TDelivery> Queued;
  std::vector<TDelivery> Delivered;
};

TEST_F(CommandWindowTest, SeveralQueuedCommandsFollowTheOneSlotRule) {
  const TQueueCase cases[] = {
      {"one", 1, {{0, u"quit", u"1"}}, {{0, u"quit", u"1"}}},
      {"A then B: latest first, then an empty delivery",
       1,
       {{0, u"A", u"a"}, {0, u"B", u"b"}},
       {{0, u"B", u"b"}, {0, u"", u""}}},
      {"three for one target",
       1,
       {{0, u"A", u""}, {0, u"B", u""}, {0, u"C", u"c"}},
       {{0, u"C", u"c"}, {0, u"", u""}, {0, u"", u""}}},
      {"two targets keep slots of their own",
       2,
       {{0, u"A", u"1"}, {1, u"B", u"2"}, {0, u"C", u"3"}},
       {{0, u"C", u"3"}, {1, u"B", u"2"}, {0, u"", u""}}},
      {"empty command and args are delivered as they are", 1, {{0, u"", u""}}, {{0, u"", u""}}},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.Name);
    FJournal.clear();
    std::vector<std::unique_ptr<TTestTarget>> targets;
    for (int i = 0; i < row.TargetCount; ++i) {
      targets.push_back(std::make_unique<TTestTarget>(i, &FJournal));
      targets.back()->OnHandle = &Record;
    }
    for (const auto& q : row.Queued) QueueFSCommand(*targets[q.Target], q.Command, q.Args);
    EXPECT_TRUE(FJournal.empty());
    PumpMessages();
    EXPECT_EQ(FJournal, row.Delivered);
    for (const auto& t : targets) {
      EXPECT_EQ(t->PendingCommand(), u"");
      EXPECT_EQ(t->PendingArgs(), u"");
    }
  }
}

TEST_F(CommandWindowTest, TargetWithoutHandlerHasItsSlotEmptied) {
  TTestTarget target(0, &FJournal);  // OnHandle unset
  QueueFSCommand(target, u"fullscreen", u"true");
  PumpMessages();
  EXPECT_TRUE(FJournal.empty());
  EXPECT_FALSE(CommandQueued());
  EXPECT_EQ(target.PendingCommand(), u"");
  EXPECT_EQ(target.PendingArgs(), u"");
}

TEST_F(CommandWindowTest, TargetsHaveDistinctLiveIds) {
  auto a = std::make_unique<TTestTarget>(0, &FJournal);
  auto b = std::make_unique<TTestTarget>(1, &FJournal);
  EXPECT_NE(a->CommandTargetId(), 0u);
  EXPECT_NE(b->CommandTargetId(), 0u);
  EXPECT_NE(a->CommandTargetId(), b->CommandTargetId());
  EXPECT_EQ(FindFSCommandTarget(a->CommandTargetId()), a.get());
  EXPECT_EQ(FindFSCommandTarget(b->CommandTargetId()), b.get());
  EXPECT_EQ(FindFSCommandTarget(0), nullptr);
  uint32_t oldId = a->CommandTargetId();
  a.reset();
  EXPECT_EQ(FindFSCommandTarget(oldId), nullptr);
  // An id is not handed out again, so an old delivery cannot reach a newcomer.
  TTestTarget c(2, &FJournal);
  EXPECT_NE(c.CommandTargetId(), oldId);
}

TEST_F(CommandWindowTest, TargetDestroyedBeforeDeliveryIsNeverTouched) {
  bool destroyed = false;
  auto doomed = std::make_unique<TTestTarget>(0, &FJournal, &destroyed);
  doomed->OnHandle = &Record;
  TTestTarget survivor(1, &FJournal);
  survivor.OnHandle = &Record;
  QueueFSCommand(*doomed, u"A", u"1");
  QueueFSCommand(survivor, u"B", u"2");
  QueueFSCommand(*doomed, u"C", u"3");
  doomed.reset();
  ASSERT_TRUE(destroyed);
  // A newcomer created meanwhile does not inherit the dead target's deliveries.
  TTestTarget newcomer(2, &FJournal);
  newcomer.OnHandle = &Record;
  PumpMessages();
  EXPECT_EQ(FJournal, (std::vector<TDelivery>{{1, u"B", u"2"}}));
  EXPECT_FALSE(CommandQueued());
}

TEST_F(CommandWindowTest, HandlerThatDestroysItsTargetEndsTheDelivery) {
  bool destroyed = false;
  auto* target = new TTestTarget(0, &FJournal, &destroyed);
  target->OnHandle = [&](TTestTarget& t, const std::u16string&, const std::u16string&) {
    delete &t;  // a handler that frees the player (quit)
  };
  QueueFSCommand(*target, u"A", u"");
  QueueFSCommand(*target, u"B", u"");
  PumpMessages();
  EXPECT_TRUE(destroyed);
  EXPECT_EQ(FJournal, (std::vector<TDelivery>{{0, u"B", u""}}));
  EXPECT_EQ(GMessageBoxCalls, 0);
}

TEST_F(CommandWindowTest, UnitFinishDiscardsQueuedDeliveries) {
  TTestTarget target(0, &FJournal);
  target.OnHandle = &Record;
  QueueFSCommand(target, u"A", u"1");
  QueueFSCommand(target, u"B", u"2");
  FinalizeCommandWindow();
  PumpMessages();
  EXPECT_TRUE(FJournal.empty());
  EXPECT_FALSE(CommandQueued());
  // Undelivered: the slot still holds the latest command.
  EXPECT_EQ(target.PendingCommand(), u"B");
  EXPECT_EQ(target.PendingArgs(), u"2");

  // Without a command window the command is stored and nothing is posted.
  QueueFSCommand(target, u"C", u"3");
  EXPECT_FALSE(CommandQueued());
  EXPECT_EQ(target.PendingCommand(), u"C");
  InitializeCommandWindow();
  PumpMessages();
  EXPECT_TRUE(FJournal.empty());

  // A new window delivers again.
  QueueFSCommand(target, u"D", u"4");
  PumpMessages();
  EXPECT_EQ(FJournal, (std::vector<TDelivery>{{0, u"D", u"4"}}));
}

struct TThrowCase {
  const char* Name;
  bool WithOnException;
  bool StdException;
};

TEST_F(CommandWindowTest, HandlerExceptionReachesTheApplicationNotTheSystem) {
  const TThrowCase cases[] = {
      {"std::exception to OnException", true, true},
      {"std::exception to the message box", false, true},
      {"other exception to OnException", true, false},
      {"other exception to the message box", false, false},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.Name);
    FJournal.clear();
    GMessageBoxCalls = 0;
    GMessageBoxText.clear();
    int onExceptionCalls = 0;
    std::string caught;
    if (row.WithOnException) {
      Application->OnException = [&](TComponent*, const std::exception& e) {
        ++onExceptionCalls;
        caught = e.what();
      };
    } else {
      Application->OnException = nullptr;
    }
    TTestTarget target(0, &FJournal);
    bool stdException = row.StdException;
    target.OnHandle = [stdException](TTestTarget&, const std::u16string&, const std::u16string&) {
      if (stdException) throw std::runtime_error("handler failed");
      throw 42;
    };
    TTestTarget next(1, &FJournal);
    next.OnHandle = &Record;
    QueueFSCommand(target, u"A", u"1");
    QueueFSCommand(next, u"B", u"2");
    PumpMessages();
    // The throwing delivery is followed by the next one: the loop goes on.
    EXPECT_EQ(FJournal, (std::vector<TDelivery>{{0, u"A", u"1"}, {1, u"B", u"2"}}));
    if (row.WithOnException) {
      EXPECT_EQ(onExceptionCalls, 1);
      EXPECT_EQ(GMessageBoxCalls, 0);
      if (row.StdException) {
        EXPECT_EQ(caught, "handler failed");
      }
    } else {
      EXPECT_EQ(GMessageBoxCalls, 1);
      if (row.StdException) {
        EXPECT_EQ(GMessageBoxText, L"handler failed.");
      }
    }
    // A failed handler leaves the slot as it was.
    EXPECT_EQ(target.PendingCommand(), u"A");
    EXPECT_EQ(target.PendingArgs(), u"1");
    EXPECT_EQ(next.PendingCommand(), u"");
  }
  Application->OnException = nullptr;
}

struct TStrayCase {
  const char* Name;
  WPARAM WParam;
};

TEST_F(CommandWindowTest, StrayCommandMessagesAreIgnored) {
  TTestTarget target(0, &FJournal);
  target.OnHandle = &Record;
  const TStrayCase cases[] = {
      {"nil", 0},
      {"unknown id", WPARAM(target.CommandTargetId() + 1000)},
      {"an address", WPARAM(&target)},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(SendMessageW(CommandHandler->Handle(), WM_FSCOMMAND, row.WParam, 0), 0);
    EXPECT_TRUE(FJournal.empty());
  }
}

TEST_F(CommandWindowTest, OtherMessagesGetTheDefaultHandling) {
  HWND wnd = CommandHandler->Handle();
  ASSERT_TRUE(SetWindowTextW(wnd, L"commands"));
  wchar_t text[32] = {};
  EXPECT_EQ(GetWindowTextW(wnd, text, 32), 8);
  EXPECT_STREQ(text, L"commands");
  EXPECT_EQ(SendMessageW(wnd, WM_GETTEXTLENGTH, 0, 0), 8);
  EXPECT_EQ(SendMessageW(wnd, WM_USER + 1219, 0, 0), 0);
}

}  // namespace
