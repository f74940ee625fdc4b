// Windowless activation through a fake site, and drawing into a memory DC.
#include "standin_support.h"

#include <oleauto.h>

using namespace standin_test;

namespace {

TEST_F(StandinTest, InPlaceActivationIsWindowlessThroughTheSite) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<TFakeSite> site = Adopt(new TFakeSite);
  ASSERT_EQ(control->SetClientSite(site.Get()), S_OK);
  const RECT bounds{10, 20, 110, 70};
  ASSERT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, &bounds), S_OK);
  const std::vector<std::wstring> expected = {
      L"CanInPlaceActivate", L"CanWindowlessActivate",
      L"OnInPlaceActivateEx(" + std::to_wstring(ACTIVATE_WINDOWLESS) + L")",
      L"GetWindowContext(cb " + std::to_wstring(sizeof(OLEINPLACEFRAMEINFO)) + L")"};
  EXPECT_EQ(site->Calls, expected);

  // Windowless: no window of its own.
  ComPtr<IOleInPlaceObjectWindowless> windowless;
  ASSERT_EQ(control.As(&windowless), S_OK);
  HWND window = reinterpret_cast<HWND>(0x1234);
  EXPECT_EQ(windowless->GetWindow(&window), E_FAIL);
  EXPECT_EQ(window, nullptr);
  LRESULT result = 7;
  EXPECT_EQ(windowless->OnWindowMessage(WM_SETFOCUS, 0, 0, &result), S_OK);
  EXPECT_EQ(result, 0);
  const RECT rect{0, 0, 300, 200};
  EXPECT_EQ(windowless->SetObjectRects(&rect, &rect), S_OK);
  EXPECT_EQ(windowless->SetObjectRects(nullptr, &rect), E_INVALIDARG);
  // A second activation changes nothing; Close deactivates through the site.
  site->Calls.clear();
  EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, &bounds), S_OK);
  EXPECT_TRUE(site->Calls.empty());
  EXPECT_EQ(control->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(site->Calls, std::vector<std::wstring>{L"OnInPlaceDeactivate"});
  EXPECT_EQ(control->SetClientSite(nullptr), S_OK);

  const std::vector<std::wstring> journal =
      JournalOf(control.Get(), {L"DoVerb", L"site.", L"SetObjectRects", L"OnWindowMessage", L"Close",
                                L"InPlaceDeactivate"});
  const std::vector<std::wstring> expectedJournal = {
      L"DoVerb(-5, 0, null, 10 20 110 70)",
      L"site.QueryInterface(IOleInPlaceSiteWindowless) -> 0x00000000",
      L"site.CanInPlaceActivate() -> 0x00000000",
      L"site.CanWindowlessActivate() -> 0x00000000",
      L"site.OnInPlaceActivateEx(1) -> 0x00000000",
      L"site.GetWindowContext(10 20 110 70, 0 0 32767 32767) -> 0x00000000",
      L"OnWindowMessage(0x00000007, 0, 0)",
      L"SetObjectRects(0 0 300 200, 0 0 300 200)",
      L"SetObjectRects(null, 0 0 300 200)",
      L"DoVerb(-5, 0, null, 10 20 110 70)",
      L"Close(1)",
      L"InPlaceDeactivate()",
      L"site.OnInPlaceDeactivate() -> 0x00000000"};
  EXPECT_EQ(journal, expectedJournal);
  windowless.Reset();
  EXPECT_EQ(control.Reset(), 0u);
  EXPECT_EQ(site.Reset(), 0u);
}

TEST_F(StandinTest, NoActivationWhenTheSiteRefuses) {
  const struct {
    const char* Case;
    HRESULT CanWindowless;
    HRESULT WindowContext;
    HRESULT Expected;
    std::vector<std::wstring> Calls;
  } rows[] = {
      {"windowless refused", S_FALSE, S_OK, E_FAIL, {L"CanInPlaceActivate", L"CanWindowlessActivate"}},
      {"no window context", S_OK, E_UNEXPECTED, E_UNEXPECTED,
       {L"CanInPlaceActivate", L"CanWindowlessActivate", L"OnInPlaceActivateEx(1)",
        L"GetWindowContext(cb " + std::to_wstring(sizeof(OLEINPLACEFRAMEINFO)) + L")",
        L"OnInPlaceDeactivate"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    ComPtr<IOleObject> control = CreateControl();
    ComPtr<TFakeSite> site = Adopt(new TFakeSite);
    site->CanWindowlessResult = row.CanWindowless;
    site->WindowContextResult = row.WindowContext;
    ASSERT_EQ(control->SetClientSite(site.Get()), S_OK);
    EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site.Get(), 0, nullptr, nullptr), row.Expected);
    EXPECT_EQ(site->Calls, row.Calls);
    // Not active: a repaint request has nowhere to go.
    EXPECT_EQ(TestInterface(control.Get())->RequestRepaint(nullptr), OLE_E_NOT_INPLACEACTIVE);
    EXPECT_EQ(control->SetClientSite(nullptr), S_OK);
  }
  // No site at all.
  ComPtr<IOleObject> control = CreateControl();
  EXPECT_EQ(control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr), E_INVALIDARG);
}

// A 32-bit top-down DIB section filled with a marker colour.
struct TCanvas {
  static constexpr int KWidth = 64, KHeight = 48;
  static constexpr uint32_t KMarker = 0x00123456;
  HDC Dc = CreateCompatibleDC(nullptr);
  uint32_t* Pixels = nullptr;
  HBITMAP Bitmap = nullptr;
  HGDIOBJ Old = nullptr;
  TCanvas() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = KWidth;
    info.bmiHeader.biHeight = -KHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    Bitmap = CreateDIBSection(Dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&Pixels), nullptr, 0);
    Old = SelectObject(Dc, Bitmap);
    for (int i = 0; i < KWidth * KHeight; ++i) Pixels[i] = KMarker;
  }
  ~TCanvas() {
    SelectObject(Dc, Old);
    DeleteObject(Bitmap);
    DeleteDC(Dc);
  }
  uint32_t At(int x, int y) const { return Pixels[y * KWidth + x] & 0x00FFFFFF; }
};

TEST_F(StandinTest, DrawsInsideTheBoundsOnly) {
  const struct {
    const char* Case;
    const wchar_t* WMode;
    DWORD Aspect;
  } rows[] = {{"opaque", L"Window", DVASPECT_CONTENT}, {"transparent", L"Transparent", DVASPECT_TRANSPARENT}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    ComPtr<IOleObject> control = CreateControl();
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(control.As(&dispatch), S_OK);
    VARIANT mode = TextVariant(row.WMode);
    ASSERT_EQ(PutProperty(dispatch.Get(), 133, mode), S_OK);
    VariantClear(&mode);
    ASSERT_EQ(PutProperty(dispatch.Get(), 123, IntVariant(0x00FF00)), S_OK);  // green, 0xRRGGBB
    ComPtr<IViewObject> view;
    ASSERT_EQ(control.As(&view), S_OK);
    TCanvas canvas;
    const RECTL bounds{8, 6, 56, 40};
    ASSERT_EQ(view->Draw(row.Aspect, -1, nullptr, nullptr, nullptr, canvas.Dc, &bounds, nullptr, nullptr, 0), S_OK);
    GdiFlush();
    bool changedInside = false;
    for (int y = 0; y < TCanvas::KHeight; ++y)
      for (int x = 0; x < TCanvas::KWidth; ++x) {
        const bool inside = x >= bounds.left && x < bounds.right && y >= bounds.top && y < bounds.bottom;
        if (!inside) ASSERT_EQ(canvas.At(x, y), TCanvas::KMarker) << x << "," << y;
        else changedInside |= canvas.At(x, y) != TCanvas::KMarker;
      }
    EXPECT_TRUE(changedInside);
    // The frame is the background colour; the bottom-right corner holds no text.
    EXPECT_EQ(canvas.At(bounds.left, bounds.top), 0x00FF00u);
    EXPECT_EQ(canvas.At(bounds.right - 1, bounds.bottom - 1), 0x00FF00u);
    // Opaque fills the stage, transparent leaves its inside alone.
    EXPECT_EQ(canvas.At(bounds.right - 3, bounds.bottom - 3),
              row.Aspect == DVASPECT_CONTENT ? 0x00FF00u : TCanvas::KMarker);
  }
}

TEST_F(StandinTest, DrawRefusesWhatItCannotDraw) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IViewObject> view;
  ASSERT_EQ(control.As(&view), S_OK);
  TCanvas canvas;
  const RECTL bounds{0, 0, 10, 10};
  EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, canvas.Dc, &bounds, nullptr, nullptr, 0),
            DV_E_DVASPECT);
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, &bounds, nullptr, nullptr, 0),
            E_INVALIDARG);
  // No bounds and not in place: nowhere to draw.
  EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, canvas.Dc, nullptr, nullptr, nullptr, 0),
            E_INVALIDARG);
  EXPECT_EQ(canvas.At(0, 0), TCanvas::KMarker);
}

}  // namespace
