// The application object and the screen object.
#include <gtest/gtest.h>

#include <string>

#include "framework/application_win.h"
#include "win/forms_unit_fixture.h"

namespace {

std::vector<std::pair<std::u16string, std::u16string>> MessageBoxes;

int WINAPI RecordingMessageBox(HWND, LPCWSTR text, LPCWSTR caption, UINT) {
  MessageBoxes.emplace_back(reinterpret_cast<const char16_t*>(text),
                            reinterpret_cast<const char16_t*>(caption));
  return IDOK;
}

class ApplicationWin : public TFormsUnitTest {
protected:
  decltype(TApplication::MessageBoxProc) FSavedBox = nullptr;
  void SetUp() override {
    TFormsUnitTest::SetUp();
    FSavedBox = TApplication::MessageBoxProc;
    TApplication::MessageBoxProc = &RecordingMessageBox;
    MessageBoxes.clear();
  }
  void TearDown() override {
    TApplication::MessageBoxProc = FSavedBox;
    TFormsUnitTest::TearDown();
  }
};

TEST_F(ApplicationWin, HandleExceptionShowsTheMessageTitledWithTheApplication) {
  Application->SetTitle("Kribbel");
  struct Row { const char* Message; const char16_t* Shown; };
  const Row rows[] = {{"Stream read error", u"Stream read error."},
                      {"Already a sentence.", u"Already a sentence."},
                      {"", u""}};
  for (const Row& r : rows) {
    SCOPED_TRACE(r.Message);
    MessageBoxes.clear();
    Application->HandleException(Exception(r.Message));
    ASSERT_EQ(MessageBoxes.size(), 1u);
    EXPECT_EQ(MessageBoxes[0].first, r.Shown);
    EXPECT_EQ(MessageBoxes[0].second, u"Kribbel");
  }
}

TEST_F(ApplicationWin, OnExceptionReplacesTheMessageBoxAndGetsTheSender) {
  TComponent sender(nullptr);
  TComponent* seen = nullptr;
  std::string text;
  Application->OnException = [&](TComponent* s, const std::exception& e) {
    seen = s;
    text = e.what();
  };
  Application->HandleException(Exception("boom"), &sender);
  EXPECT_EQ(seen, &sender);
  EXPECT_EQ(text, "boom");
  EXPECT_TRUE(MessageBoxes.empty());
  // A handler that throws does not take the caller down.
  Application->OnException = [](TComponent*, const std::exception&) { throw Exception("x"); };
  EXPECT_NO_THROW(Application->HandleException(Exception("again")));
}

TEST_F(ApplicationWin, ExceptionsInsideTheWindowProcedureReachTheHandler) {
  TForm form(nullptr);
  form.OnMouseDown = [](TComponent*, TMouseButton, TShiftState, int, int) {
    throw Exception("Handler raised");
  };
  SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(1, 1));
  ASSERT_EQ(MessageBoxes.size(), 1u);
  EXPECT_EQ(MessageBoxes[0].first, u"Handler raised.");
}

TEST_F(ApplicationWin, TitleIsTheHiddenWindowsText) {
  Application->SetTitle("Kribbel");
  wchar_t text[32] = {};
  GetWindowTextW(Application->Handle(), text, 32);
  EXPECT_EQ(std::wstring(text), L"Kribbel");
  EXPECT_FALSE(IsWindowVisible(Application->Handle()));
}

class TCountingForm : public TForm {
public:
  using TForm::TForm;
  static inline int Destroyed = 0;
  ~TCountingForm() override { ++Destroyed; }
};

TEST_F(ApplicationWin, RunShowsTheMainFormAndEndsWhenItCloses) {
  TCountingForm* main = nullptr;
  TCountingForm* second = nullptr;
  TCountingForm::Destroyed = 0;
  Application->CreateForm(main);
  Application->CreateForm(second);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(Application->MainForm(), main);
  EXPECT_TRUE(main->HandleAllocated());
  bool shown = false;
  main->OnShow = [&](TComponent*) {
    shown = true;
    PostMessageW(main->Handle(), WM_CLOSE, 0, 0);
  };
  Application->Run();
  EXPECT_TRUE(shown);
  EXPECT_TRUE(Application->Terminated());
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_EQ(TCountingForm::Destroyed, 2);  // the application freed its forms
}

TEST_F(ApplicationWin, AFormThatFailsToReadIsFreedAndItsReferenceCleared) {
  TCustomForm::ResourceReader = [](TCustomForm*) { throw EReadError("bad form"); };
  TForm* form = reinterpret_cast<TForm*>(uintptr_t(0xdeadbeef));
  EXPECT_THROW(Application->CreateForm(form), EReadError);
  EXPECT_EQ(form, nullptr);
  EXPECT_EQ(Application->MainForm(), nullptr);
  EXPECT_EQ(Application->ComponentCount(), 0);
}

TEST_F(ApplicationWin, ProcessMessagesHandlesWhatIsWaiting) {
  TForm form(nullptr);
  int downs = 0;
  form.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++downs; };
  PostMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 0);
  PostMessageW(form.Handle(), WM_LBUTTONUP, 0, 0);
  Application->ProcessMessages();
  EXPECT_EQ(downs, 1);
}

TEST_F(ApplicationWin, ScreenMetricsAreTheSystems) {
  EXPECT_EQ(Screen->Width(), GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(Screen->Height(), GetSystemMetrics(SM_CYSCREEN));
  RECT work{};
  ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  EXPECT_EQ(Screen->WorkAreaHeight(), work.bottom - work.top);
  EXPECT_GT(Screen->Width(), 0);
  EXPECT_GT(Screen->WorkAreaHeight(), 0);
  EXPECT_LE(Screen->WorkAreaHeight(), Screen->Height());
  HDC dc = GetDC(nullptr);
  EXPECT_EQ(Screen->PixelsPerInch(), GetDeviceCaps(dc, LOGPIXELSY));
  ReleaseDC(nullptr, dc);
  EXPECT_NE(Screen->Cursors(crHandPoint), nullptr);
}

TEST(AnsiConversionWin, RoundTripsAsciiAndKeepsEmpty) {
  EXPECT_EQ(AnsiToWide("Kribbel"), u"Kribbel");
  EXPECT_EQ(WideToAnsi(u"Kribbel"), "Kribbel");
  EXPECT_EQ(AnsiToWide(""), u"");
}

}  // namespace
