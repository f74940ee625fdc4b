// The control host against the stand-in control through real COM: call
// order from the stand-in's journal, property and event round trips, the
// site's answers, persistence, and the path without a registered control.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "flash/ole_control_win.h"
#include "framework/application_win.h"
#include "framework/exceptions.h"
#include "framework/form_win.h"
#include "framework/forms_unit_win.h"
#include "graphics/mv_bitmap.h"
#include "standin/standin_interfaces.h"

using Microsoft::WRL::ComPtr;

namespace {

const DISPID KFlashEvents[] = {-609, 1958, 150, 197};
const TmvControlData KFlashData{CLSID_FlashStandin, DIID_IFlashEvents, 4, KFlashEvents};
// A class that nobody registers.
const CLSID KMissingClass = {0x5B0D3C11, 0x8E2A, 0x4F6B, {0x9A, 0x61, 0x2C, 0x7E, 0x0F, 0x44, 0xD1, 0x93}};
const TmvControlData KMissingData{KMissingClass, DIID_IFlashEvents, 4, KFlashEvents};

// A host as the player is: activated inside its constructor.
class TTestHost : public TmvOleControl {
public:
  TTestHost(TComponent* owner, const TmvControlData& data, bool activate)
      : TmvOleControl(owner, data) {
    if (activate) ActivateControl();
  }
  using TmvOleControl::DefineProperties;
  using TmvOleControl::DispatchControlEvent;
  using TmvOleControl::Paint;
};

// The stand-in DLL next to the build tree's test programs.
std::string FindStandin() {
#ifdef FLASHSTANDIN_DLL
  // The build names it; Wine sees the machine's root as drive Z:.
  return std::string("Z:") + FLASHSTANDIN_DLL;
#else
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir = path;
  for (int up = 0; up < 6; ++up) {
    size_t slash = dir.find_last_of("\\/");
    if (slash == std::string::npos) break;
    dir.erase(slash);
    std::string candidate = dir + "\\standin\\flashstandin.dll";
    if (GetFileAttributesA(candidate.c_str()) != INVALID_FILE_ATTRIBUTES) return candidate;
  }
  return {};
#endif
}

using TServerCall = HRESULT(STDAPICALLTYPE*)();

HRESULT CallExport(HMODULE module, const char* name) {
  auto call = reinterpret_cast<TServerCall>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return call ? call() : E_NOTIMPL;
}

// Units, COM and the registration of the stand-in; the registration is shared
// with the other test programs, so it is held for the whole test.
class TOleHostTest : public testing::Test {
protected:
  HANDLE FMutex = nullptr;
  HMODULE FStandin = nullptr;
  bool FFormsStarted = false;
  TForm* FForm = nullptr;

  void SetUp() override {
    if (!Application) {
      InitializeFormsUnit();
      FFormsStarted = true;
    }
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    FMutex = CreateMutexW(nullptr, FALSE, L"KribbelStandinRegistration");
    ASSERT_NE(FMutex, nullptr);
    WaitForSingleObject(FMutex, INFINITE);
    FForm = new TForm(nullptr);
    FForm->SetBounds(0, 0, 400, 300);
  }

  void TearDown() override {
    delete FForm;
    CoFreeUnusedLibraries();
    if (FStandin) {
      CallExport(FStandin, "DllUnregisterServer");
      FreeLibrary(FStandin);
    }
    if (FMutex) {
      ReleaseMutex(FMutex);
      CloseHandle(FMutex);
    }
    OleUninitialize();
    if (FFormsStarted) FinalizeFormsUnit();
  }

  bool RegisterStandin() {
    std::string dll = FindStandin();
    if (dll.empty()) return false;
    FStandin = LoadLibraryA(dll.c_str());
    return FStandin && CallExport(FStandin, "DllRegisterServer") == S_OK;
  }
};

class TStandinHostTest : public TOleHostTest {
protected:
  void SetUp() override {
    TOleHostTest::SetUp();
#ifdef FLASHSTANDIN_DLL
    ASSERT_TRUE(RegisterStandin()) << "the stand-in control " << FindStandin() << " does not register";
#else
    if (!RegisterStandin()) GTEST_SKIP() << "the stand-in control is not built";
#endif
  }
};

ComPtr<IStandinTest> TestOf(TmvOleControl& host) {
  ComPtr<IStandinTest> test;
  if (host.OleObject()) host.OleObject()->QueryInterface(IID_IStandinTest, &test);
  return test;
}

std::vector<std::wstring> Journal(IStandinTest* test) {
  std::vector<std::wstring> lines;
  ULONG count = 0;
  test->GetJournalCount(&count);
  for (ULONG i = 0; i < count; ++i) {
    BSTR line = nullptr;
    if (test->GetJournalLine(i, &line) == S_OK) lines.emplace_back(line, SysStringLen(line));
    SysFreeString(line);
  }
  return lines;
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
  std::wstring all;
  for (const auto& line : lines) all += line + L"\n";
  return all;
}

std::string Narrow(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) out += c < 128 ? char(c) : '?';
  return out;
}

