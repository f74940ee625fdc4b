// The form compiler: payloads, file functions, the product's form, the
// command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "framework/exceptions.h"
#include "tools/form_compiler.h"

namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;

const fs::path Resources = fs::path(KRIBBEL_SOURCE_DIR) / "resources";

fs::path TempDir(const std::string& name) {
  const fs::path dir = fs::path(KRIBBEL_TEST_TEMP) / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

void WriteText(const fs::path& path, const std::string& text) {
  WriteFileBytes(path, text.data(), text.size());
}

std::string ReadText(const fs::path& path) {
  const TBytes bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TBytes LE32(uint32_t v) { return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}; }

TBytes Concat(std::initializer_list<TBytes> parts) {
  TBytes out;
  for (const TBytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(FormCompiler, FlashStreamPayloadLayout) {
  // The worked example of the movie list's payload.
  EXPECT_EQ(FlashStreamPayload("a.swf", {0x46, 0x57, 0x53}),
            TBytes({0x03, 0x05, 0, 0, 0, 0x61, 0x2E, 0x73, 0x77, 0x66, 0x03, 0, 0, 0, 0x46, 0x57, 0x53}));
  EXPECT_EQ(FlashStreamPayload("anything.swf", {}), TBytes({0}));
}

TEST(FormCompiler, FileFunctionsEmbedFilesRelativeToTheForm) {
  const fs::path dir = TempDir("functions");
  fs::create_directories(dir / "sub");
  WriteText(dir / "sub" / "m.swf", "FWS");
  WriteText(dir / "raw.bin", std::string("\x00\x01\xFF", 3));
  WriteText(dir / "empty.swf", "");
  const std::string text =
      "object X: TX\n"
      "  A = FlashStreamFile('sub/m.swf')\n"
      "  B = binaryfile('raw.bin')\n"
      "  C = FlashStreamFile('empty.swf')\n"
      "end\n";
  const TBytes binary = CompileTextForm(text, dir);
  const TFormObject form = ReadBinaryForm(binary.data(), binary.size());
  EXPECT_EQ(FindFormProperty(form.Properties, "A")->Value,
            BinaryValue(Concat({{3}, LE32(5), {'m', '.', 's', 'w', 'f'}, LE32(3), {'F', 'W', 'S'}})));
  EXPECT_EQ(FindFormProperty(form.Properties, "B")->Value, BinaryValue({0, 1, 0xFF}));
  EXPECT_EQ(FindFormProperty(form.Properties, "C")->Value, BinaryValue({0}));

  const struct {
    const char* Value;
    const char* Message;
  } rows[] = {
      {"FlashStreamFile('missing.swf')", "Line 2: Cannot open '"},
      {"FlashStreamFile()", "Line 2: FlashStreamFile takes one argument, a quoted file path"},
      {"FlashStreamFile(1)", "Line 2: FlashStreamFile takes one argument"},
      {"BinaryFile('')", "Line 2: BinaryFile: empty file path"},
      {"Include('x')", "Line 2: Unknown function 'Include' (known: FlashStreamFile, BinaryFile)"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Value);
    try {
      CompileTextForm(std::string("object X: TX\n  A = ") + row.Value + "\nend\n", dir);
      ADD_FAILURE() << "no error";
    } catch (const EParserError& e) {
      EXPECT_NE(e.Message().find(row.Message), std::string::npos) << e.Message();
    }
  }
}

// The product's form: compiled, decompiled and compiled again gives the same
// bytes, and the movie item carries Kribbel.swf in the list's layout.
TEST(FormCompiler, ProductFormRoundTripsAndEmbedsTheMovie) {
  const std::string text = ReadText(Resources / "frmStage.txt");
  const TBytes binary = CompileTextForm(text, Resources);
  const std::string decompiled = DecompileBinaryForm(binary);
  EXPECT_EQ(CompileTextForm(decompiled, Resources), binary);
  EXPECT_EQ(DecompileBinaryForm(CompileTextForm(decompiled, Resources)), decompiled);

  const TFormObject form = ReadBinaryForm(binary.data(), binary.size());
  EXPECT_EQ(form.ClassName, "TfrmStage");
  EXPECT_EQ(form.Name, "frmStage");
  std::vector<std::string> names;
  for (const TFormProperty& p : form.Properties) names.push_back(p.Name);
  EXPECT_EQ(names, std::vector<std::string>({"Left", "Top", "Width", "Height", "Caption", "Color",
                                             "Font.Charset", "Font.Color", "Font.Height", "Font.Name",
                                             "Font.Style", "OldCreateOrder", "OnCreate", "OnShow",
                                             "PixelsPerInch", "TextHeight"}));
  const auto value = [&](const char* name) { return FindFormProperty(form.Properties, name)->Value; };
  EXPECT_EQ(value("Left"), IntValue(258));
  EXPECT_EQ(value("Top"), IntValue(122));
  EXPECT_EQ(value("Width"), IntValue(776));
  EXPECT_EQ(value("Height"), IntValue(509));
  EXPECT_EQ(value("Caption"),
            WideStringValue(u"Kribbel \uFF08\u8F6F\u4EF6\u7F51\u5740\uFF1Ahttps://kribbel.example\uFF09"));
  EXPECT_EQ(value("Color"), IdentValue("clBtnFace"));
  EXPECT_EQ(value("Font.Charset"), IdentValue("DEFAULT_CHARSET"));
  EXPECT_EQ(value("Font.Color"), IdentValue("clWindowText"));
  EXPECT_EQ(value("Font.Height"), IntValue(-11));
  EXPECT_EQ(value("Font.Name"), StringValue("MS Sans Serif"));
  EXPECT_EQ(value("Font.Style"), SetValue({}));
  EXPECT_EQ(value("OldCreateOrder"), BoolValue(false));
  EXPECT_EQ(value("OnCreate"), IdentValue("FormCreate"));
  EXPECT_EQ(value("OnShow"), IdentValue("FormShow"));
  EXPECT_EQ(value("PixelsPerInch"), IntValue(96));
  EXPECT_EQ(value("TextHeight"), IntValue(13));

  ASSERT_EQ(form.Children.size(), 1u);
  const TFormObject& list = form.Children[0];
  EXPECT_EQ(list.ClassName, "TmvFlashList");
  EXPECT_EQ(list.Name, "mvFlashList1");
  ASSERT_EQ(list.Properties.size(), 3u);
  EXPECT_EQ(list.Properties[0].Name, "Flashs");
  EXPECT_EQ(list.Properties[1], (TFormProperty{"Left", IntValue(368)}));
  EXPECT_EQ(list.Properties[2], (TFormProperty{"Top", IntValue(72)}));
  const TFormValue& flashs = list.Properties[0].Value;
  ASSERT_EQ(flashs.Type, TValueType::vaCollection);
  ASSERT_EQ(flashs.Items.size(), 1u);
  const TFormCollectionItem& item = flashs.Items[0];
  EXPECT_FALSE(item.HasOrder);
  ASSERT_EQ(item.Properties.size(), 3u);
  EXPECT_EQ(item.Properties[0], (TFormProperty{"FlashStore", StringValue("Kribbel.swf")}));
  EXPECT_EQ(item.Properties[1], (TFormProperty{"Tag", IntValue(0)}));
  EXPECT_EQ(item.Properties[2].Name, "FlashStream");

  const TBytes movie = ReadFileBytes(Resources / "Kribbel.swf");
  ASSERT_GT(movie.size(), 8u);
  EXPECT_EQ(std::string(movie.begin(), movie.begin() + 3), "CWS");
  EXPECT_EQ(movie[3], 8);
  const std::string name = "Kribbel.swf";
  const TBytes expected = Concat({{3}, LE32(uint32_t(name.size())), TBytes(name.begin(), name.end()),
                                  LE32(uint32_t(movie.size())), movie});
  EXPECT_EQ(item.Properties[2].Value, BinaryValue(expected));
  // And in the bytes themselves: the binary value's own length, then the payload.
  const TBytes marker = Concat({{11}, TBytes({'F', 'l', 'a', 's', 'h', 'S', 't', 'r', 'e', 'a', 'm'}), {10},
                                LE32(uint32_t(expected.size())), expected});
  EXPECT_NE(std::search(binary.begin(), binary.end(), marker.begin(), marker.end()), binary.end());
}

// Runs formc; returns its exit code, with its standard error in errors.
int Formc(const std::string& args, std::string& errors, const fs::path& dir) {
  const fs::path err = dir / "stderr.txt";
  const std::string command = std::string("\"") + KRIBBEL_FORMC + "\" " + args + " 2>\"" + err.string() + "\"";
  const int status = std::system(command.c_str());
  errors = fs::exists(err) ? ReadText(err) : "";
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FormCompiler, CommandLine) {
  const fs::path dir = TempDir("command");
  std::string errors;
  const std::string in = (Resources / "frmStage.txt").string();
  const std::string bin = (dir / "frmStage.bin").string(), txt = (dir / "frmStage.out.txt").string();

  EXPECT_EQ(Formc("compile \"" + in + "\" \"" + bin + "\"", errors, dir), 0) << errors;
  EXPECT_EQ(Formc("decompile \"" + bin + "\" \"" + txt + "\"", errors, dir), 0) << errors;
  EXPECT_EQ(ReadFileBytes(bin), CompileTextForm(ReadText(Resources / "frmStage.txt"), Resources));
  EXPECT_EQ(ReadText(txt), DecompileBinaryForm(ReadFileBytes(bin)));
  EXPECT_FALSE(fs::exists(bin + ".tmp"));

  EXPECT_EQ(Formc("", errors, dir), 1);
  EXPECT_NE(errors.find("usage: formc compile"), std::string::npos);
  EXPECT_EQ(Formc("build a b", errors, dir), 1);

  WriteText(dir / "bad.txt", "object X: TX\n  A = \nend\n");
  EXPECT_EQ(Formc("compile \"" + (dir / "bad.txt").string() + "\" \"" + (dir / "bad.bin").string() + "\"",
                  errors, dir),
            1);
  EXPECT_NE(errors.find("bad.txt: Line 3: Expected a value, found 'end'"), std::string::npos) << errors;
  EXPECT_FALSE(fs::exists(dir / "bad.bin"));

  WriteText(dir / "bad.bin", "TPF0\x02TX");
  EXPECT_EQ(Formc("decompile \"" + (dir / "bad.bin").string() + "\" \"" + (dir / "x.txt").string() + "\"",
                  errors, dir),
            1);
  EXPECT_NE(errors.find("Form truncated at byte 7"), std::string::npos) << errors;

  EXPECT_EQ(Formc("compile \"" + (dir / "none.txt").string() + "\" \"" + (dir / "x.bin").string() + "\"",
                  errors, dir),
            1);
  EXPECT_NE(errors.find("Cannot open"), std::string::npos) << errors;

  EXPECT_EQ(Formc("compile \"" + in + "\" \"" + (dir / "no" / "such" / "dir.bin").string() + "\"", errors, dir),
            1);
  EXPECT_NE(errors.find("Cannot create"), std::string::npos) << errors;
}

}  // namespace
