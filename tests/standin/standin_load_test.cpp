// LoadMovie: the URL is fetched through the container's bind host and the
// bytes arrive through the control's own callback.
#include "standin_support.h"

#include <oleauto.h>

using namespace standin_test;

namespace {

struct TLoadedControl {
  ComPtr<IOleObject> Control = CreateControl();
  ComPtr<TFakeSite> Site = Adopt(new TFakeSite);
  ComPtr<TEventSink> Sink = Adopt(new TEventSink);
  ComPtr<IConnectionPoint> Events;
  DWORD Cookie = 0;

  TLoadedControl() {
    EXPECT_EQ(Control->SetClientSite(Site.Get()), S_OK);
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(Control.As(&container), S_OK);
    EXPECT_EQ(container->FindConnectionPoint(DIID_IFlashEvents, &Events), S_OK);
    EXPECT_EQ(Events->Advise(static_cast<IDispatch*>(Sink.Get()), &Cookie), S_OK);
  }
  ~TLoadedControl() {
    Events->Unadvise(Cookie);
    Control->Close(OLECLOSE_NOSAVE);
    Control->SetClientSite(nullptr);
  }
  HRESULT LoadByName(long layer, const wchar_t* url) {
    ComPtr<IDispatch> dispatch;
    Control.As(&dispatch);
    VARIANT text = TextVariant(url);
    const HRESULT hr = CallMethod(dispatch.Get(), L"LoadMovie", {IntVariant(layer), text}, nullptr);
    VariantClear(&text);
    return hr;
  }
  std::vector<uint8_t> Received() {
    ULONG size = 0;
    ComPtr<IStandinTest> test = TestInterface(Control.Get());
    const HRESULT hr = test->GetReceivedBytes(0, nullptr, &size);
    EXPECT_EQ(hr, size ? HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER) : S_OK);
    std::vector<uint8_t> bytes(size);
    EXPECT_EQ(test->GetReceivedBytes(size, bytes.data(), &size), S_OK);
    return bytes;
  }
};

TEST_F(StandinTest, LoadMovieFetchesThroughTheBindHost) {
  std::vector<uint8_t> movie = MovieBytes(550, 400, 12, 300);
  {
    TLoadedControl loaded;
    loaded.Site->Delivery.Bytes = movie;
    const RECT bounds{0, 0, 200, 100};
    ASSERT_EQ(loaded.Control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, loaded.Site.Get(), 0, nullptr, &bounds), S_OK);
    loaded.Site->Calls.clear();
    ASSERT_EQ(TestInterface(loaded.Control.Get())->ClearJournal(), S_OK);

    ASSERT_EQ(loaded.LoadByName(0, L"http://zzz/<stream>0000ABCD.swf"), S_OK);

    const std::vector<std::wstring> siteCalls = {
        L"QueryService(SID_SBindHost, IID_IBindHost)",
        L"CreateMoniker(\"http://zzz/<stream>0000ABCD.swf\")", L"BindToStorage", L"InvalidateRect(null)"};
    EXPECT_EQ(loaded.Site->Calls, siteCalls);
    const std::wstring crc = HexText(Crc32(movie));
    const std::vector<std::wstring> expected = {
        L"GetIDsOfNames(\"LoadMovie\")",
        L"LoadMovie(0, \"http://zzz/<stream>0000ABCD.swf\")",
        L"Fire(-609, 1)",
        L"site.QueryInterface(IServiceProvider) -> 0x00000000",
        L"site.QueryService(SID_SBindHost, IID_IBindHost) -> 0x00000000",
        L"bindHost.CreateMoniker(\"http://zzz/<stream>0000ABCD.swf\") -> 0x00000000",
        L"OnStartBinding(null)",
        L"OnProgress(100, 100, 6, \"\")",
        L"Fire(1958, 100)",
        L"OnDataAvailable(5, 300, read 300, crc " + crc + L") -> 0x00000000",
        L"OnStopBinding(0x00000000, \"\")",
        L"Loaded(0, \"http://zzz/<stream>0000ABCD.swf\", 300 bytes, crc " + crc + L")",
        L"Fire(-609, 4)",
        L"site.InvalidateRect(null) -> 0x00000000",
        L"moniker.BindToStorage() -> 0x00000000"};
    EXPECT_EQ(Journal(loaded.Control.Get()), expected);
    const std::vector<std::wstring> events = {L"Invoke(-609, 1)", L"Invoke(1958, 100)", L"Invoke(-609, 4)"};
    EXPECT_EQ(loaded.Sink->Calls, events);
    EXPECT_EQ(loaded.Received(), movie);

    // The movie's properties follow.
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(loaded.Control.As(&dispatch), S_OK);
    VARIANT value;
    ASSERT_EQ(GetProperty(dispatch.Get(), 102, value), S_OK);
    EXPECT_STREQ(V_BSTR(&value), L"http://zzz/<stream>0000ABCD.swf");
    VariantClear(&value);
    ASSERT_EQ(GetProperty(dispatch.Get(), -525, value), S_OK);
    EXPECT_EQ(V_I4(&value), 4);
    ASSERT_EQ(GetProperty(dispatch.Get(), 124, value), S_OK);
    EXPECT_EQ(V_I4(&value), 12);
  }
}