// Each prefix must start a line after the line of the one before it.
void ExpectInOrder(const std::vector<std::wstring>& journal,
                   std::initializer_list<const wchar_t*> prefixes) {
  size_t from = 0;
  for (const wchar_t* prefix : prefixes) {
    size_t found = from;
    while (found < journal.size() && journal[found].rfind(prefix, 0) != 0) ++found;
    ASSERT_LT(found, journal.size())
        << "no \"" << Narrow(prefix) << "\" after line " << from << " in\n"
        << Narrow(JoinLines(journal));
    from = found + 1;
  }
}

size_t CountOf(const std::vector<std::wstring>& journal, const wchar_t* prefix) {
  size_t n = 0;
  for (const auto& line : journal) n += line.rfind(prefix, 0) == 0;
  return n;
}

long LiveObjects() {
  ComPtr<IOleObject> probe;
  if (FAILED(CoCreateInstance(CLSID_FlashStandin, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                              reinterpret_cast<void**>(probe.GetAddressOf()))))
    return -1;
  ComPtr<IStandinTest> test;
  probe.As(&test);
  long objects = -1, locks = -1;
  test->GetLiveObjects(&objects, &locks);
  return objects - 1;  // not counting the probe
}

// ---- The path without a control ------------------------------------------

struct TMissingCase {
  const char* Name;
  const TmvControlData* Data;
  bool UnregisterStandin;
};

TEST_F(TOleHostTest, WithoutARegisteredControlTheHostLivesQuietly) {
  const TMissingCase cases[] = {{"class that nobody registers", &KMissingData, false},
                                {"movie control not registered", &KFlashData, true}};
  for (const TMissingCase& c : cases) {
    SCOPED_TRACE(c.Name);
    if (c.UnregisterStandin) {
      std::string dll = FindStandin();
      if (!dll.empty()) {
        HMODULE module = LoadLibraryA(dll.c_str());
        if (module) {
          CallExport(module, "DllUnregisterServer");
          FreeLibrary(module);
        }
      }
    }
    int paints = 0;
    auto* host = new TTestHost(FForm, *c.Data, true);
    EXPECT_TRUE(host->Unavailable());
    EXPECT_EQ(host->OleObject(), nullptr);
    host->OnPaint = [&](TComponent* sender) {
      EXPECT_EQ(sender, host);
      ++paints;
    };
    host->SetParent(FForm);
    host->SetBounds(5, 6, 120, 80);
    EXPECT_EQ(host->Width(), 120);
    EXPECT_EQ(host->Height(), 80);
    // Nothing reaches a control: no surfaces, no in-place objects.
    EXPECT_EQ(host->Background(), nullptr);
    EXPECT_EQ(host->InPlaceObject(), nullptr);
    FForm->HandleNeeded();
    host->Paint();
    EXPECT_EQ(paints, 1);
    // Reads give empty values, writes are ignored, neither raises.
    EXPECT_EQ(host->ReadIntProperty(105), 0);
    EXPECT_FALSE(host->ReadBoolProperty(125));
    EXPECT_EQ(host->ReadWideStrProperty(102), u"");
    EXPECT_NO_THROW(host->WriteIntProperty(105, 3));
    EXPECT_NO_THROW(host->WriteBoolProperty(125, true));
    EXPECT_NO_THROW(host->WriteWideStrProperty(133, u"Transparent"));
    VARIANT object = host->GetControlObject();
    EXPECT_EQ(object.vt, VT_EMPTY);
    EXPECT_NO_THROW(host->ConnectControl());
    EXPECT_FALSE(host->Connected());
    EXPECT_EQ(host->RefCount(), 0);
    delete host;
  }
}

// ---- Creation, connection, activation, resizing, teardown ------------------

TEST_F(TStandinHostTest, LifecycleCallsReachTheControlInOrder) {
  auto* host = new TTestHost(FForm, KFlashData, true);
  ASSERT_FALSE(host->Unavailable());
  ComPtr<IStandinTest> test = TestOf(*host);
  ASSERT_TRUE(test);
  EXPECT_TRUE(host->Connected());
  EXPECT_NE(host->InPlaceObject(), nullptr);
  EXPECT_NE(host->WindowlessObject(), nullptr);
  EXPECT_NE(host->ViewObject(), nullptr);
  host->SetBounds(7, 9, 120, 80);
  ASSERT_NE(host->Background(), nullptr);
  EXPECT_EQ(host->Background()->Width(), 120);
  EXPECT_EQ(host->Scratch()->Height(), 80);
  EXPECT_EQ(host->Composite()->Width(), 120);
  delete host;
  std::vector<std::wstring> journal = Journal(test.Get());
  ExpectInOrder(journal, {L"Create(", L"GetMiscStatus(1)", L"SetClientSite(site)",
                          L"GetExtent(1)", L"GetClientSite()", L"InitNew()",
                          L"Advise(IPropertyNotifySink)", L"Advise(events)",
                          L"OnAmbientPropertyChange(-1)", L"GetExtent(1)", L"DoVerb(-5, 0, null,",
                          L"site.QueryInterface(IOleInPlaceSiteWindowless) -> ",
                          L"site.CanInPlaceActivate() -> 0", L"site.CanWindowlessActivate() -> 0",
                          L"site.OnInPlaceActivateEx(", L"site.GetWindowContext(",
                          L"OnWindowMessage(0x00000007, 0, 0)", L"SetObjectRects(0 0 120 80, 0 0 120 80)",
                          L"SetObjectRects(0 0 120 80, 0 0 120 80)", L"Close(1)",
                          L"Unadvise(events", L"Unadvise(IPropertyNotifySink",
                          L"SetClientSite(null)"});
  // The connected control was started fresh, never loaded.
  EXPECT_EQ(CountOf(journal, L"Load("), 0u);
  EXPECT_EQ(CountOf(journal, L"SetClientSite(site)"), 1u);
  test.Reset();
}

