// The download function's binding: which function the unit start chooses
// for a missing library, a missing export, Windows and Wine, what the unit
// shutdown gives back, and under Wine the callbacks that a local file's
// download delivers to a recording bind-status callback, in order.
#include <windows.h>
#include <urlmon.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "flash/download_win.h"

namespace {

// ---------------------------------------------------------------------------
// A recording bind-status callback.

struct TCallRecord {
  std::string FMethod;
  ULONG FStatusCode = 0;   // OnProgress
  DWORD FFlags = 0;        // OnDataAvailable
  HRESULT FResult = S_OK;  // OnStopBinding
  std::string FBytes;      // OnDataAvailable: what the stream gave in this call
};

TCallRecord Record(const char* method) {
  TCallRecord call;
  call.FMethod = method;
  return call;
}

std::string Describe(const TCallRecord& call) {
  char text[96];
  if (call.FMethod == "OnProgress")
    std::snprintf(text, sizeof text, "OnProgress %lu", static_cast<unsigned long>(call.FStatusCode));
  else if (call.FMethod == "OnDataAvailable")
    std::snprintf(text, sizeof text, "OnDataAvailable 0x%lx %zu", static_cast<unsigned long>(call.FFlags),
                  call.FBytes.size());
  else if (call.FMethod == "OnStopBinding")
    std::snprintf(text, sizeof text, "OnStopBinding 0x%08lx", static_cast<unsigned long>(call.FResult));
  else
    return call.FMethod;
  return text;
}

class TRecordingCallback final : public IBindStatusCallback {
public:
  std::vector<TCallRecord> FCalls;
  ULONG FRefCount = 1;  // the test's own reference
  bool FStopped = false;
  DWORD FBindFlags;
  bool FReadBeforeLast;  // false: leaves the bytes in the stream until the last notification

  explicit TRecordingCallback(DWORD bindFlags, bool readBeforeLast = true)
      : FBindFlags(bindFlags), FReadBeforeLast(readBeforeLast) {}