TEST_F(StandinTest, LoadsIntoLayersAndOfEverySize) {
  const struct {
    const char* Case;
    long Layer;
    size_t Size;
  } rows[] = {{"empty movie", 0, 0}, {"header only", 1, 8}, {"large", 0, 200000}, {"volume layer", 1, 167}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    TLoadedControl loaded;
    std::vector<uint8_t> bytes = row.Size ? MovieBytes(100, 80, 1, row.Size) : std::vector<uint8_t>{};
    bytes.resize(row.Size);
    loaded.Site->Delivery.Bytes = bytes;
    ASSERT_EQ(loaded.LoadByName(row.Layer, L"http://zzz/a.swf"), S_OK);
    EXPECT_EQ(loaded.Received(), bytes);
    const std::vector<std::wstring> data = JournalOf(loaded.Control.Get(), {L"OnDataAvailable", L"Loaded"});
    const std::wstring crc = HexText(Crc32(bytes));
    const std::vector<std::wstring> expected = {
        L"OnDataAvailable(5, " + std::to_wstring(row.Size) + L", read " + std::to_wstring(row.Size) + L", crc " +
            crc + L") -> 0x00000000",
        L"Loaded(" + std::to_wstring(row.Layer) + L", \"http://zzz/a.swf\", " + std::to_wstring(row.Size) +
            L" bytes, crc " + crc + L")"};
    EXPECT_EQ(data, expected);
  }
}

TEST_F(StandinTest, FailedFetchesAreReportedNotCrashed) {
  const struct {
    const char* Case;
    bool OffersServices;
    DWORD Tymed;
    HRESULT StopResult;
    std::wstring Failure;
  } rows[] = {
      {"no service provider", false, TYMED_ISTREAM, S_OK, L"LoadFailed(0, " + HexText(E_NOINTERFACE) + L")"},
      {"no medium", true, 0, S_OK, L"LoadFailed(0, " + HexText(E_INVALIDARG) + L")"},
      {"unknown medium", true, TYMED_FILE, S_OK, L"LoadFailed(0, " + HexText(DV_E_TYMED) + L")"},
      {"binding failed", true, TYMED_ISTREAM, INET_E_DOWNLOAD_FAILURE,
       L"LoadFailed(0, " + HexText(INET_E_DOWNLOAD_FAILURE) + L")"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Case);
    TLoadedControl loaded;
    loaded.Site->OffersServices = row.OffersServices;
    loaded.Site->Delivery.Bytes = MovieBytes(10, 10, 1, 50);
    loaded.Site->Delivery.Tymed = row.Tymed;
    loaded.Site->Delivery.StopResult = row.StopResult;
    // Like the real control, LoadMovie itself succeeds; the fetch fails.
    EXPECT_EQ(loaded.LoadByName(0, L"http://zzz/x.swf"), S_OK);
    EXPECT_EQ(JournalOf(loaded.Control.Get(), {L"LoadFailed", L"Loaded"}), std::vector<std::wstring>{row.Failure});
    // Ready state stays at loading.
    EXPECT_EQ(JournalOf(loaded.Control.Get(), {L"Fire(-609"}).back(), L"Fire(-609, 1)");
  }
}

TEST_F(StandinTest, LoadMovieRefusesBadArgumentsAndUnloadsOnEmptyUrl) {
  TLoadedControl loaded;
  ComPtr<IFlashScripting> flash;
  ASSERT_EQ(loaded.Control.As(&flash), S_OK);
  BSTR url = SysAllocString(L"a.swf");
  EXPECT_EQ(flash->LoadMovie(-1, url), E_INVALIDARG);
  SysFreeString(url);
  EXPECT_EQ(flash->LoadMovie(0, nullptr), S_OK);
  EXPECT_TRUE(loaded.Site->Calls.empty());
  // A layer that is not a number.
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(loaded.Control.As(&dispatch), S_OK);
  VARIANT layer = TextVariant(L"top"), text = TextVariant(L"a.swf");
  UINT argError = 99;
  VARIANT args[] = {text, layer};  // reversed
  DISPPARAMS params{args, nullptr, 2, 0};
  EXPECT_EQ(dispatch->Invoke(IdOfName(dispatch.Get(), L"LoadMovie"), IID_NULL, 0, DISPATCH_METHOD, &params,
                             nullptr, nullptr, &argError),
            DISP_E_TYPEMISMATCH);
  EXPECT_EQ(argError, 1u);
  VariantClear(&layer);
  VariantClear(&text);
}

}  // namespace