// One object of the stand-in is still counted live after the host has gone;
// whose reference it is has not been found yet.
TEST_F(TStandinHostTest, StandinObjectsAreReleasedWithTheHost) {
  const long baseline = LiveObjects();
  delete new TTestHost(FForm, KFlashData, true);
  EXPECT_EQ(LiveObjects(), baseline);
}

TEST_F(TStandinHostTest, ConnectingAgainMakesNoCall) {
  TTestHost host(FForm, KFlashData, false);
  ComPtr<IStandinTest> test = TestOf(host);
  host.ConnectControl();
  ASSERT_TRUE(host.Connected());
  test->ClearJournal();
  host.ConnectControl();
  host.ConnectControl();
  EXPECT_TRUE(Journal(test.Get()).empty()) << Narrow(JoinLines(Journal(test.Get())));
}

TEST_F(TStandinHostTest, DisconnectingClosesBeforeWithdrawingConnections) {
  {
    TTestHost host(FForm, KFlashData, true);
    EXPECT_GT(host.RefCount(), 0);
    host.DisconnectControl();
    EXPECT_FALSE(host.Connected());
    ComPtr<IStandinTest> test = TestOf(host);
    std::vector<std::wstring> journal = Journal(test.Get());
    ExpectInOrder(journal, {L"Close(1)", L"Unadvise(events", L"Unadvise(IPropertyNotifySink"});
  }
}

TEST_F(TStandinHostTest, ResizingTellsBothInPlaceObjectsTheOrigin) {
  struct TCase { int Left, Top, Width, Height; const wchar_t* Rects; };
  const TCase cases[] = {{0, 0, 200, 100, L"SetObjectRects(0 0 200 100, 0 0 200 100)"},
                         {30, 40, 64, 48, L"SetObjectRects(0 0 64 48, 0 0 64 48)"},
                         {-5, 7, 1, 1, L"SetObjectRects(0 0 1 1, 0 0 1 1)"}};
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  for (const TCase& c : cases) {
    SCOPED_TRACE(Narrow(c.Rects));
    test->ClearJournal();
    host.SetBounds(c.Left, c.Top, c.Width, c.Height);
    std::vector<std::wstring> journal = Journal(test.Get());
    EXPECT_EQ(CountOf(journal, c.Rects), 2u) << Narrow(JoinLines(journal));
    EXPECT_EQ(host.Background()->Width(), c.Width);
    EXPECT_EQ(host.Composite()->Height(), c.Height);
    EXPECT_TRUE(host.Resized());
  }
}

TEST_F(TStandinHostTest, InvisibleAtRunTimeIsNeitherActivatedNorClosedTwice) {
  // The control's misc status is read in the constructor, so the stand-in
  // is told before a second host is made from the same class... per instance
  // it cannot be; instead check the rule on a host whose control says so.
  TTestHost host(FForm, KFlashData, false);
  EXPECT_EQ(host.MiscStatus() & OLEMISC_INVISIBLEATRUNTIME, 0u);
  EXPECT_TRUE(host.Visible());
}

// ---- Persistence -----------------------------------------------------------

class TCaptureFiler : public TFiler {
public:
  std::function<void(TStream&)> Read, Write;
  bool HasData = false;
  std::string Name;
  void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                            const std::function<void(TStream&)>& write, bool hasData) override {
    if (name != "ControlData") return;
    Name = name;
    Read = read;
    Write = write;
    HasData = hasData;
  }
  void DefineProperty(const std::string&, const std::function<void(const TFormValue&)>&,
                      const std::function<TFormValue()>&, bool) override {}
};

std::vector<uint8_t> Written(TCaptureFiler& filer) {
  TMemoryStream out;
  filer.Write(out);
  return std::vector<uint8_t>(out.Memory(), out.Memory() + out.Size());
}

TEST_F(TStandinHostTest, ControlDataIsKeptAndWrittenBackUnchanged) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  TCaptureFiler filer;
  host.DefineProperties(filer);
  ASSERT_EQ(filer.Name, "ControlData");
  EXPECT_TRUE(filer.HasData);
  // Without a stored block, the control's own state is saved.
  test->ClearJournal();
  std::vector<uint8_t> saved = Written(filer);
  EXPECT_FALSE(saved.empty());
  ExpectInOrder(Journal(test.Get()), {L"Save("});
  // A block read from the form is written back as it is, and never loaded.
  const std::vector<std::vector<uint8_t>> blocks = {
      {1, 2, 3, 4, 5}, {}, std::vector<uint8_t>(5000, 0xA5), saved};
  for (const auto& block : blocks) {
    SCOPED_TRACE(block.size());
    TMemoryStream in;
    if (!block.empty()) in.WriteBuffer(block.data(), int32_t(block.size()));
    in.SetPosition(0);
    filer.Read(in);
    test->ClearJournal();
    EXPECT_EQ(Written(filer), block);
    std::vector<std::wstring> journal = Journal(test.Get());
    EXPECT_EQ(CountOf(journal, L"Load("), 0u);
    EXPECT_EQ(CountOf(journal, L"Save("), 0u);
  }
}