  std::string Bytes() const {
    std::string all;
    for (const TCallRecord& call : FCalls) all += call.FBytes;
    return all;
  }
  std::vector<std::string> Journal() const {
    std::vector<std::string> lines;
    for (const TCallRecord& call : FCalls) lines.push_back(Describe(call));
    return lines;
  }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    const struct {
      const IID& FIid;
      IUnknown* FInterface;
    } table[] = {{IID_IUnknown, this}, {IID_IBindStatusCallback, this}};
    for (const auto& entry : table)
      if (IsEqualIID(iid, entry.FIid)) {
        *out = entry.FInterface;
        entry.FInterface->AddRef();
        return S_OK;
      }
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++FRefCount; }
  // The test owns the object; the count only counts.
  ULONG STDMETHODCALLTYPE Release() override { return --FRefCount; }

  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override {
    FCalls.push_back(Record("OnStartBinding"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG* priority) override {
    if (!priority) return E_POINTER;
    *priority = THREAD_PRIORITY_NORMAL;
    FCalls.push_back(Record("GetPriority"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override {
    FCalls.push_back(Record("OnLowResource"));
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG, ULONG, ULONG statusCode, LPCWSTR) override {
    TCallRecord call = Record("OnProgress");
    call.FStatusCode = statusCode;
    FCalls.push_back(call);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT result, LPCWSTR) override {
    TCallRecord call = Record("OnStopBinding");
    call.FResult = result;
    FCalls.push_back(call);
    FStopped = true;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD* flags, BINDINFO* info) override {
    FCalls.push_back(Record("GetBindInfo"));
    if (!flags || !info) return E_POINTER;
    *flags = FBindFlags;
    const ULONG size = info->cbSize;
    ZeroMemory(info, size);
    info->cbSize = size;
    info->dwBindVerb = BINDVERB_GET;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD flags, DWORD, FORMATETC*,
                                            STGMEDIUM* medium) override {
    TCallRecord call = Record("OnDataAvailable");
    call.FFlags = flags;
    const bool read = FReadBeforeLast || (flags & BSCF_LASTDATANOTIFICATION);
    if (read && medium && medium->tymed == TYMED_ISTREAM && medium->pstm) {
      char buffer[1024];
      ULONG read = 0;
      HRESULT hr;
      do {
        read = 0;
        hr = medium->pstm->Read(buffer, sizeof buffer, &read);
        call.FBytes.append(buffer, read);
      } while (hr == S_OK && read > 0);
    }
    FCalls.push_back(call);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override {
    FCalls.push_back(Record("OnObjectAvailable"));
    return S_OK;
  }
};

// Runs the download's messages until it stops or a generous number of
// rounds has passed; never a clock.
void PumpUntilStopped(const TRecordingCallback& callback) {
  for (int round = 0; round < 2000 && !callback.FStopped; ++round) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The binding at unit start and shutdown, against a played system.

namespace {

HMODULE const KUrlMon = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x6A100000));
HMODULE const KNtDll = reinterpret_cast<HMODULE>(static_cast<uintptr_t>(0x6B200000));

HRESULT WINAPI FakeSystemExport(LPUNKNOWN, LPCSTR, DWORD, LPBINDSTATUSCALLBACK) { return E_FAIL; }
HRESULT WINAPI FakeCreateUrlMonikerEx(IMoniker*, LPCWSTR, IMoniker**, DWORD) { return E_FAIL; }
HRESULT WINAPI FakeCreateAsyncBindCtx(DWORD, IBindStatusCallback*, IEnumFORMATETC*, IBindCtx**) {
  return E_FAIL;
}

struct TPlayedSystem {
  bool FUrlMonLoads = true;
  bool FExportFound = true;
  bool FWine = true;
  bool FMonikerFunctionsFound = true;
  std::vector<std::string> FCalls;
};
TPlayedSystem* Played = nullptr;

std::string ModuleName(HMODULE module) {
  return module == KUrlMon ? "urlmon" : module == KNtDll ? "ntdll" : "other";
}

HMODULE WINAPI PlayedLoadLibraryA(LPCSTR name) {
  Played->FCalls.push_back(std::string("LoadLibraryA ") + name);
  return Played->FUrlMonLoads && lstrcmpiA(name, "urlmon.dll") == 0 ? KUrlMon : nullptr;
}
HMODULE WINAPI PlayedGetModuleHandleA(LPCSTR name) {
  Played->FCalls.push_back(std::string("GetModuleHandleA ") + name);
  return lstrcmpiA(name, "ntdll.dll") == 0 ? KNtDll : nullptr;
}
FARPROC WINAPI PlayedGetProcAddress(HMODULE module, LPCSTR name) {
  Played->FCalls.push_back("GetProcAddress " + ModuleName(module) + " " + name);
  const std::string n = name;
  void* found = nullptr;
  if (module == KUrlMon && n == "URLOpenPullStreamA" && Played->FExportFound)
    found = reinterpret_cast<void*>(&FakeSystemExport);
  if (module == KUrlMon && n == "CreateURLMonikerEx" && Played->FMonikerFunctionsFound)
    found = reinterpret_cast<void*>(&FakeCreateUrlMonikerEx);
  if (module == KUrlMon && n == "CreateAsyncBindCtx" && Played->FMonikerFunctionsFound)
    found = reinterpret_cast<void*>(&FakeCreateAsyncBindCtx);
  if (module == KNtDll && n == "wine_get_version" && Played->FWine)
    found = reinterpret_cast<void*>(&FakeSystemExport);  // only its presence counts
  return reinterpret_cast<FARPROC>(found);
}
BOOL WINAPI PlayedFreeLibrary(HMODULE module) {
  Played->FCalls.push_back("FreeLibrary " + ModuleName(module));
  return TRUE;
}

enum class TBound { Nil, SystemExport, OwnFunction };

struct TBindingCase {
  const char* FName;
  bool FUrlMonLoads, FExportFound, FWine, FMonikerFunctionsFound;
  TBound FBound;
  std::vector<std::string> FStartCalls;
  std::vector<std::string> FShutdownCalls;
};

const std::vector<std::string> KLoadAndExport = {"LoadLibraryA urlmon.dll",
                                                 "GetProcAddress urlmon URLOpenPullStreamA"};
std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
const std::vector<std::string> KWineQuestion = {"GetModuleHandleA ntdll.dll",
                                                "GetProcAddress ntdll wine_get_version"};
const std::vector<std::string> KMonikerFunctions = {"GetProcAddress urlmon CreateURLMonikerEx",
                                                    "GetProcAddress urlmon CreateAsyncBindCtx"};

const TBindingCase KBindingCases[] = {
    {"no urlmon", false, true, true, true, TBound::Nil, {"LoadLibraryA urlmon.dll"}, {}},
    {"no export", true, false, true, true, TBound::Nil, KLoadAndExport, {"FreeLibrary urlmon"}},
    {"Windows", true, true, false, true, TBound::SystemExport, Join(KLoadAndExport, KWineQuestion),
     {"FreeLibrary urlmon"}},
    {"Wine", true, true, true, true, TBound::OwnFunction,
     Join(Join(KLoadAndExport, KWineQuestion), KMonikerFunctions), {"FreeLibrary urlmon"}},
    {"Wine without the moniker functions", true, true, true, false, TBound::Nil,
     Join(Join(KLoadAndExport, KWineQuestion), KMonikerFunctions), {"FreeLibrary urlmon"}},
};

class TDownloadBindingTest : public testing::Test {
protected:
  TDownloadSystem FSaved = DownloadSystem;
  TPlayedSystem FPlayed;

  void SetUp() override {
    Played = &FPlayed;
    DownloadSystem.LoadLibraryA = PlayedLoadLibraryA;
    DownloadSystem.GetModuleHandleA = PlayedGetModuleHandleA;
    DownloadSystem.GetProcAddress = PlayedGetProcAddress;
    DownloadSystem.FreeLibrary = PlayedFreeLibrary;
  }
  void TearDown() override {
    FinalizeDownloadBinding();
    DownloadSystem = FSaved;
    Played = nullptr;
  }
};

}  // namespace

TEST_F(TDownloadBindingTest, DownloadBindingChoosesTheFunctionAndGivesBackTheLibrary) {
  for (const TBindingCase& row : KBindingCases) {
    SCOPED_TRACE(row.FName);
    FPlayed = TPlayedSystem{row.FUrlMonLoads, row.FExportFound, row.FWine,
                            row.FMonikerFunctionsFound, {}};
    InitializeDownloadBinding();
    EXPECT_EQ(FPlayed.FCalls, row.FStartCalls);
    EXPECT_EQ(UrlMonLibrary, row.FUrlMonLoads ? KUrlMon : nullptr);
    switch (row.FBound) {
      case TBound::Nil: EXPECT_EQ(UrlOpenPullStreamProc, nullptr); break;
      case TBound::SystemExport: EXPECT_EQ(UrlOpenPullStreamProc, &FakeSystemExport); break;
      case TBound::OwnFunction: EXPECT_EQ(UrlOpenPullStreamProc, &WineUrlOpenPullStream); break;
    }

    FPlayed.FCalls.clear();
    FinalizeDownloadBinding();
    EXPECT_EQ(FPlayed.FCalls, row.FShutdownCalls);
    EXPECT_EQ(UrlOpenPullStreamProc, nullptr);
    EXPECT_EQ(UrlMonLibrary, nullptr);

    // A second shutdown has nothing left to give back.
    FPlayed.FCalls.clear();
    FinalizeDownloadBinding();
    EXPECT_TRUE(FPlayed.FCalls.empty());
  }
}

TEST_F(TDownloadBindingTest, WineIsRecognisedByNtdllsExport) {
  FPlayed.FWine = true;
  EXPECT_TRUE(RunningUnderWine());
  FPlayed.FWine = false;
  EXPECT_FALSE(RunningUnderWine());
  EXPECT_EQ(FPlayed.FCalls, Join(KWineQuestion, KWineQuestion));
}

// ---------------------------------------------------------------------------
// The real system: these tests run under Wine.

namespace {

class TDownloadTest : public testing::Test {
protected:
  std::string FFolder;
  std::string FPath;
  std::string FContent;

  void SetUp() override {
    ASSERT_TRUE(RunningUnderWine()) << "the download tests call the Wine binding";
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    InitializeDownloadBinding();
    char temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    FFolder = std::string(temp) + "kribbel_download_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(FFolder.c_str(), nullptr);
    FPath = FFolder + "\\movie data.bin";  // a space, as paths next to a program have
    for (int i = 0; i < 5000; ++i) FContent.push_back(static_cast<char>((i * 7 + i / 256) & 0xFF));
    HANDLE file = CreateFileA(FPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, FContent.data(), static_cast<DWORD>(FContent.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_EQ(written, FContent.size());
  }
  void TearDown() override {
    DeleteFileA(FPath.c_str());
    RemoveDirectoryA(FFolder.c_str());
    FinalizeDownloadBinding();
    CoUninitialize();
  }

  static std::string FileUrl(const std::string& path) {
    std::string url = "file:///" + path;
    for (char& c : url)
      if (c == '\\') c = '/';
    return url;
  }
  std::string Form(bool asUrl, const std::string& path) const {
    return asUrl ? FileUrl(path) : path;
  }
};

// Start, progress, the data with the last notification at the end, and a
// successful stop, in this order and nothing after.
void ExpectDeliveryOrder(const std::vector<TCallRecord>& calls) {
  SCOPED_TRACE(testing::PrintToString(
      [&] { std::vector<std::string> l; for (auto& c : calls) l.push_back(Describe(c)); return l; }()));
  size_t i = 0;
  while (i < calls.size() && calls[i].FMethod == "GetBindInfo") ++i;
  ASSERT_LT(i, calls.size());
  EXPECT_EQ(calls[i].FMethod, "OnStartBinding");
  ++i;
  size_t progress = 0;
  bool beganDownload = false;
  while (i < calls.size() && calls[i].FMethod == "OnProgress") {
    beganDownload |= calls[i].FStatusCode == BINDSTATUS_BEGINDOWNLOADDATA;
    ++progress, ++i;
  }
  EXPECT_GT(progress, 0u);
  EXPECT_TRUE(beganDownload);
  size_t firstData = i;
  while (i < calls.size() && calls[i].FMethod == "OnDataAvailable") ++i;
  ASSERT_GT(i, firstData) << "no data";
  EXPECT_TRUE(calls[firstData].FFlags & BSCF_FIRSTDATANOTIFICATION);
  for (size_t d = firstData; d + 1 < i; ++d)
    EXPECT_FALSE(calls[d].FFlags & BSCF_LASTDATANOTIFICATION) << "a last notification before the end";
  EXPECT_TRUE(calls[i - 1].FFlags & BSCF_LASTDATANOTIFICATION);
  ASSERT_EQ(i + 1, calls.size()) << "anything but one stop after the data";
  EXPECT_EQ(calls[i].FMethod, "OnStopBinding");
  EXPECT_EQ(calls[i].FResult, S_OK);
}

struct TDeliveryCase {
  const char* FName;
  bool FAsUrl;
  DWORD FBindFlags;
  bool FReadBeforeLast;
};

const DWORD KPullFlags = BINDF_ASYNCHRONOUS | BINDF_ASYNCSTORAGE | BINDF_PULLDATA;

const TDeliveryCase KDeliveryCases[] = {
    {"path", false, KPullFlags, true},
    {"file URL", true, KPullFlags, true},
    {"path, synchronous flags", false, 0, true},
    {"file URL, synchronous flags", true, 0, true},
    {"path, read at the last notification", false, KPullFlags, false},
    {"file URL, read at the last notification", true, KPullFlags, false},
};

}  // namespace

TEST_F(TDownloadTest, UnitStartBindsOurOwnFunctionUnderWine) {
  EXPECT_EQ(UrlOpenPullStreamProc, &WineUrlOpenPullStream);
  EXPECT_NE(UrlMonLibrary, nullptr);
  EXPECT_EQ(UrlMonLibrary, GetModuleHandleA("urlmon.dll"));
}

TEST_F(TDownloadTest, LocalFileBytesArriveInOrder) {
  for (const TDeliveryCase& row : KDeliveryCases) {
    SCOPED_TRACE(row.FName);
    TRecordingCallback callback(row.FBindFlags, row.FReadBeforeLast);
    const std::string url = Form(row.FAsUrl, FPath);
    EXPECT_EQ(UrlOpenPullStreamProc(nullptr, url.c_str(), 0, &callback), S_OK);
    PumpUntilStopped(callback);
    ExpectDeliveryOrder(callback.FCalls);
    EXPECT_TRUE(callback.Bytes() == FContent) << "got " << callback.Bytes().size() << " bytes";
    EXPECT_EQ(callback.FRefCount, 1u);
  }
}

TEST_F(TDownloadTest, MissingFileFailsAndDeliversNoBytes) {
  for (bool asUrl : {false, true}) {
    SCOPED_TRACE(asUrl ? "file URL" : "path");
    TRecordingCallback callback(KPullFlags);
    const std::string url = Form(asUrl, FFolder + "\\no such movie.swf");
    const HRESULT result = UrlOpenPullStreamProc(nullptr, url.c_str(), 0, &callback);
    PumpUntilStopped(callback);
    EXPECT_TRUE(FAILED(result));
    ASSERT_FALSE(callback.FCalls.empty());
    const TCallRecord& last = callback.FCalls.back();
    EXPECT_EQ(last.FMethod, "OnStopBinding");
    EXPECT_TRUE(FAILED(last.FResult));
    EXPECT_EQ(result, last.FResult) << "the call reports what the callback heard";
    for (const TCallRecord& call : callback.FCalls) EXPECT_NE(call.FMethod, "OnDataAvailable");
    EXPECT_EQ(std::count_if(callback.FCalls.begin(), callback.FCalls.end(),
                            [](const TCallRecord& c) { return c.FMethod == "OnStopBinding"; }),
              1);
    EXPECT_EQ(callback.FRefCount, 1u);
  }
}

TEST_F(TDownloadTest, MissingArgumentsFailWithoutCallbacks) {
  TRecordingCallback callback(KPullFlags);
  EXPECT_EQ(WineUrlOpenPullStream(nullptr, nullptr, 0, &callback), E_INVALIDARG);
  EXPECT_EQ(WineUrlOpenPullStream(nullptr, FPath.c_str(), 0, nullptr), E_INVALIDARG);
  EXPECT_TRUE(callback.FCalls.empty());
  EXPECT_EQ(callback.FRefCount, 1u);
}

TEST_F(TDownloadTest, AfterShutdownOurFunctionFailsWithoutCallbacks) {
  FinalizeDownloadBinding();
  EXPECT_EQ(UrlOpenPullStreamProc, nullptr);
  TRecordingCallback callback(KPullFlags);
  EXPECT_TRUE(FAILED(WineUrlOpenPullStream(nullptr, FPath.c_str(), 0, &callback)));
  EXPECT_TRUE(callback.FCalls.empty());
  EXPECT_EQ(callback.FRefCount, 1u);
}
