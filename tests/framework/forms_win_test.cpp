// Forms: outer and client size, wide caption, showing, closing, reading hooks.
#include <gtest/gtest.h>

#include <string>

#include "framework/application_win.h"
#include "win/forms_unit_fixture.h"
#include "framework/form_reader.h"
#include "framework/class_registry.h"

namespace {

class FormsWin : public TFormsUnitTest {};

SIZE FrameOfForm() {
  RECT r{0, 0, 0, 0};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, FALSE, WS_EX_APPWINDOW);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

TEST_F(FormsWin, OuterAndClientSizeDifferByTheFrameBeforeAndAfterTheWindow) {
  enum TOp { opWidth, opHeight, opClientWidth, opClientHeight };
  struct Row { TOp Op; int Value; };
  const Row rows[] = {{opWidth, 776}, {opHeight, 509}, {opClientWidth, 768},
                      {opClientHeight, 476}, {opHeight, 700}, {opClientWidth, 1000}};
  SIZE frame = FrameOfForm();
  for (bool withWindow : {false, true}) {
    TForm form(nullptr);
    form.SetBounds(10, 10, 400, 300);
    if (withWindow) form.HandleNeeded();
    for (const Row& r : rows) {
      SCOPED_TRACE(std::to_string(withWindow) + " op " + std::to_string(r.Op) + " = " +
                   std::to_string(r.Value));
      switch (r.Op) {
        case opWidth: form.SetWidth(r.Value); break;
        case opHeight: form.SetHeight(r.Value); break;
        case opClientWidth: form.SetClientWidth(r.Value); break;
        case opClientHeight: form.SetClientHeight(r.Value); break;
      }
      int expected = r.Value;
      switch (r.Op) {
        case opWidth: EXPECT_EQ(form.Width(), expected); break;
        case opHeight: EXPECT_EQ(form.Height(), expected); break;
        case opClientWidth: EXPECT_EQ(form.ClientWidth(), expected); break;
        case opClientHeight: EXPECT_EQ(form.ClientHeight(), expected); break;
      }
      EXPECT_EQ(form.Width() - form.ClientWidth(), frame.cx);
      EXPECT_EQ(form.Height() - form.ClientHeight(), frame.cy);
      if (withWindow) {
        RECT wr, cr;
        GetWindowRect(form.Handle(), &wr);
        GetClientRect(form.Handle(), &cr);
        EXPECT_EQ(wr.right - wr.left, form.Width());
        EXPECT_EQ(wr.bottom - wr.top, form.Height());
        EXPECT_EQ(cr.right, form.ClientWidth());
        EXPECT_EQ(cr.bottom, form.ClientHeight());
      }
    }
  }
}

TEST_F(FormsWin, SizeSetBeforeTheWindowIsTheWindowsSize) {
  TForm form(nullptr);
  form.SetBounds(258, 122, 776, 509);
  int clientBefore = form.ClientHeight();
  form.HandleNeeded();
  EXPECT_EQ(form.ClientHeight(), clientBefore);
  RECT wr;
  GetWindowRect(form.Handle(), &wr);
  EXPECT_EQ(wr.left, 258);  // designed position: where Left and Top say
  EXPECT_EQ(wr.top, 122);
  EXPECT_EQ(wr.right - wr.left, 776);
}

TEST_F(FormsWin, WideCaptionSurvivesTheWindow) {
  const std::u16string caption = u"Kribbel （软件网址：https://kribbel.example）";
  for (bool before : {true, false}) {
    SCOPED_TRACE(before ? "set before the window" : "set after the window");
    TForm form(nullptr);
    if (before) form.SetCaption(caption);
    form.HandleNeeded();
    if (!before) form.SetCaption(caption);
    wchar_t text[128] = {};
    int n = GetWindowTextW(form.Handle(), text, 128);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(text), size_t(n)), caption);
    EXPECT_EQ(form.Caption(), caption);
  }
}

TEST_F(FormsWin, OnShowRunsEachTimeTheFormBecomesVisible) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 150);
  int shows = 0, hides = 0;
  form.OnShow = [&](TComponent* sender) {
    EXPECT_EQ(sender, &form);
    ++shows;
  };
  form.OnHide = [&](TComponent*) { ++hides; };
  EXPECT_FALSE(form.Visible());
  form.Show();
  form.Show();  // already visible
  EXPECT_EQ(shows, 1);
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  form.Hide();
  EXPECT_FALSE(IsWindowVisible(form.Handle()));
  form.Show();
  EXPECT_EQ(shows, 2);
  EXPECT_EQ(hides, 1);
  form.Hide();
}

TEST_F(FormsWin, AnExceptionInOnShowIsReportedAndTheFormShowsAnyway) {
  std::string caught;
  Application->OnException = [&](TComponent*, const std::exception& e) { caught = e.what(); };
  TForm form(nullptr);
  form.OnShow = [](TComponent*) { throw Exception("movie failed"); };
  form.Show();
  EXPECT_EQ(caught, "movie failed");
  EXPECT_TRUE(IsWindowVisible(form.Handle()));
  form.Hide();
}