TEST_F(TStandinHostTest, SavedStateReachesLoadWhenReadBeforeConnecting) {
  TTestHost first(FForm, KFlashData, true);
  TCaptureFiler filer;
  first.DefineProperties(filer);
  std::vector<uint8_t> saved = Written(filer);
  TTestHost second(FForm, KFlashData, false);
  TCaptureFiler secondFiler;
  second.DefineProperties(secondFiler);
  TMemoryStream in;
  in.WriteBuffer(saved.data(), int32_t(saved.size()));
  in.SetPosition(0);
  secondFiler.Read(in);
  second.ConnectControl();
  ComPtr<IStandinTest> test = TestOf(second);
  std::vector<std::wstring> journal = Journal(test.Get());
  ExpectInOrder(journal, {L"GetClientSite()", L"Load(", L"Advise(IPropertyNotifySink)"});
  EXPECT_EQ(CountOf(journal, L"InitNew()"), 0u);
}

// ---- Properties --------------------------------------------------------------

TEST_F(TStandinHostTest, PropertiesRoundTripByDispatchIdentifier) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  const int32_t ints[] = {0, 1, 2, -7, 0x7FFFFFFF};
  for (int32_t value : ints) {
    SCOPED_TRACE(value);
    host.WriteIntProperty(105, value);
    EXPECT_EQ(host.ReadIntProperty(105), value);
  }
  for (bool value : {true, false, true}) {
    host.WriteBoolProperty(106, value);
    EXPECT_EQ(host.ReadBoolProperty(106), value);
    VARIANT raw = host.ReadVariantProperty(106);
    EXPECT_EQ(raw.vt, VT_BOOL);
    EXPECT_EQ(raw.boolVal, value ? VARIANT_TRUE : VARIANT_FALSE);
    VariantClear(&raw);
  }
  const std::u16string texts[] = {u"Transparent", u"", u"Opaque", u"\u00e9t\u00e9 \u6f22"};
  for (const std::u16string& text : texts) {
    host.WriteWideStrProperty(133, text);
    EXPECT_EQ(host.ReadWideStrProperty(133), text);
  }
  host.WriteStrProperty(133, "Window");
  EXPECT_EQ(host.ReadStrProperty(133), "Window");
  EXPECT_EQ(host.ReadStrProperty(105), std::to_string(0x7FFFFFFF));
  // A write reaches the property's setter.
  test->ClearJournal();
  host.WriteIntProperty(105, 1);
  ExpectInOrder(Journal(test.Get()), {L"put_Quality(1)"});
}

TEST_F(TStandinHostTest, FailingPropertyCallsRaiseTheOleError) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  struct TCase { const char* Name; HRESULT Failure; };
  const TCase cases[] = {{"member not found", DISP_E_MEMBERNOTFOUND},
                         {"type mismatch", DISP_E_TYPEMISMATCH},
                         {"failure", E_FAIL}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    test->SetFailure(L"Invoke", c.Failure);
    try {
      host.ReadIntProperty(105);
      ADD_FAILURE() << "no exception";
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ErrorCode(), c.Failure);
      EXPECT_FALSE(e.Message().empty());
    }
    try {
      host.WriteIntProperty(105, 1);
      ADD_FAILURE() << "no exception";
    } catch (const EOleSysError& e) {
      EXPECT_EQ(e.ErrorCode(), c.Failure);
    }
  }
  test->SetFailure(L"Invoke", S_OK);
  EXPECT_NO_THROW(host.ReadIntProperty(105));
  // An unknown property is the control's own refusal.
  EXPECT_THROW(host.ReadIntProperty(987654), EOleSysError);
}

TEST_F(TStandinHostTest, ControlObjectIsTheControlsDispatch) {
  TTestHost host(FForm, KFlashData, true);
  VARIANT object = host.GetControlObject();
  ASSERT_EQ(object.vt, VT_DISPATCH);
  ComPtr<IUnknown> fromVariant, fromObject;
  object.pdispVal->QueryInterface(IID_IUnknown, &fromVariant);
  host.OleObject()->QueryInterface(IID_IUnknown, &fromObject);
  EXPECT_EQ(fromVariant.Get(), fromObject.Get());
  ComPtr<IFlashScripting> scripting;
  EXPECT_EQ(object.pdispVal->QueryInterface(IID_IFlashScripting, &scripting), S_OK);
  VariantClear(&object);
}

// ---- Events ----------------------------------------------------------------

VARIANT Int(long value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = value;
  return v;
}

VARIANT Text(const wchar_t* text) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(text);
  return v;
}

std::wstring ArgText(const VARIANT& v) {
  if (v.vt == VT_I4) return std::to_wstring(v.lVal);
  if (v.vt == VT_BSTR) return v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"";
  return L"?";
}

