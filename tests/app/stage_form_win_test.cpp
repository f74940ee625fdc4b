#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>

#include "app/frm_stage_win.h"
#include "flash/flash_classes.h"
#include "framework/application_win.h"
#include "framework/form_reader.h"
#include "framework/forms_unit_win.h"

namespace {

std::string WinePath(const std::string& unixPath) { return "Z:" + unixPath; }

std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(WinePath(path), std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The form description as the built program carries it.
std::vector<uint8_t> ProgramFormResource() {
  HMODULE exe = LoadLibraryExA(WinePath(KRIBBEL_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  EXPECT_NE(exe, nullptr) << "cannot open " << KRIBBEL_EXE;
  if (!exe) return {};
  std::vector<uint8_t> bytes;
  if (HRSRC info = FindResourceA(exe, "TFRMSTAGE", MAKEINTRESOURCEA(10))) {
    const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(exe, info)));
    bytes.assign(data, data + SizeofResource(exe, info));
  }
  FreeLibrary(exe);
  return bytes;
}

class StageForm : public testing::Test {
protected:
  static void SetUpTestSuite() {
    InitializeFormsUnit();
    RegisterFlashListClasses();
    RegisterStageClasses();
  }
  static void TearDownTestSuite() { FinalizeFormsUnit(); }
};

TEST_F(StageForm, ProgramCarriesItsFormAndIcon) {
  HMODULE exe = LoadLibraryExA(WinePath(KRIBBEL_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  EXPECT_NE(FindResourceA(exe, "TFRMSTAGE", MAKEINTRESOURCEA(10)), nullptr);
  EXPECT_NE(FindResourceA(exe, "MAINICON", MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
  FreeLibrary(exe);
}

TEST_F(StageForm, ReadsItsDescriptionAndWritesBackTheSameBytes) {
  const std::vector<uint8_t> resource = ProgramFormResource();
  ASSERT_FALSE(resource.empty());
  auto* form = new TfrmStage(nullptr);
  ReadFormBinary(form, resource.data(), resource.size());

  EXPECT_EQ(form->Name(), "frmStage");
  EXPECT_EQ(form->Caption(), u"Kribbel \xFF08\x8F6F\x4EF6\x7F51\x5740\xFF1Ahttps://kribbel.example\xFF09");
  EXPECT_EQ(form->Width(), 776);
  EXPECT_EQ(form->Height(), 509);
  ASSERT_NE(form->mvFlashList1, nullptr);
  ASSERT_EQ(form->mvFlashList1->Flashs()->Count(), 1);
  TmvFlashStream* movie = form->mvFlashList1->FindFlash("kribbel.SWF");
  ASSERT_NE(movie, nullptr);
  const std::vector<uint8_t> swf = FileBytes(std::string(KRIBBEL_FORM_TEXT).substr(
                                       0, std::string(KRIBBEL_FORM_TEXT).rfind('/')) +
                                   "/Kribbel.swf");
  ASSERT_GT(swf.size(), 8u);
  ASSERT_EQ(movie->Stream()->Size(), int64_t(swf.size()));
  EXPECT_TRUE(std::equal(swf.begin(), swf.end(), movie->Stream()->Memory()));
  EXPECT_EQ(std::string(swf.begin(), swf.begin() + 3), "CWS");
  EXPECT_EQ(swf[3], 8);

  const std::vector<uint8_t> written = WriteFormBinary(form);
  // As text first: a difference then reads as the property that differs.
  EXPECT_EQ(FormToText(ReadBinaryForm(written.data(), written.size())),
            FormToText(ReadBinaryForm(resource.data(), resource.size())));
  EXPECT_EQ(written, resource);
  delete form;
}

// The real program, started as a user starts it: its window opens at 9/10
// of the screen height with the caption, and closing it ends the program.
TEST_F(StageForm, ProgramOpensItsWindowAndEndsWhenClosed) {
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::string command = "\"" + WinePath(KRIBBEL_EXE) + "\"";
  ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &startup, &process));
  const wchar_t* caption = L"Kribbel \xFF08\x8F6F\x4EF6\x7F51\x5740\xFF1Ahttps://kribbel.example\xFF09";
  HWND window = nullptr;
  for (int i = 0; i < 200 && !window; ++i) {
    window = FindWindowW(nullptr, caption);
    if (!window) Sleep(50);
  }
  ASSERT_NE(window, nullptr) << "the main window did not appear";
  for (int i = 0; i < 100 && !IsWindowVisible(window); ++i) Sleep(50);
  EXPECT_TRUE(IsWindowVisible(window));
  RECT r{}, client{};
  GetWindowRect(window, &r);
  GetClientRect(window, &client);
  SCOPED_TRACE(testing::Message() << "window " << r.left << "," << r.top << " " << r.right - r.left
                                  << "x" << r.bottom - r.top << ", client " << client.right << "x"
                                  << client.bottom << ", screen " << GetSystemMetrics(SM_CXSCREEN)
                                  << "x" << GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(r.bottom - r.top, GetSystemMetrics(SM_CYSCREEN) * 9 / 10);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  EXPECT_EQ(code, 0u);
  TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace
