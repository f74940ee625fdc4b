// Controls: painting of graphic children, mouse routing, alignment, canvases.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/application_win.h"
#include "win/forms_unit_fixture.h"
#include "graphics/mv_bitmap.h"

namespace {

class ControlsWin : public TFormsUnitTest {};

// Fills far beyond its bounds in red and marks its own (0, 0) in blue: what
// lands outside shows a missing clip, where the blue lands shows the origin.
class TProbe : public TGraphicControl {
public:
  int Paints = 0;
  bool Throw = false;
  std::vector<std::string> Events;
  using TGraphicControl::TGraphicControl;

protected:
  void Paint() override {
    ++Paints;
    if (Throw) throw Exception("paint failed");
    Canvas().Brush().SetColor(clRed);
    Canvas().FillRect(Rect(-500, -500, 500, 500));
    Canvas().Brush().SetColor(clBlue);
    Canvas().FillRect(Rect(0, 0, 1, 1));
  }
  void MouseDown(TMouseButton, TShiftState, int x, int y) override {
    Events.push_back("down " + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseUp(TMouseButton, TShiftState, int x, int y) override {
    Events.push_back("up " + std::to_string(x) + "," + std::to_string(y));
  }
  void MouseMove(TShiftState, int x, int y) override {
    Events.push_back("move " + std::to_string(x) + "," + std::to_string(y));
  }
  void Click() override { Events.push_back("click"); }
};

COLORREF PixelOf(const TmvBitmap& b, int x, int y) {
  TmvColor c = *b.PixelPtr(x, y);
  return RGB((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF);
}

TEST_F(ControlsWin, PaintToPaintsGraphicChildrenClippedAtTheirOrigin) {
  struct Row { bool Form; int X, Y; int Border; };
  // A captioned form has a plain border of one pixel; a bare control none.
  const Row rows[] = {{false, 0, 0, 0}, {false, 5, 7, 0}, {true, 0, 0, 1}, {true, 3, 2, 1}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.Form) + " " + std::to_string(r.X) + "," + std::to_string(r.Y));
    TWinControl* root = r.Form ? static_cast<TWinControl*>(new TForm(nullptr))
                               : new TWinControl(nullptr);
    root->SetBounds(0, 0, 100, 100);
    root->SetColor(clWhite);
    auto* probe = new TProbe(root);
    probe->SetBounds(10, 20, 30, 40);
    probe->SetParent(root);
    TmvBitmap surface;
    surface.SetSize(120, 120);
    surface.Fill(MakeColor(clBlack, 255));
    root->PaintTo(surface.DC(), r.X, r.Y);
    GdiFlush();
    int ox = r.X + r.Border + 10, oy = r.Y + r.Border + 20;
    EXPECT_EQ(PixelOf(surface, ox, oy), RGB(0, 0, 255));
    EXPECT_EQ(PixelOf(surface, ox + 1, oy + 1), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(surface, ox + 29, oy + 39), RGB(255, 0, 0));
    EXPECT_EQ(PixelOf(surface, ox - 1, oy), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(surface, ox + 30, oy), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(surface, ox, oy + 40), RGB(255, 255, 255));
    EXPECT_EQ(PixelOf(surface, ox, oy - 1), RGB(255, 255, 255));
    EXPECT_EQ(probe->Paints, 1);
    delete root;  // frees the probe with it
  }
}

TEST_F(ControlsWin, InvisibleGraphicChildrenAreNotPainted) {
  TWinControl root(nullptr);
  root.SetBounds(0, 0, 50, 50);
  root.SetColor(clWhite);
  auto* probe = new TProbe(nullptr);
  probe->SetBounds(0, 0, 10, 10);
  probe->SetParent(&root);
  probe->SetVisible(false);
  TmvBitmap surface;
  surface.SetSize(50, 50);
  root.PaintTo(surface.DC(), 0, 0);
  GdiFlush();
  EXPECT_EQ(probe->Paints, 0);
  EXPECT_EQ(PixelOf(surface, 0, 0), RGB(255, 255, 255));
}

struct TMouseStage {
  TForm* Form;
  TProbe* Lower;
  TProbe* Upper;
  std::vector<std::string> FormEvents;
};

TEST_F(ControlsWin, MouseMessagesReachTheTopmostGraphicChildInItsCoordinates) {
  struct Row { int X, Y; int Target; const char* Expected; };  // target 0 form, 1 lower, 2 upper
  const Row rows[] = {{15, 15, 1, "down 5,5"},  {40, 40, 2, "down 10,10"},
                      {79, 79, 2, "down 49,49"}, {5, 5, 0, "down 5,5"},
                      {59, 20, 1, "down 49,10"}, {80, 80, 0, "down 80,80"}};
  for (const Row& r : rows) {
    SCOPED_TRACE(std::to_string(r.X) + "," + std::to_string(r.Y));
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 300);
    auto* lower = new TProbe(&form);
    lower->SetBounds(10, 10, 50, 50);
    lower->SetParent(&form);
    auto* upper = new TProbe(&form);
    upper->SetBounds(30, 30, 50, 50);
    upper->SetParent(&form);
    std::vector<std::string> formEvents;
    form.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int x, int y) {
      formEvents.push_back("down " + std::to_string(x) + "," + std::to_string(y));
    };
    SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(r.X, r.Y));
    SendMessageW(form.Handle(), WM_LBUTTONUP, 0, MakeMouseLParam(r.X, r.Y));
    const std::vector<std::string>& got =
        r.Target == 0 ? formEvents : (r.Target == 1 ? lower->Events : upper->Events);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got[0], r.Expected);
    size_t others = formEvents.size() + lower->Events.size() + upper->Events.size() - got.size();
    EXPECT_EQ(others, 0u);
  }
}