TEST_F(TStandinHostTest, EventsReachTheirSlotsWithArgumentsInDeclarationOrder) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  std::vector<std::wstring> calls;
  for (int slot = 0; slot < 4; ++slot)
    host.SetEventHandler(slot, [&calls, &host, slot](TComponent* sender, const DISPPARAMS& p) {
      EXPECT_EQ(sender, &host);
      std::wstring line = std::to_wstring(slot) + L":";
      for (UINT i = p.cArgs; i-- > 0;) line += L" " + ArgText(p.rgvarg[i]);
      calls.push_back(line);
    });
  struct TCase { DISPID Id; std::vector<VARIANT> Args; const wchar_t* Expected; };
  std::vector<TCase> cases;
  cases.push_back({-609, {Int(4)}, L"0: 4"});
  cases.push_back({1958, {Int(55)}, L"1: 55"});
  cases.push_back({150, {Text(L"quit"), Text(L"now")}, L"2: quit now"});
  cases.push_back({197, {Text(L"<invoke name=\"playflv\"/>")}, L"3: <invoke name=\"playflv\"/>"});
  cases.push_back({4242, {Int(1)}, nullptr});
  for (TCase& c : cases) {
    SCOPED_TRACE(c.Id);
    calls.clear();
    EXPECT_EQ(test->FireEvent(c.Id, ULONG(c.Args.size()), c.Args.data()), S_OK);
    if (c.Expected) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0], c.Expected);
    } else {
      EXPECT_TRUE(calls.empty());
    }
    for (VARIANT& v : c.Args) VariantClear(&v);
  }
}

TEST_F(TStandinHostTest, UnassignedSlotsAndRaisingHandlersStillAnswerOk) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IStandinTest> test = TestOf(host);
  std::vector<std::string> reports;
  TComponent* reportedSender = nullptr;
  Application->OnException = [&](TComponent* sender, const std::exception& e) {
    reportedSender = sender;
    reports.push_back(e.what());
  };
  host.SetEventHandler(1, [](TComponent*, const DISPPARAMS&) { throw Exception("handler broke"); });
  VARIANT arg = Int(10);
  EXPECT_EQ(test->FireEvent(-609, 1, &arg), S_OK);  // no handler
  EXPECT_TRUE(reports.empty());
  EXPECT_EQ(test->FireEvent(1958, 1, &arg), S_OK);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "handler broke");
  EXPECT_EQ(reportedSender, &host);
  Application->OnException = nullptr;
}