TEST_F(FormsWin, ClosingAFormThatIsNotTheMainFormHidesIt) {
  TForm form(nullptr);
  form.Show();
  TCloseAction seen = TCloseAction::caNone;
  form.OnClose = [&](TComponent*, TCloseAction& a) { seen = a; };
  SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(seen, TCloseAction::caHide);
  EXPECT_FALSE(form.Visible());
  EXPECT_TRUE(IsWindow(form.Handle()));  // hidden, not destroyed

  form.Show();
  form.OnCloseQuery = [](TComponent*, bool& canClose) { canClose = false; };
  form.Close();
  EXPECT_TRUE(form.Visible());
  form.Hide();
}

TEST_F(FormsWin, InitFromResourceReadsThenRunsOnCreate) {
  std::vector<std::string> order;
  TCustomForm::ResourceReader = [](TCustomForm* f) {
    EXPECT_TRUE(f->HasState(csLoading));
    f->SetCaption(u"read");
  };
  TForm form(nullptr);
  form.OnCreate = [&](TComponent*) {
    EXPECT_FALSE(form.HasState(csLoading));
    EXPECT_EQ(form.Caption(), u"read");
    order.push_back("create");
  };
  form.InitFromResource();
  EXPECT_EQ(order, std::vector<std::string>{"create"});
}

TEST_F(FormsWin, AnExceptionInOnCreateGoesToTheHandler) {
  std::string caught;
  Application->OnException = [&](TComponent*, const std::exception& e) { caught = e.what(); };
  TForm form(nullptr);
  form.OnCreate = [](TComponent*) { throw Exception("create failed"); };
  form.InitFromResource();
  EXPECT_EQ(caught, "create failed");
}

TEST_F(FormsWin, MethodsAreFoundByNameWithoutRegardToCase) {
  TForm form(nullptr);
  int calls = 0;
  form.RegisterMethod("FormCreate", [&](TComponent*) { ++calls; });
  ASSERT_TRUE(form.FindMethod("formcreate"));
  form.FindMethod("FORMCREATE")(&form);
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(form.FindMethod("FormShow"));
  EXPECT_EQ(FormResourceName("TfrmStage"), "TFRMSTAGE");
}

TEST_F(FormsWin, TheFormReaderSetsPublishedPropertiesAndEvents) {
  const char* text =
      "object Form1: TForm\n"
      "  Left = 40\n  Top = 50\n  Width = 420\n  Height = 310\n"
      "  Caption = 'Kribbel '#65288#36719#20214#65289\n"
      "  Color = clBtnFace\n"
      "  Font.Charset = DEFAULT_CHARSET\n  Font.Color = clWindowText\n"
      "  Font.Height = -11\n  Font.Name = 'MS Sans Serif'\n  Font.Style = [fsBold]\n"
      "  OldCreateOrder = False\n  OnCreate = FormCreate\n  OnShow = FormShow\n"
      "  PixelsPerInch = 96\n  TextHeight = 13\n"
      "end\n";
  TForm form(nullptr);
  int creates = 0, shows = 0;
  form.RegisterMethod("FormCreate", [&](TComponent*) { ++creates; });
  form.RegisterMethod("FormShow", [&](TComponent*) { ++shows; });
  ReadForm(&form, ParseTextForm(text));
  EXPECT_EQ(form.BoundsRect(), Rect(40, 50, 460, 360));
  EXPECT_EQ(form.Caption(), u"Kribbel （软件）");
  EXPECT_EQ(form.Color(), clBtnFace);
  EXPECT_EQ(form.Font().Name(), "MS Sans Serif");
  EXPECT_EQ(form.Font().Style(), FontStyleBit(fsBold));
  EXPECT_EQ(form.Font().Height(), -11);
  EXPECT_EQ(form.TextHeight(), 13);
  ASSERT_TRUE(form.OnCreate);
  form.OnCreate(&form);
  EXPECT_EQ(creates, 1);
  EXPECT_EQ(form.EventHandlerName("OnShow"), "FormShow");

  // Written back, the colour and charset travel as identifiers.
  std::string written = FormToText(WriteForm(&form));
  EXPECT_NE(written.find("Color = clBtnFace"), std::string::npos) << written;
  EXPECT_NE(written.find("OnCreate = FormCreate"), std::string::npos) << written;
}

TEST_F(FormsWin, AnEventNamingAnUnknownMethodIsAReadError) {
  TForm form(nullptr);
  EXPECT_THROW(ReadForm(&form, ParseTextForm("object Form1: TForm\n  OnCreate = Missing\nend\n")),
               EReadError);
}

}  // namespace