TEST_F(ControlsWin, AChildKeepsTheMouseWhileAButtonIsHeld) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 300, 300);
  auto* probe = new TProbe(&form);
  probe->SetBounds(10, 10, 50, 50);
  probe->SetParent(&form);
  int formMoves = 0;
  form.OnMouseMove = [&](TComponent*, TShiftState, int, int) { ++formMoves; };
  HWND wnd = form.Handle();
  SendMessageW(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(20, 20));
  SendMessageW(wnd, WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(200, 150));
  SendMessageW(wnd, WM_LBUTTONUP, 0, MakeMouseLParam(200, 150));
  SendMessageW(wnd, WM_MOUSEMOVE, 0, MakeMouseLParam(200, 150));
  const std::vector<std::string> expected = {"down 10,10", "move 190,140", "up 190,140"};
  EXPECT_EQ(probe->Events, expected);  // released outside: no click
  EXPECT_EQ(formMoves, 1);
  EXPECT_NE(GetCapture(), wnd);
}

TEST_F(ControlsWin, PressAndReleaseOverAChildClickIt) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* probe = new TProbe(&form);
  probe->SetBounds(10, 10, 50, 50);
  probe->SetParent(&form);
  SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(20, 20));
  SendMessageW(form.Handle(), WM_LBUTTONUP, 0, MakeMouseLParam(25, 25));
  const std::vector<std::string> expected = {"down 10,10", "up 15,15", "click"};
  EXPECT_EQ(probe->Events, expected);
}

TEST_F(ControlsWin, HiddenAndDisabledChildrenLetTheMouseThrough) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* hidden = new TProbe(&form);
  hidden->SetBounds(0, 0, 100, 100);
  hidden->SetParent(&form);
  hidden->SetVisible(false);
  auto* disabled = new TProbe(&form);
  disabled->SetBounds(0, 0, 100, 100);
  disabled->SetParent(&form);
  disabled->SetEnabled(false);
  int formDowns = 0;
  form.OnMouseDown = [&](TComponent*, TMouseButton, TShiftState, int, int) { ++formDowns; };
  SendMessageW(form.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(50, 50));
  SendMessageW(form.Handle(), WM_LBUTTONUP, 0, MakeMouseLParam(50, 50));
  EXPECT_EQ(formDowns, 1);
  EXPECT_TRUE(hidden->Events.empty());
  EXPECT_TRUE(disabled->Events.empty());
}

TEST_F(ControlsWin, ClientAlignedChildFollowsItsParent) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 400, 300);
  auto* probe = new TProbe(&form);
  probe->SetBounds(5, 5, 10, 10);
  probe->SetParent(&form);
  probe->SetAlign(TAlign::alClient);
  auto expectFilled = [&](const char* when) {
    SCOPED_TRACE(when);
    EXPECT_EQ(probe->BoundsRect(), Rect(0, 0, form.ClientWidth(), form.ClientHeight()));
  };
  expectFilled("before the window");
  form.SetClientWidth(500);
  expectFilled("client width without the window");
  form.HandleNeeded();
  expectFilled("window created");
  form.SetBounds(0, 0, 640, 480);
  expectFilled("SetBounds");
  SetWindowPos(form.Handle(), nullptr, 0, 0, 333, 222, SWP_NOZORDER | SWP_NOMOVE);
  expectFilled("resized from outside");
  EXPECT_EQ(form.Width(), 333);
  form.SetClientHeight(150);
  expectFilled("client height");
  EXPECT_EQ(probe->Height(), 150);
  probe->SetBounds(1, 1, 2, 2);  // an aligned control cannot leave its place
  expectFilled("child moved");
}