TEST_F(TStandinHostTest, EventSinkAnswersTheEventsInterface) {
  TTestHost host(FForm, KFlashData, false);
  IDispatch* sink = host.EventSink();
  struct TCase { const char* Name; const IID* Iid; bool Given; };
  const TCase cases[] = {{"IUnknown", &IID_IUnknown, true},
                         {"IDispatch", &IID_IDispatch, true},
                         {"events", &DIID_IFlashEvents, true},
                         {"IPropertyNotifySink", &IID_IPropertyNotifySink, false},
                         {"IOleClientSite", &IID_IOleClientSite, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    void* out = reinterpret_cast<void*>(uintptr_t(0xDEADBEEF));
    const LONG before = host.RefCount();
    HRESULT hr = sink->QueryInterface(*c.Iid, &out);
    if (c.Given) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_EQ(out, static_cast<void*>(sink));
      EXPECT_EQ(host.RefCount(), before + 1);
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(host.RefCount(), before);
  }
  UINT count = 7;
  EXPECT_EQ(sink->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
}

// ---- Site answers ------------------------------------------------------------

TEST_F(TStandinHostTest, SiteAnswersItsInterfacesFromOneTable) {
  TTestHost host(FForm, KFlashData, false);
  IOleClientSite* site = host.ClientSite();
  struct TCase { const char* Name; const IID* Iid; bool Given; };
  const TCase cases[] = {
      {"IUnknown", &IID_IUnknown, true},
      {"IOleClientSite", &IID_IOleClientSite, true},
      {"IOleInPlaceSite", &IID_IOleInPlaceSite, true},
      {"IOleInPlaceSiteWindowless", &IID_IOleInPlaceSiteWindowless, true},
      {"IOleInPlaceSiteEx", &IID_IOleInPlaceSiteEx, false},
      {"IOleWindow", &IID_IOleWindow, true},
      {"IOleInPlaceUIWindow", &IID_IOleInPlaceUIWindow, true},
      {"IOleInPlaceFrame", &IID_IOleInPlaceFrame, true},
      {"IOleControlSite", &IID_IOleControlSite, true},
      {"IDispatch", &IID_IDispatch, true},
      {"IPropertyNotifySink", &IID_IPropertyNotifySink, true},
      {"IServiceProvider", &IID_IServiceProvider, true},
      {"IParseDisplayName", &IID_IParseDisplayName, true},
      {"IBindHost", &IID_IBindHost, false},
      {"IOleContainer", &IID_IOleContainer, false},
      {"IOleObject", &IID_IOleObject, false}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const LONG before = host.RefCount();
    void* out = reinterpret_cast<void*>(uintptr_t(0xDEADBEEF));
    HRESULT hr = site->QueryInterface(*c.Iid, &out);
    if (c.Given) {
      ASSERT_EQ(hr, S_OK);
      ASSERT_NE(out, nullptr);
      EXPECT_EQ(host.RefCount(), before + 1);
      // Every interface leads back to the same object.
      ComPtr<IUnknown> identity;
      static_cast<IUnknown*>(out)->QueryInterface(IID_IUnknown, &identity);
      ComPtr<IUnknown> siteIdentity;
      site->QueryInterface(IID_IUnknown, &siteIdentity);
      EXPECT_EQ(identity.Get(), siteIdentity.Get());
      static_cast<IUnknown*>(out)->Release();
    } else {
      EXPECT_EQ(hr, E_NOINTERFACE);
      EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(host.RefCount(), before);
    // The service provider gives what QueryInterface gives.
    ComPtr<IServiceProvider> services;
    site->QueryInterface(IID_IServiceProvider, &services);
    void* service = reinterpret_cast<void*>(uintptr_t(0xDEADBEEF));
    EXPECT_EQ(services->QueryService(GUID_NULL, *c.Iid, &service), c.Given ? S_OK : E_NOINTERFACE);
    if (service) static_cast<IUnknown*>(service)->Release();
    else EXPECT_EQ(service, nullptr);
  }
}

TEST_F(TStandinHostTest, GetWindowAnswersByInterface) {
  TTestHost host(FForm, KFlashData, false);
  host.SetParent(FForm);
  FForm->HandleNeeded();
  struct TCase { const char* Name; const IID* Iid; HRESULT Result; };
  const TCase cases[] = {{"IOleWindow", &IID_IOleWindow, E_FAIL},
                         {"IOleInPlaceUIWindow", &IID_IOleInPlaceUIWindow, E_FAIL},
                         {"IOleInPlaceSite", &IID_IOleInPlaceSite, E_FAIL},
                         {"IOleInPlaceFrame", &IID_IOleInPlaceFrame, S_OK},
                         {"IOleInPlaceSiteWindowless", &IID_IOleInPlaceSiteWindowless, E_FAIL}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    ComPtr<IOleWindow> window;
    ASSERT_EQ(host.ClientSite()->QueryInterface(*c.Iid, reinterpret_cast<void**>(window.GetAddressOf())), S_OK);
    HWND handle = reinterpret_cast<HWND>(uintptr_t(0xDEADBEEF));
    EXPECT_EQ(window->GetWindow(&handle), c.Result);
    EXPECT_EQ(handle, nullptr);
  }
}

TEST_F(TStandinHostTest, InPlaceSiteTableOfAnswers) {
  TTestHost host(FForm, KFlashData, false);
  host.SetBounds(11, 22, 100, 50);
  ComPtr<IOleInPlaceSiteWindowless> site;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IOleInPlaceSiteWindowless, &site), S_OK);
  ComPtr<IOleInPlaceFrame> frameIface;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IOleInPlaceFrame, &frameIface), S_OK);
  ComPtr<IOleControlSite> control;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IOleControlSite, &control), S_OK);
  struct TCase { const char* Name; HRESULT Got; HRESULT Expected; };
  RECT rect{};
  SIZE scroll{1, 1};
  BORDERWIDTHS widths{};
  MSG msg{};
  const TCase cases[] = {
      {"CanInPlaceActivate", site->CanInPlaceActivate(), S_OK},
      {"CanWindowlessActivate", site->CanWindowlessActivate(), S_OK},
      {"OnUIActivate", site->OnUIActivate(), S_OK},
      {"Scroll", site->Scroll(scroll), E_NOTIMPL},
      {"DiscardUndoState", site->DiscardUndoState(), E_NOTIMPL},
      {"RequestUIActivate", site->RequestUIActivate(), S_OK},
      {"GetFocus", site->GetFocus(), S_OK},
      {"SetFocus", site->SetFocus(TRUE), S_OK},
      {"ScrollRect", site->ScrollRect(1, 1, &rect, &rect), S_OK},
      {"ContextSensitiveHelp", site->ContextSensitiveHelp(TRUE), S_OK},
      {"GetBorder", frameIface->GetBorder(&rect), INPLACE_E_NOTOOLSPACE},
      {"RequestBorderSpace", frameIface->RequestBorderSpace(&widths), INPLACE_E_NOTOOLSPACE},
      {"SetBorderSpace", frameIface->SetBorderSpace(&widths), E_NOTIMPL},
      {"SetStatusText", frameIface->SetStatusText(L"x"), S_OK},
      {"EnableModeless", frameIface->EnableModeless(TRUE), S_OK},
      {"frame TranslateAccelerator", frameIface->TranslateAccelerator(&msg, 0), S_FALSE},
      {"OnControlInfoChanged", control->OnControlInfoChanged(), E_NOTIMPL},
      {"LockInPlaceActive", control->LockInPlaceActive(TRUE), E_NOTIMPL},
      {"control TranslateAccelerator", control->TranslateAccelerator(&msg, 0), E_NOTIMPL},
      {"OnFocus", control->OnFocus(TRUE), E_NOTIMPL},
      {"ShowPropertyFrame", control->ShowPropertyFrame(), E_NOTIMPL},
      {"InsertMenus", frameIface->InsertMenus(nullptr, nullptr), S_OK},
      {"SetMenu", frameIface->SetMenu(nullptr, nullptr, nullptr), S_OK},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(c.Got, c.Expected);
  }
  // The window context: our frame, no document, our bounds, no frame window.
  ComPtr<IOleInPlaceFrame> frame;
  IOleInPlaceUIWindow* doc = reinterpret_cast<IOleInPlaceUIWindow*>(uintptr_t(0xDEADBEEF));
  RECT pos{}, clip{};
  OLEINPLACEFRAMEINFO info{};
  info.cb = 1234;
  info.fMDIApp = TRUE;
  info.cAccelEntries = 9;
  ASSERT_EQ(site->GetWindowContext(&frame, &doc, &pos, &clip, &info), S_OK);
  EXPECT_NE(frame.Get(), nullptr);
  EXPECT_EQ(doc, nullptr);
  EXPECT_EQ(pos.left, 11);
  EXPECT_EQ(pos.top, 22);
  EXPECT_EQ(pos.right, 111);
  EXPECT_EQ(pos.bottom, 72);
  EXPECT_EQ(clip.right, 32767);
  EXPECT_EQ(clip.bottom, 32767);
  EXPECT_EQ(info.cb, 1234u);
  EXPECT_FALSE(info.fMDIApp);
  EXPECT_EQ(info.hwndFrame, nullptr);
  EXPECT_EQ(info.cAccelEntries, 0u);
  // AdjustRect gives the host's client rectangle.
  RECT adjusted{5, 5, 6, 6};
  EXPECT_EQ(site->AdjustRect(&adjusted), S_OK);
  EXPECT_EQ(adjusted.right, 100);
  EXPECT_EQ(adjusted.bottom, 50);
  // Client site.
  IOleClientSite* client = host.ClientSite();
  IMoniker* moniker = reinterpret_cast<IMoniker*>(uintptr_t(0xDEADBEEF));
  EXPECT_EQ(client->GetMoniker(0, 0, &moniker), E_NOTIMPL);
  EXPECT_EQ(moniker, nullptr);
  IOleContainer* container = reinterpret_cast<IOleContainer*>(uintptr_t(0xDEADBEEF));
  EXPECT_EQ(client->GetContainer(&container), E_NOINTERFACE);
  EXPECT_EQ(container, nullptr);
  EXPECT_EQ(client->SaveObject(), S_OK);
  EXPECT_EQ(client->ShowObject(), S_OK);
  EXPECT_EQ(client->OnShowWindow(TRUE), S_OK);
  IDispatch* extended = reinterpret_cast<IDispatch*>(uintptr_t(0xDEADBEEF));
  EXPECT_EQ(control->GetExtendedControl(&extended), E_NOTIMPL);
  EXPECT_EQ(extended, nullptr);
  // Capture is the control's own notion.
  EXPECT_EQ(site->GetCapture(), S_FALSE);
  host.SetParent(FForm);
  FForm->HandleNeeded();
  EXPECT_EQ(site->SetCapture(TRUE), S_OK);
  EXPECT_EQ(site->GetCapture(), S_OK);
  EXPECT_EQ(site->SetCapture(FALSE), S_OK);
  EXPECT_EQ(site->GetCapture(), S_FALSE);
  // RemoveMenus empties the shared menu.
  HMENU shared = CreateMenu();
  AppendMenuW(shared, MF_STRING, 1, L"a");
  AppendMenuW(shared, MF_STRING, 2, L"b");
  EXPECT_EQ(frameIface->RemoveMenus(shared), S_OK);
  EXPECT_EQ(GetMenuItemCount(shared), 0);
  DestroyMenu(shared);
}

