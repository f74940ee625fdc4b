// The stand-in control through real COM: registration, class object,
// interface table, properties and methods by DISPID and by name, connection
// points, failure steering, journal.
#include "standin_support.h"

#include <oleauto.h>

#include <cstdio>
#include <functional>
#include <fstream>
#include <iterator>

using namespace standin_test;

namespace {

testing::Environment* const GEnvironment = testing::AddGlobalTestEnvironment(new TStandinEnvironment);

std::wstring RegistryText(const std::wstring& key, const wchar_t* name) {
  wchar_t value[MAX_PATH * 2] = {};
  DWORD size = sizeof value;
  if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
    return L"<missing>";
  return value;
}

TEST_F(StandinTest, RegistersInTheUsersClasses) {
  const std::wstring key = std::wstring(L"Software\\Classes\\CLSID\\") + CLSID_FlashStandinText +
                           L"\\InprocServer32";
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(StandinModule(), path, MAX_PATH);
  EXPECT_EQ(_wcsicmp(RegistryText(key, nullptr).c_str(), path), 0) << RegistryText(key, nullptr).c_str();
  EXPECT_EQ(RegistryText(key, L"ThreadingModel"), L"Apartment");
}

TEST_F(StandinTest, ClassObjectRefusesOtherClassesAndAggregation) {
  auto* getClassObject = reinterpret_cast<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(
      reinterpret_cast<void*>(GetProcAddress(StandinModule(), "DllGetClassObject")));
  ASSERT_NE(getClassObject, nullptr);
  void* out = reinterpret_cast<void*>(0xdeadbeef);
  EXPECT_EQ(getClassObject(IID_IUnknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(out, nullptr);

  ComPtr<IClassFactory> factory;
  ASSERT_EQ(getClassObject(CLSID_FlashStandin, IID_IClassFactory,
                           reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  ComPtr<IUnknown> outer = CreateControl();
  out = reinterpret_cast<void*>(0xdeadbeef);
  EXPECT_EQ(factory->CreateInstance(outer.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
  EXPECT_EQ(out, nullptr);
  out = reinterpret_cast<void*>(0xdeadbeef);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
  EXPECT_EQ(out, nullptr);

  // A server lock keeps the DLL from unloading without any object.
  auto* canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(
      reinterpret_cast<void*>(GetProcAddress(StandinModule(), "DllCanUnloadNow")));
  ASSERT_NE(canUnload, nullptr);
  outer.Reset();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory.Reset();
  EXPECT_EQ(canUnload(), S_FALSE);
  ASSERT_EQ(getClassObject(CLSID_FlashStandin, IID_IClassFactory,
                           reinterpret_cast<void**>(factory.GetAddressOf())), S_OK);
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(factory.Reset(), 0u);
  EXPECT_EQ(canUnload(), S_OK);
}

TEST_F(StandinTest, AnswersEveryInterfaceOfItsTableWithOneIdentity) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IUnknown> identity;
  ASSERT_EQ(control.As(&identity), S_OK);
  const struct { const IID& Iid; const char* Name; } supported[] = {
      {IID_IUnknown, "IUnknown"},
      {IID_IOleObject, "IOleObject"},
      {IID_IPersist, "IPersist"},
      {IID_IPersistStreamInit, "IPersistStreamInit"},
      {IID_IOleControl, "IOleControl"},
      {IID_IDispatch, "IDispatch"},
      {IID_IFlashScripting, "scripting interface"},
      {IID_IConnectionPointContainer, "IConnectionPointContainer"},
      {IID_IOleWindow, "IOleWindow"},
      {IID_IOleInPlaceObject, "IOleInPlaceObject"},
      {IID_IOleInPlaceObjectWindowless, "IOleInPlaceObjectWindowless"},
      {IID_IOleInPlaceActiveObject, "IOleInPlaceActiveObject"},
      {IID_IViewObject, "IViewObject"},
      {IID_IViewObject2, "IViewObject2"},
      {IID_IStandinTest, "test interface"},
  };
  for (const auto& row : supported) {
    SCOPED_TRACE(row.Name);
    ComPtr<IUnknown> answer;
    ASSERT_EQ(control->QueryInterface(row.Iid, reinterpret_cast<void**>(answer.GetAddressOf())), S_OK);
    ASSERT_NE(answer, nullptr);
    ComPtr<IUnknown> back;
    ASSERT_EQ(answer.As(&back), S_OK);
    EXPECT_EQ(back.Get(), identity.Get());
  }
  const struct { const IID& Iid; const char* Name; } refused[] = {
      {DIID_IFlashEvents, "events interface"},
      {IID_IPropertyNotifySink, "IPropertyNotifySink"},
      {IID_IConnectionPoint, "IConnectionPoint"},
      {IID_IClassFactory, "IClassFactory"},
      {IID_IPersistStorage, "IPersistStorage"},
      {IID_IPersistPropertyBag, "IPersistPropertyBag"},
      {IID_IOleInPlaceSiteWindowless, "IOleInPlaceSiteWindowless"},
      {IID_IBindStatusCallback, "IBindStatusCallback"},
      {IID_IQuickActivate, "IQuickActivate"},
  };
  for (const auto& row : refused) {
    SCOPED_TRACE(row.Name);
    void* out = reinterpret_cast<void*>(0xdeadbeef);
    EXPECT_EQ(control->QueryInterface(row.Iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(control->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  identity.Reset();
  EXPECT_EQ(control.Reset(), 0u);
}

struct TPropertyRow {
  const wchar_t* Name;
  DISPID Id;
  VARIANT Default;
  VARIANT Changed;
};

bool SameVariant(const VARIANT& a, const VARIANT& b) {
  if (V_VT(&a) != V_VT(&b)) return false;
  switch (V_VT(&a)) {
    case VT_I4: return V_I4(&a) == V_I4(&b);
    case VT_BOOL: return V_BOOL(&a) == V_BOOL(&b);
    case VT_BSTR: return VarBstrCmp(V_BSTR(&a), V_BSTR(&b), 0, 0) == static_cast<HRESULT>(VARCMP_EQ);
    default: return false;
  }
}

std::vector<TPropertyRow> WritableProperties() {
  return {
      {L"Playing", 125, BoolVariant(true), BoolVariant(false)},
      {L"Quality", 105, IntVariant(1), IntVariant(3)},
      {L"ScaleMode", 120, IntVariant(0), IntVariant(2)},
      {L"AlignMode", 121, IntVariant(0), IntVariant(5)},
      {L"BackgroundColor", 123, IntVariant(-1), IntVariant(0x336699)},
      {L"Loop", 106, BoolVariant(true), BoolVariant(false)},
      {L"FrameNum", 107, IntVariant(-1), IntVariant(12)},
      {L"WMode", 133, TextVariant(L"Window"), TextVariant(L"Transparent")},
      {L"SAlign", 134, TextVariant(L""), TextVariant(L"LT")},
      {L"Menu", 135, BoolVariant(true), BoolVariant(false)},
      {L"Base", 136, TextVariant(L""), TextVariant(L"C:\\movies\\")},
      {L"Scale", 137, TextVariant(L"ShowAll"), TextVariant(L"NoBorder")},
      {L"DeviceFont", 138, BoolVariant(false), BoolVariant(true)},
      {L"EmbedMovie", 139, BoolVariant(false), BoolVariant(true)},
      {L"BGColor", 140, TextVariant(L""), TextVariant(L"#FF8800")},
      {L"Quality2", 141, TextVariant(L"High"), TextVariant(L"Low")},
      {L"SWRemote", 159, TextVariant(L""), TextVariant(L"remote")},
      {L"FlashVars", 170, TextVariant(L""), TextVariant(L"a=1&b=2")},
      {L"AllowScriptAccess", 171, TextVariant(L"sameDomain"), TextVariant(L"always")},
      {L"MovieData", 190, TextVariant(L""), TextVariant(L"data")},
      {L"SeamlessTabbing", 192, BoolVariant(true), BoolVariant(false)},
  };
}

void ClearRows(std::vector<TPropertyRow>& rows) {
  for (TPropertyRow& row : rows) {
    VariantClear(&row.Default);
    VariantClear(&row.Changed);
  }
}

TEST_F(StandinTest, PropertiesByDispidAndByName) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  std::vector<TPropertyRow> rows = WritableProperties();
  for (const TPropertyRow& row : rows) {
    SCOPED_TRACE(testing::Message() << "DISPID " << row.Id);
    EXPECT_EQ(IdOfName(dispatch.Get(), row.Name), row.Id);
    VARIANT value;
    ASSERT_EQ(GetProperty(dispatch.Get(), row.Id, value), S_OK);
    EXPECT_TRUE(SameVariant(value, row.Default));
    VariantClear(&value);
    ASSERT_EQ(PutProperty(dispatch.Get(), row.Id, row.Changed), S_OK);
    ASSERT_EQ(GetProperty(dispatch.Get(), row.Id, value), S_OK);
    EXPECT_TRUE(SameVariant(value, row.Changed));
    VariantClear(&value);
  }
  // Each access is journaled in order, named.
  std::vector<std::wstring> expected;
  for (const TPropertyRow& row : rows) {
    expected.push_back(std::wstring(L"get_") + row.Name + L"()");
    expected.push_back(std::wstring(L"put_") + row.Name + L"(");
    expected.push_back(std::wstring(L"get_") + row.Name + L"()");
  }
  std::vector<std::wstring> journal = JournalOf(control.Get(), {L"get_", L"put_"});
  ASSERT_EQ(journal.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(journal[i].rfind(expected[i], 0), 0u) << journal[i].c_str();
  ClearRows(rows);
  dispatch.Reset();
  EXPECT_EQ(control.Reset(), 0u);
}

TEST_F(StandinTest, NamesAreFoundWithoutRegardToCase) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  const struct { const wchar_t* Name; DISPID Id; } rows[] = {
      {L"wmode", 133}, {L"WMODE", 133}, {L"ReadyState", -525}, {L"TotalFrames", 124}, {L"Movie", 102},
      {L"Play", DISPID_FLASH_PLAY}, {L"flashversion", DISPID_FLASH_FLASHVERSION},
      {L"LoadMovie", DISPID_FLASH_LOADMOVIE}, {L"SetVariable", DISPID_FLASH_SETVARIABLE},
      {L"CallFunction", DISPID_FLASH_CALLFUNCTION}, {L"GetVariable", DISPID_FLASH_GETVARIABLE},
  };
  for (const auto& row : rows) EXPECT_EQ(IdOfName(dispatch.Get(), row.Name), row.Id);

  DISPID id = 12345;
  LPOLESTR unknown[] = {const_cast<LPOLESTR>(L"NoSuchThing")};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(id, DISPID_UNKNOWN);
  LPOLESTR withArgument[] = {const_cast<LPOLESTR>(L"LoadMovie"), const_cast<LPOLESTR>(L"layer")};
  DISPID ids[2] = {1, 2};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, withArgument, 2, 0, ids), DISP_E_UNKNOWNNAME);
  EXPECT_EQ(ids[1], DISPID_UNKNOWN);
  LPOLESTR play[] = {const_cast<LPOLESTR>(L"Play")};
  EXPECT_EQ(dispatch->GetIDsOfNames(IID_IDispatch, play, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  UINT count = 99;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 0u);
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(0xdeadbeef);
  EXPECT_TRUE(FAILED(dispatch->GetTypeInfo(0, 0, &info)));
  EXPECT_EQ(info, nullptr);
}

TEST_F(StandinTest, RefusesBadPropertyAccess) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  VARIANT text = TextVariant(L"not a number");
  EXPECT_EQ(PutProperty(dispatch.Get(), 105, text), DISP_E_TYPEMISMATCH);
  EXPECT_EQ(PutProperty(dispatch.Get(), -525, IntVariant(3)), CTL_E_SETNOTSUPPORTED);
  EXPECT_EQ(PutProperty(dispatch.Get(), 4242, IntVariant(3)), DISP_E_MEMBERNOTFOUND);
  VARIANT value;
  EXPECT_EQ(GetProperty(dispatch.Get(), 4242, value), DISP_E_MEMBERNOTFOUND);
  // A put without the named DISPID_PROPERTYPUT argument.
  VARIANT arg = IntVariant(2);
  DISPPARAMS unnamed{&arg, nullptr, 1, 0};
  EXPECT_EQ(dispatch->Invoke(105, IID_NULL, 0, DISPATCH_PROPERTYPUT, &unnamed, nullptr, nullptr, nullptr),
            DISP_E_PARAMNOTFOUND);
  // A get with an argument, and a get without a place for the result.
  DISPPARAMS oneArg{&arg, nullptr, 1, 0};
  EXPECT_EQ(dispatch->Invoke(105, IID_NULL, 0, DISPATCH_PROPERTYGET, &oneArg, &value, nullptr, nullptr),
            DISP_E_BADPARAMCOUNT);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  EXPECT_EQ(dispatch->Invoke(105, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, nullptr, nullptr, nullptr), E_POINTER);
  // Values were left alone; a string that reads as a number is converted.
  ASSERT_EQ(GetProperty(dispatch.Get(), 105, value), S_OK);
  EXPECT_EQ(V_I4(&value), 1);
  VariantClear(&text);
  text = TextVariant(L"2");
  EXPECT_EQ(PutProperty(dispatch.Get(), 105, text), S_OK);
  ASSERT_EQ(GetProperty(dispatch.Get(), 105, value), S_OK);
  EXPECT_EQ(V_VT(&value), VT_I4);
  EXPECT_EQ(V_I4(&value), 2);
  VariantClear(&text);
}

TEST_F(StandinTest, ScriptingMethodsByName) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  ComPtr<IStandinTest> test = TestInterface(control.Get());
  ASSERT_EQ(test->SetFlashVersion(0x00090073), S_OK);
  ASSERT_EQ(test->SetCallReply(L"<string>yes</string>"), S_OK);
  ASSERT_EQ(test->ClearJournal(), S_OK);

  VARIANT result;
  ASSERT_EQ(CallMethod(dispatch.Get(), L"FlashVersion", {}, &result), S_OK);
  EXPECT_EQ(V_VT(&result), VT_I4);
  EXPECT_EQ(V_I4(&result), 0x00090073);
  EXPECT_EQ(CallMethod(dispatch.Get(), L"Play", {}, nullptr), S_OK);
  VARIANT name = TextVariant(L"flv.volume"), value = TextVariant(L"75");
  EXPECT_EQ(CallMethod(dispatch.Get(), L"SetVariable", {name, value}, nullptr), S_OK);
  ASSERT_EQ(CallMethod(dispatch.Get(), L"GetVariable", {name}, &result), S_OK);
  EXPECT_STREQ(V_BSTR(&result), L"75");
  VariantClear(&result);
  VARIANT request = TextVariant(L"<invoke name=\"playflv\"/>");
  ASSERT_EQ(CallMethod(dispatch.Get(), L"CallFunction", {request}, &result), S_OK);
  EXPECT_STREQ(V_BSTR(&result), L"<string>yes</string>");
  VariantClear(&result);
  // Wrong argument counts and named arguments are refused.
  EXPECT_EQ(CallMethod(dispatch.Get(), L"SetVariable", {name}, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(CallMethod(dispatch.Get(), L"Play", {name}, nullptr), DISP_E_BADPARAMCOUNT);

  // The scripting interface answers the same calls directly.
  ComPtr<IFlashScripting> flash;
  ASSERT_EQ(control.As(&flash), S_OK);
  long version = 0;
  EXPECT_EQ(flash->FlashVersion(&version), S_OK);
  EXPECT_EQ(version >> 16, 9);
  const std::vector<std::wstring> expected = {
      L"GetIDsOfNames(\"FlashVersion\")", L"FlashVersion()",
      L"GetIDsOfNames(\"Play\")", L"Play()",
      L"GetIDsOfNames(\"SetVariable\")", L"SetVariable(\"flv.volume\", \"75\")",
      L"GetIDsOfNames(\"GetVariable\")", L"GetVariable(\"flv.volume\")",
      L"GetIDsOfNames(\"CallFunction\")", L"CallFunction(\"<invoke name=\\\"playflv\\\"/>\")",
      L"GetIDsOfNames(\"SetVariable\")", L"GetIDsOfNames(\"Play\")", L"FlashVersion()"};
  EXPECT_EQ(Journal(control.Get()), expected);
  VariantClear(&name);
  VariantClear(&value);
  VariantClear(&request);
}

TEST_F(StandinTest, ConnectionPointsDeliverEventsInOrder) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IConnectionPointContainer> container;
  ASSERT_EQ(control.As(&container), S_OK);
  ComPtr<IConnectionPoint> events, notify;
  ASSERT_EQ(container->FindConnectionPoint(DIID_IFlashEvents, &events), S_OK);
  ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, &notify), S_OK);
  IConnectionPoint* missing = reinterpret_cast<IConnectionPoint*>(0xdeadbeef);
  EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &missing), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(missing, nullptr);
  IID iid{};
  EXPECT_EQ(events->GetConnectionInterface(&iid), S_OK);
  EXPECT_EQ(iid, DIID_IFlashEvents);
  ComPtr<IConnectionPointContainer> back;
  ASSERT_EQ(events->GetConnectionPointContainer(&back), S_OK);
  EXPECT_EQ(back.Get(), container.Get());

  ComPtr<TEventSink> sink = Adopt(new TEventSink);
  DWORD eventsCookie = 0, notifyCookie = 0;
  ASSERT_EQ(events->Advise(static_cast<IDispatch*>(sink.Get()), &eventsCookie), S_OK);
  ASSERT_EQ(notify->Advise(static_cast<IDispatch*>(sink.Get()), &notifyCookie), S_OK);
  EXPECT_NE(eventsCookie, 0u);
  EXPECT_NE(notifyCookie, 0u);

  ComPtr<IStandinTest> test = TestInterface(control.Get());
  VARIANT command = TextVariant(L"quit"), args = TextVariant(L"now"), request = TextVariant(L"<invoke/>");
  VARIANT fsArgs[] = {command, args};
  VARIANT state = IntVariant(3), percent = IntVariant(42);
  EXPECT_EQ(test->FireEvent(DISPID_FLASH_READYSTATECHANGE, 1, &state), S_OK);
  EXPECT_EQ(test->FireEvent(DISPID_FLASH_ONPROGRESS, 1, &percent), S_OK);
  EXPECT_EQ(test->FireEvent(DISPID_FLASH_FSCOMMAND, 2, fsArgs), S_OK);
  EXPECT_EQ(test->FireEvent(DISPID_FLASH_FLASHCALL, 1, &request), S_OK);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  VARIANT opaque = TextVariant(L"Opaque");
  ASSERT_EQ(PutProperty(dispatch.Get(), 133, opaque), S_OK);
  VariantClear(&opaque);

  const std::vector<std::wstring> expected = {
      L"Invoke(-609, 3)", L"Invoke(1958, 42)", L"Invoke(150, \"quit\", \"now\")",
      L"Invoke(197, \"<invoke/>\")", L"OnChanged(133)"};
  EXPECT_EQ(sink->Calls, expected);

  // After Unadvise nothing arrives; an unknown cookie is refused.
  EXPECT_EQ(events->Unadvise(eventsCookie), S_OK);
  EXPECT_EQ(notify->Unadvise(notifyCookie), S_OK);
  EXPECT_EQ(events->Unadvise(eventsCookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(test->FireEvent(DISPID_FLASH_ONPROGRESS, 1, &percent), S_OK);
  EXPECT_EQ(sink->Calls.size(), expected.size());
  // A sink without the events interface cannot connect.
  ComPtr<IUnknown> notASink = CreateControl();
  DWORD cookie = 77;
  EXPECT_EQ(events->Advise(notASink.Get(), &cookie), CONNECT_E_CANNOTCONNECT);
  EXPECT_EQ(cookie, 0u);
  EXPECT_EQ(events->Advise(nullptr, &cookie), E_POINTER);

  const std::vector<std::wstring> journal = JournalOf(control.Get(), {L"Advise", L"Unadvise", L"Fire"});
  const std::vector<std::wstring> expectedJournal = {
      L"Advise(events) -> " + std::to_wstring(eventsCookie),
      L"Advise(IPropertyNotifySink) -> " + std::to_wstring(notifyCookie),
      L"Fire(-609, 3)", L"Fire(1958, 42)", L"Fire(150, \"quit\", \"now\")", L"Fire(197, \"<invoke/>\")",
      L"Unadvise(events, " + std::to_wstring(eventsCookie) + L")",
      L"Unadvise(IPropertyNotifySink, " + std::to_wstring(notifyCookie) + L")",
      L"Unadvise(events, " + std::to_wstring(eventsCookie) + L") -> " + HexText(CONNECT_E_NOCONNECTION),
      L"Fire(1958, 42)", L"Advise(events) -> " + HexText(CONNECT_E_CANNOTCONNECT),
      L"Advise(events, null) -> " + HexText(E_POINTER)};
  EXPECT_EQ(journal, expectedJournal);
  for (VARIANT* v : {&command, &args, &request}) VariantClear(v);
}

TEST_F(StandinTest, FailuresAreSteeredPerMethod) {
  ComPtr<IOleObject> control = CreateControl();
  ComPtr<IStandinTest> test = TestInterface(control.Get());
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(control.As(&dispatch), S_OK);
  ComPtr<IPersistStreamInit> persist;
  ASSERT_EQ(control.As(&persist), S_OK);
  ComPtr<IFlashScripting> flash;
  ASSERT_EQ(control.As(&flash), S_OK);
  ComPtr<IOleControl> oleControl;
  ASSERT_EQ(control.As(&oleControl), S_OK);

  const struct {
    const wchar_t* Method;
    HRESULT Result;
    std::function<HRESULT()> Call;
  } rows[] = {
      {L"GetMiscStatus", E_ACCESSDENIED, [&] {
         DWORD status = 0xdeadbeef;
         const HRESULT hr = control->GetMiscStatus(DVASPECT_CONTENT, &status);
         EXPECT_EQ(status, 0u);
         return hr;
       }},
      {L"SetClientSite", E_FAIL, [&] { return control->SetClientSite(nullptr); }},
      {L"InitNew", E_OUTOFMEMORY, [&] { return persist->InitNew(); }},
      {L"OnAmbientPropertyChange", E_UNEXPECTED, [&] { return oleControl->OnAmbientPropertyChange(-1); }},
      {L"DoVerb", E_ABORT, [&] { return control->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, nullptr, 0, nullptr, nullptr); }},
      {L"GetExtent", E_FAIL, [&] {
         SIZEL size{5, 5};
         const HRESULT hr = control->GetExtent(DVASPECT_CONTENT, &size);
         EXPECT_EQ(size.cx, 0);
         return hr;
       }},
      {L"put_WMode", DISP_E_EXCEPTION, [&] { return PutProperty(dispatch.Get(), 133, IntVariant(1)); }},
      {L"get_Quality", E_FAIL, [&] { VARIANT v; return GetProperty(dispatch.Get(), 105, v); }},
      {L"Invoke", E_NOTIMPL, [&] { return CallMethod(dispatch.Get(), L"Play", {}, nullptr); }},
      {L"LoadMovie", INET_E_DOWNLOAD_FAILURE, [&] { return flash->LoadMovie(0, nullptr); }},
      {L"FlashVersion", E_FAIL, [&] {
         long version = 7;
         const HRESULT hr = flash->FlashVersion(&version);
         EXPECT_EQ(version, 0);
         return hr;
       }},
      {L"CallFunction", E_FAIL, [&] {
         BSTR reply = reinterpret_cast<BSTR>(0x1);
         const HRESULT hr = flash->CallFunction(nullptr, &reply);
         EXPECT_EQ(reply, nullptr);
         return hr;
       }},
      {L"SetVariable", E_INVALIDARG, [&] { return flash->SetVariable(nullptr, nullptr); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "method " << std::string(row.Method, row.Method + wcslen(row.Method)));
    ASSERT_EQ(test->SetFailure(row.Method, row.Result), S_OK);
    EXPECT_EQ(row.Call(), row.Result);
    EXPECT_EQ(row.Call(), row.Result);  // until the rule is removed
    ASSERT_EQ(test->SetFailure(row.Method, S_OK), S_OK);
  }
  // With the rules gone the calls work again.
  EXPECT_EQ(persist->InitNew(), S_OK);
  VARIANT transparent = TextVariant(L"Transparent");
  EXPECT_EQ(PutProperty(dispatch.Get(), 133, transparent), S_OK);
  VariantClear(&transparent);
  EXPECT_EQ(CallMethod(dispatch.Get(), L"Play", {}, nullptr), S_OK);
}

TEST_F(StandinTest, JournalLinesReachTheNamedFile) {
  wchar_t folder[MAX_PATH], file[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"ksj", 0, file);
  DeleteFileW(file);
  SetEnvironmentVariableW(L"KRIBBEL_STANDIN_JOURNAL", file);
  std::vector<std::wstring> lines;
  {
    ComPtr<IOleObject> control = CreateControl();
    ComPtr<IFlashScripting> flash;
    ASSERT_EQ(control.As(&flash), S_OK);
    BSTR name = SysAllocString(L"n\x00E4me"), value = SysAllocString(L"line\nbreak");
    EXPECT_EQ(flash->SetVariable(name, value), S_OK);
    SysFreeString(name);
    SysFreeString(value);
    lines = Journal(control.Get());
  }
  SetEnvironmentVariableW(L"KRIBBEL_STANDIN_JOURNAL", nullptr);
  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  in.close();
  DeleteFileW(file);
  ASSERT_EQ(lines.size(), 2u);
  // "#<instance> <line>" in UTF-8, one per line; line breaks inside are escaped.
  const size_t space = text.find(' ');
  ASSERT_NE(space, std::string::npos);
  const std::string instance = text.substr(0, space);
  EXPECT_EQ(text, instance + " Create(" + instance.substr(1) + ")\n" + instance +
                      " SetVariable(\"n\xC3\xA4me\", \"line\\nbreak\")\n");
}

}  // namespace