TEST_F(ControlsWin, OtherAlignmentsShareTheClientArea) {
  TWinControl root(nullptr);
  root.SetBounds(0, 0, 200, 100);
  struct Row { TAlign Align; int W, H; TRect Expected; };
  const Row rows[] = {{TAlign::alTop, 0, 10, Rect(0, 0, 200, 10)},
                      {TAlign::alBottom, 0, 20, Rect(0, 80, 200, 100)},
                      {TAlign::alLeft, 30, 0, Rect(0, 10, 30, 80)},
                      {TAlign::alRight, 40, 0, Rect(160, 10, 200, 80)},
                      {TAlign::alClient, 0, 0, Rect(30, 10, 160, 80)}};
  std::vector<TProbe*> probes;
  for (const Row& r : rows) {
    auto* p = new TProbe(nullptr);
    p->SetBounds(0, 0, r.W, r.H);
    p->SetAlign(r.Align);
    p->SetParent(&root);
    probes.push_back(p);
  }
  for (size_t i = 0; i < probes.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(probes[i]->BoundsRect(), rows[i].Expected);
  }
}

TEST_F(ControlsWin, CanvasOutsidePaintingUsesTheParentDCAtTheControl) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* probe = new TProbe(&form);
  probe->SetBounds(12, 34, 50, 50);
  probe->SetParent(&form);
  EXPECT_THROW(probe->Canvas().Handle(), EInvalidGraphicOperation);  // no parent window yet
  form.HandleNeeded();
  HDC dc = probe->Canvas().Handle();
  ASSERT_NE(dc, nullptr);
  POINT org{};
  GetViewportOrgEx(dc, &org);
  EXPECT_EQ(org.x, 12);
  EXPECT_EQ(org.y, 34);
  RECT clip{};
  ASSERT_NE(GetClipBox(dc, &clip), ERROR);
  EXPECT_LE(clip.right, 50);
  EXPECT_LE(clip.bottom, 50);
  FreeDeviceContexts();
  EXPECT_FALSE(probe->Canvas().HandleAllocated());
}

TEST_F(ControlsWin, WmPaintPaintsGraphicChildrenAndContainsTheirExceptions) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 200, 200);
  auto* probe = new TProbe(&form);
  probe->SetBounds(0, 0, 50, 50);
  probe->SetParent(&form);
  form.Show();
  probe->Paints = 0;
  probe->Invalidate();
  UpdateWindow(form.Handle());
  EXPECT_EQ(probe->Paints, 1);
  EXPECT_FALSE(probe->Canvas().HandleAllocated());  // the paint DC is not kept

  std::string caught;
  Application->OnException = [&](TComponent*, const std::exception& e) { caught = e.what(); };
  probe->Throw = true;
  probe->Invalidate();
  UpdateWindow(form.Handle());
  EXPECT_EQ(caught, "paint failed");
  form.Hide();
}

TEST_F(ControlsWin, ParentColorAndFontFollowTheParent) {
  TForm form(nullptr);
  auto* probe = new TProbe(&form);
  probe->SetParent(&form);
  EXPECT_EQ(probe->Color(), clBtnFace);
  form.SetColor(clRed);
  EXPECT_EQ(probe->Color(), clRed);
  form.Font().SetName("Arial");
  EXPECT_EQ(probe->Font().Name(), "Arial");
  probe->SetColor(clLime);
  EXPECT_FALSE(probe->ParentColor());
  form.SetColor(clBlue);
  EXPECT_EQ(probe->Color(), clLime);
}

TEST_F(ControlsWin, PerformRunsTheWindowProcedurePath) {
  TProbe probe(nullptr);
  probe.SetBounds(0, 0, 10, 10);
  probe.Perform(WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(3, 4));
  ASSERT_EQ(probe.Events.size(), 1u);
  EXPECT_EQ(probe.Events[0], "down 3,4");
}

}  // namespace