TEST_F(TStandinHostTest, AmbientPropertiesTable) {
  TTestHost host(FForm, KFlashData, false);
  host.SetName("Player1");
  host.SetColor(clBtnFace);
  host.Font().SetColor(0x123456);
  ComPtr<IDispatch> ambient;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IDispatch, &ambient), S_OK);
  struct TCase { DISPID Id; VARTYPE Type; long Value; };
  const TCase cases[] = {
      {-701, VT_I4, long(clBtnFace)},
      {-704, VT_I4, 0x123456},
      {-705, VT_I4, long(GetUserDefaultLCID())},
      {-706, VT_BOOL, VARIANT_TRUE},
      {-709, VT_BOOL, VARIANT_TRUE},
      {-710, VT_BOOL, VARIANT_FALSE},
      {-711, VT_BOOL, VARIANT_FALSE},
      {-712, VT_BOOL, VARIANT_FALSE},
      {-714, VT_BOOL, VARIANT_TRUE},
      {-715, VT_BOOL, VARIANT_TRUE},
  };
  DISPPARAMS none{};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Id);
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(ambient->Invoke(c.Id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(result.vt, c.Type);
    EXPECT_EQ(c.Type == VT_BOOL ? long(result.boolVal) : result.lVal, c.Value);
  }
  VARIANT name;
  VariantInit(&name);
  ASSERT_EQ(ambient->Invoke(-702, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &name, nullptr, nullptr), S_OK);
  ASSERT_EQ(name.vt, VT_BSTR);
  EXPECT_STREQ(name.bstrVal, L"Player1");
  VariantClear(&name);
  VARIANT font;
  VariantInit(&font);
  ASSERT_EQ(ambient->Invoke(-703, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &font, nullptr, nullptr), S_OK);
  ASSERT_EQ(font.vt, VT_DISPATCH);
  ComPtr<IFont> oleFont;
  EXPECT_EQ(font.pdispVal->QueryInterface(IID_IFont, &oleFont), S_OK);
  VariantClear(&font);
  // Unknown members, a put, or no result.
  const DISPID unknown[] = {-707, -708, -713, -700, 0, 5};
  for (DISPID id : unknown) {
    SCOPED_TRACE(id);
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(ambient->Invoke(id, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  }
  VARIANT r;
  VariantInit(&r);
  EXPECT_EQ(ambient->Invoke(-701, GUID_NULL, 0, DISPATCH_PROPERTYPUT, &none, &r, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(ambient->Invoke(-701, GUID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), DISP_E_MEMBERNOTFOUND);
}

TEST_F(TStandinHostTest, CoordinatesAndLayoutFollowThePixelsPerInch) {
  TTestHost host(FForm, KFlashData, false);
  ComPtr<IOleControlSite> control;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IOleControlSite, &control), S_OK);
  const int ppi = Screen->PixelsPerInch();
  struct TCase { long Himetric; };
  const TCase cases[] = {{0}, {2540}, {5080}, {1}, {-2540}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Himetric);
    POINTL him{c.Himetric, c.Himetric};
    POINTF cont{-1, -1};
    EXPECT_EQ(control->TransformCoords(&him, &cont, XFORMCOORDS_HIMETRICTOCONTAINER), S_OK);
    EXPECT_EQ(cont.x, float(MulDiv(c.Himetric, ppi, 2540)));
    EXPECT_EQ(cont.y, float(MulDiv(c.Himetric, ppi, 2540)));
    POINTL back{7, 7};
    EXPECT_EQ(control->TransformCoords(&back, &cont, XFORMCOORDS_CONTAINERTOHIMETRIC), S_OK);
    EXPECT_EQ(back.x, long(std::nearbyint(double(cont.x) * 2540.0 / ppi)));
  }
  if (ppi == 96) {
    POINTL back{};
    POINTF cont{96.0f, 96.0f};
    control->TransformCoords(&back, &cont, XFORMCOORDS_CONTAINERTOHIMETRIC);
    EXPECT_EQ(back.x, 2540);
  }
  ComPtr<IStandinTest> test = TestOf(host);
  test->SetExtent(5080, 2540);
  EXPECT_EQ(host.ClientSite()->RequestNewObjectLayout(), S_OK);
  EXPECT_EQ(host.Width(), MulDiv(5080, ppi, 2540));
  EXPECT_EQ(host.Height(), MulDiv(2540, ppi, 2540));
  test->SetFailure(L"GetExtent", E_UNEXPECTED);
  host.SetBounds(0, 0, 10, 10);
  EXPECT_EQ(host.ClientSite()->RequestNewObjectLayout(), E_UNEXPECTED);
  EXPECT_EQ(host.Width(), 10);
  test->SetFailure(L"GetExtent", S_OK);
}

TEST_F(TStandinHostTest, DeactivationReleasesTheInPlaceReferences) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IOleInPlaceSiteWindowless> site;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IOleInPlaceSiteWindowless, &site), S_OK);
  EXPECT_EQ(site->OnInPlaceDeactivateEx(TRUE), S_OK);
  EXPECT_NE(host.InPlaceObject(), nullptr);
  EXPECT_NE(host.ViewObject(), nullptr);
  EXPECT_EQ(site->OnInPlaceDeactivate(), S_OK);
  EXPECT_EQ(host.InPlaceObject(), nullptr);
  EXPECT_EQ(host.WindowlessObject(), nullptr);
  EXPECT_EQ(host.ViewObject(), nullptr);
  BOOL noRedraw = 77;
  EXPECT_EQ(site->OnInPlaceActivateEx(&noRedraw, 0), S_OK);
  EXPECT_EQ(noRedraw, 77);
  EXPECT_NE(host.InPlaceObject(), nullptr);
  EXPECT_NE(host.WindowlessObject(), nullptr);
}

TEST_F(TStandinHostTest, PropertyChangesArePulledIntoTheHostOnce) {
  TTestHost host(FForm, KFlashData, true);
  ComPtr<IPropertyNotifySink> sink;
  ASSERT_EQ(host.ClientSite()->QueryInterface(IID_IPropertyNotifySink, &sink), S_OK);
  // The stand-in has no stock colour properties: the read fails and the
  // host stays as it is, and the answer is still S_OK.
  host.SetColor(clRed);
  const DISPID ids[] = {-501, -512, -513, -514, 105, 0};
  for (DISPID id : ids) {
    SCOPED_TRACE(id);
    EXPECT_EQ(sink->OnChanged(id), S_OK);
    EXPECT_EQ(sink->OnRequestEdit(id), S_OK);
  }
  EXPECT_EQ(host.Color(), clRed);
  EXPECT_TRUE(host.Enabled());
}

}  // namespace
