// The streamed-form codec: binary and text forms, values, broken input.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "framework/exceptions.h"
#include "framework/form_codec.h"

namespace {

using TBytes = std::vector<uint8_t>;

// Byte builder for hand-made forms.
struct TB {
  TBytes B;
  TB& Raw(std::initializer_list<int> bytes) {
    for (int b : bytes) B.push_back(uint8_t(b));
    return *this;
  }
  TB& Str(const std::string& s) {  // short string
    B.push_back(uint8_t(s.size()));
    B.insert(B.end(), s.begin(), s.end());
    return *this;
  }
  TB& I32(int32_t v) {
    for (int i = 0; i < 4; ++i) B.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    return *this;
  }
  TB& Sig() {
    B.insert(B.end(), {'T', 'P', 'F', '0'});
    return *this;
  }
  // "TPF0", object X: TX, and one property P whose value bytes follow.
  TB& Head() { return Sig().Str("TX").Str("X").Str("P"); }
};

TFormObject OneProperty(TFormValue v) {
  TFormObject o;
  o.ClassName = "TX";
  o.Name = "X";
  o.Properties.push_back({"P", std::move(v)});
  return o;
}

// The bytes of a lone property value in the binary form.
TBytes ValueBytes(const TFormValue& v) {
  const TBytes all = WriteBinaryForm(OneProperty(v));
  const size_t head = 4 + 3 + 2 + 2;  // signature, "TX", "X", "P"
  const size_t tail = 2;              // end of properties, end of children
  return TBytes(all.begin() + head, all.end() - tail);
}

TFormValue Raw(TValueType type, TBytes bytes) {
  TFormValue v;
  v.Type = type;
  v.Bytes = std::move(bytes);
  return v;
}

TFormValue Utf8(std::string s) {
  TFormValue v;
  v.Type = TValueType::vaUTF8String;
  v.Str = std::move(s);
  return v;
}

std::string ReadError(const TBytes& bytes) {
  try {
    ReadBinaryForm(bytes.data(), bytes.size());
  } catch (const EReadError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("wrong exception: ") + e.what();
  }
  return "no error";
}

std::string ParseError(const std::string& text) {
  try {
    ParseTextForm(text);
  } catch (const EParserError& e) {
    return e.Message();
  } catch (const std::exception& e) {
    return std::string("wrong exception: ") + e.what();
  }
  return "no error";
}

// ---------------------------------------------------------------------------

TEST(FormCodec, ValuesRoundTripThroughBinaryAndText) {
  const std::string longText(300, 'x');
  const struct {
    const char* Name;
    TFormValue Value;
    TBytes Bytes;
  } rows[] = {
      {"int8", IntValue(-5), {2, 0xFB}},
      {"int16", IntValue(258), {3, 0x02, 0x01}},
      {"int32", IntValue(100000), {4, 0xA0, 0x86, 0x01, 0x00}},
      {"int64", IntValue(int64_t(1) << 40), {19, 0, 0, 0, 0, 0, 1, 0, 0}},
      {"false", BoolValue(false), {8}},
      {"true", BoolValue(true), {9}},
      {"nil", NilValue(), {13}},
      {"null", TFormValue{}, {0}},
      {"ident", IdentValue("clBtnFace"), {7, 9, 'c', 'l', 'B', 't', 'n', 'F', 'a', 'c', 'e'}},
      {"dotted ident", IdentValue("Form1.Button1"),
       {7, 13, 'F', 'o', 'r', 'm', '1', '.', 'B', 'u', 't', 't', 'o', 'n', '1'}},
      {"string", StringValue("a'b"), {6, 3, 'a', '\'', 'b'}},
      {"empty string", StringValue(""), {6, 0}},
      {"control chars", StringValue(std::string("a\r\nb\0", 5)), {6, 5, 'a', 13, 10, 'b', 0}},
      {"high bytes", StringValue("\xE9\xFF"), {6, 2, 0xE9, 0xFF}},
      {"wide", WideStringValue(u"K\u8F6F"), {18, 2, 0, 0, 0, 'K', 0, 0x6F, 0x8F}},
      {"binary", BinaryValue({1, 2, 0xFE}), {10, 3, 0, 0, 0, 1, 2, 0xFE}},
      {"empty binary", BinaryValue({}), {10, 0, 0, 0, 0}},
      {"set", SetValue({"fsBold", "fsItalic"}),
       {11, 6, 'f', 's', 'B', 'o', 'l', 'd', 8, 'f', 's', 'I', 't', 'a', 'l', 'i', 'c', 0}},
      {"empty set", SetValue({}), {11, 0}},
      {"list", ListValue({IntValue(1), StringValue("a"), ListValue({})}),
       {1, 2, 1, 6, 1, 'a', 1, 0, 0}},
      {"collection", CollectionValue({{false, 0, {{"Tag", IntValue(7)}}}, {true, 3, {}}}),
       {14, 1, 3, 'T', 'a', 'g', 2, 7, 0, 2, 3, 1, 0, 0}},
      {"extended 1.0", Raw(TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}),
       {5, 0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {"single -2.5", Raw(TValueType::vaSingle, {0, 0, 0x20, 0xC0}), {15, 0, 0, 0x20, 0xC0}},
      {"currency", Raw(TValueType::vaCurrency, {0x98, 0x3A, 0, 0, 0, 0, 0, 0}),
       {16, 0x98, 0x3A, 0, 0, 0, 0, 0, 0}},
      {"date", Raw(TValueType::vaDate, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}),
       {17, 0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"utf8", Utf8("\xE8\xBD\xAF"), {20, 3, 0, 0, 0, 0xE8, 0xBD, 0xAF}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    EXPECT_EQ(ValueBytes(row.Value), row.Bytes);
    const TBytes form = WriteBinaryForm(OneProperty(row.Value));
    const TFormObject back = ReadBinaryForm(form.data(), form.size());
    EXPECT_EQ(back, OneProperty(row.Value));
    // Text keeps the value, except that the text form has no UTF-8 kind.
    const std::string text = FormToText(back);
    const TFormObject parsed = ParseTextForm(text);
    EXPECT_EQ(FormToText(parsed), text);
    if (row.Value.Type != TValueType::vaUTF8String) {
      EXPECT_EQ(WriteBinaryForm(parsed), form) << text;
    }
  }

  // Long strings: 32-bit length, in either text direction.
  EXPECT_EQ(StringValue(longText).Type, TValueType::vaLString);
  const TBytes bytes = ValueBytes(StringValue(longText));
  ASSERT_EQ(bytes.size(), 1 + 4 + 300u);
  EXPECT_EQ(bytes[0], 12);
  EXPECT_EQ(bytes[1] | bytes[2] << 8, 300);
  EXPECT_EQ(ParseTextForm(FormToText(OneProperty(StringValue(longText)))),
            OneProperty(StringValue(longText)));
}

TEST(FormCodec, IntegersUseTheSmallestTypeAtEveryBoundary) {
  const struct {
    int64_t Value;
    TValueType Type;
  } rows[] = {
      {0, TValueType::vaInt8},
      {127, TValueType::vaInt8},
      {128, TValueType::vaInt16},
      {-128, TValueType::vaInt8},
      {-129, TValueType::vaInt16},
      {32767, TValueType::vaInt16},
      {32768, TValueType::vaInt32},
      {-32768, TValueType::vaInt16},
      {-32769, TValueType::vaInt32},
      {2147483647, TValueType::vaInt32},
      {2147483648LL, TValueType::vaInt64},
      {-2147483647LL - 1, TValueType::vaInt32},
      {-2147483649LL, TValueType::vaInt64},
      {INT64_MAX, TValueType::vaInt64},
      {INT64_MIN, TValueType::vaInt64},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Value);
    EXPECT_EQ(IntValue(row.Value).Type, row.Type);
    const TBytes bytes = ValueBytes(IntValue(row.Value));
    const size_t width = row.Type == TValueType::vaInt8    ? 1
                         : row.Type == TValueType::vaInt16 ? 2
                         : row.Type == TValueType::vaInt32 ? 4
                                                           : 8;
    ASSERT_EQ(bytes.size(), 1 + width);
    EXPECT_EQ(bytes[0], uint8_t(row.Type));
    int64_t back = 0;
    for (size_t i = 0; i < width; ++i) back |= int64_t(bytes[1 + i]) << (8 * i);
    if (width < 8) back = (back << (64 - 8 * width)) >> (64 - 8 * width);
    EXPECT_EQ(back, row.Value);
    // The type of the tree's value does not matter to the writer.
    TFormValue wide;
    wide.Type = TValueType::vaInt64;
    wide.Int = row.Value;
    EXPECT_EQ(ValueBytes(wide), bytes);
    // Text: the decimal number, parsed back into the same bytes.
    const std::string text = FormToText(OneProperty(IntValue(row.Value)));
    EXPECT_NE(text.find("P = " + std::to_string(row.Value) + "\n"), std::string::npos) << text;
    EXPECT_EQ(WriteBinaryForm(ParseTextForm(text)), WriteBinaryForm(OneProperty(IntValue(row.Value))));
  }
}

TEST(FormCodec, IntegersWrittenWiderReadBackAsTheSmallestType) {
  // 5 as vaInt32 and as vaInt64: the tree says vaInt8, the rewrite is smallest.
  const TBytes int32Form = TB().Head().Raw({4, 5, 0, 0, 0, 0, 0}).B;
  const TBytes int64Form = TB().Head().Raw({19, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}).B;
  for (const TBytes& form : {int32Form, int64Form}) {
    const TFormObject o = ReadBinaryForm(form.data(), form.size());
    EXPECT_EQ(o.Properties.at(0).Value, IntValue(5));
    EXPECT_EQ(WriteBinaryForm(o), TB().Head().Raw({2, 5, 0, 0}).B);
  }
}

TEST(FormCodec, ObjectsPrefixesAndTrailingBytes) {
  // object A: TA with a child carrying the filer prefix (child position 3).
  const TBytes bytes = TB()
                           .Sig()
                           .Str("TA")
                           .Str("A")
                           .Str("Tag")
                           .Raw({2, 1, 0})
                           .Raw({0xF2, 2, 3})
                           .Str("TB")
                           .Str("B")
                           .Raw({0, 0})
                           .Raw({0xF0})
                           .Str("TC")
                           .Str("")
                           .Raw({0, 0})
                           .Raw({0})
                           .Raw({0x55, 0xAA, 0})  // padding after the root object: not read
                           .B;
  const TFormObject o = ReadBinaryForm(bytes.data(), bytes.size());
  ASSERT_EQ(o.Children.size(), 2u);
  EXPECT_EQ(o.Children[0].ClassName, "TB");
  EXPECT_EQ(o.Children[0].Flags, ffChildPos);
  EXPECT_EQ(o.Children[0].ChildPos, 3);
  EXPECT_EQ(o.Children[1].ClassName, "TC");
  EXPECT_EQ(o.Children[1].Name, "");
  EXPECT_EQ(o.Children[1].Flags, 0);
  // Rewritten: the prefix with flags stays, the empty one goes, padding goes.
  TBytes expected(bytes.begin(), bytes.end() - 3);
  expected.erase(expected.begin() + 26);  // the 0xF0 of TC
  EXPECT_EQ(WriteBinaryForm(o), expected);
  EXPECT_EQ(FormToText(o),
            "object A: TA\n"
            "  Tag = 1\n"
            "  object B: TB [3]\n"
            "  end\n"
            "  object TC\n"
            "  end\n"
            "end\n");
  EXPECT_EQ(ParseTextForm(FormToText(o)), o);

  TFormObject inherited;
  inherited.ClassName = "TI";
  inherited.Name = "I";
  inherited.Flags = ffInherited;
  TFormObject root;
  root.ClassName = "TR";
  root.Children = {inherited};
  root.Children.push_back(inherited);
  root.Children.back().Flags = ffInline;
  const TBytes rootBytes = WriteBinaryForm(root);
  EXPECT_EQ(ReadBinaryForm(rootBytes.data(), rootBytes.size()), root);
  EXPECT_EQ(FormToText(root), "object TR\n  inherited I: TI\n  end\n  inline I: TI\n  end\nend\n");
  EXPECT_EQ(ParseTextForm(FormToText(root)), root);
}

TEST(FormCodec, BrokenBinaryFormsGiveReadErrors) {
  std::vector<TB> nested(1);
  nested[0].Head();
  for (int i = 0; i < MaxFormNesting + 1; ++i) nested[0].Raw({1});
  TB deepObjects;
  deepObjects.Sig();
  for (int i = 0; i <= MaxFormNesting; ++i) deepObjects.Str("TX").Str("X").Raw({0});

  const struct {
    const char* Name;
    TBytes Bytes;
    const char* Message;
  } rows[] = {
      {"empty", {}, "Invalid form signature (expected 'TPF0') at byte 0"},
      {"bad signature", TB().Raw({'T', 'P', 'F', '1', 2, 'T', 'X'}).B, "Invalid form signature"},
      {"signature only", TB().Sig().B, "Form truncated at byte 4 (a class name needs 1 byte, 0 left)"},
      {"class name", TB().Sig().Raw({5, 'T', 'X'}).B,
       "Form truncated at byte 5 (a class name needs 5 bytes, 2 left)"},
      {"empty class name", TB().Sig().Raw({0, 0, 0, 0}).B, "Empty class name at byte 4"},
      {"object name", TB().Sig().Str("TX").B, "Form truncated at byte 7 (an object name"},
      {"property name", TB().Sig().Str("TX").Str("X").Raw({7, 'C', 'a', 'p'}).B,
       "Form truncated at byte 10 (a property name needs 7 bytes, 3 left) in object 'X'"},
      {"value type", TB().Head().B,
       "Form truncated at byte 11 (a value type needs 1 byte, 0 left) in property 'P' of object 'X'"},
      {"int8", TB().Head().Raw({2}).B, "Form truncated at byte 12 (an 8-bit integer"},
      {"int16", TB().Head().Raw({3, 1}).B, "Form truncated at byte 12 (a 16-bit integer needs 2 bytes, 1 left)"},
      {"int32", TB().Head().Raw({4, 1, 2}).B, "(a 32-bit integer needs 4 bytes, 2 left) in property 'P'"},
      {"int64", TB().Head().Raw({19, 1, 2, 3, 4, 5, 6, 7}).B, "(a 64-bit integer needs 8 bytes, 7 left)"},
      {"extended", TB().Head().Raw({5, 0, 0, 0}).B, "(vaExtended needs 10 bytes, 3 left)"},
      {"single", TB().Head().Raw({15, 0}).B, "(vaSingle needs 4 bytes, 1 left)"},
      {"currency", TB().Head().Raw({16}).B, "(vaCurrency needs 8 bytes, 0 left)"},
      {"date", TB().Head().Raw({17, 1, 2}).B, "(vaDate needs 8 bytes, 2 left)"},
      {"short string", TB().Head().Raw({6, 10, 'a'}).B,
       "Form truncated at byte 13 (a short string needs 10 bytes, 1 left) in property 'P'"},
      {"identifier", TB().Head().Raw({7}).B, "(an identifier needs 1 byte, 0 left)"},
      {"long string length", TB().Head().Raw({12, 1, 0}).B, "(a long string needs 4 bytes, 2 left)"},
      {"long string negative", TB().Head().Raw({12}).I32(-1).B,
       "Negative length -1 of a long string at byte 12 in property 'P'"},
      {"long string oversized", TB().Head().Raw({12}).I32(1000).Raw({'a', 'b'}).B,
       "Length 1000 of a long string runs past the end at byte 12 (2 bytes left)"},
      {"long string huge", TB().Head().Raw({12}).I32(INT32_MAX).B, "Length 2147483647 of a long string runs past"},
      {"utf8 negative", TB().Head().Raw({20}).I32(INT32_MIN).B, "Negative length -2147483648 of a UTF-8 string"},
      {"wide string odd", TB().Head().Raw({18}).I32(2).Raw({'a', 0, 'b'}).B,
       "Length 2 of a wide string runs past the end at byte 12 (3 bytes left)"},
      {"wide string negative", TB().Head().Raw({18}).I32(-7).B, "Negative length -7 of a wide string"},
      {"binary negative", TB().Head().Raw({10}).I32(-2).B, "Negative length -2 of binary data at byte 12"},
      {"binary oversized", TB().Head().Raw({10}).I32(5).Raw({1, 2, 3, 4}).B,
       "Length 5 of binary data runs past the end"},
      {"binary length", TB().Head().Raw({10, 5}).B, "(binary data needs 4 bytes, 1 left)"},
      {"set element", TB().Head().Raw({11, 4, 'a'}).B, "(a set element needs 4 bytes, 1 left)"},
      {"set end", TB().Head().Raw({11, 1, 'a'}).B, "(a set element needs 1 byte, 0 left)"},
      {"list end", TB().Head().Raw({1, 2, 1}).B, "(a list element's type needs 1 byte, 0 left)"},
      {"collection end", TB().Head().Raw({14}).B, "(a collection item needs 1 byte"},
      {"collection item", TB().Head().Raw({14, 6, 0}).B,
       "Collection item expected (type vaList), found vaString at byte 12 in property 'P'"},
      {"collection order only", TB().Head().Raw({14, 2, 5}).B, "(a collection item needs 1 byte, 0 left)"},
      {"collection property", TB().Head().Raw({14, 1}).Str("Tag").Raw({4, 1}).B,
       "(a 32-bit integer needs 4 bytes, 1 left) in property 'P.Tag' of object 'X'"},
      {"collection properties end", TB().Head().Raw({14, 1}).B, "(a collection item property name"},
      {"unknown value type", TB().Head().Raw({21}).B,
       "Unknown value type 21 at byte 11 in property 'P' of object 'X'"},
      {"unknown value type 255", TB().Head().Raw({255}).B, "Unknown value type 255 at byte 11"},
      {"unknown list element", TB().Head().Raw({1, 2, 0, 99}).B, "Unknown value type 99 at byte 14"},
      {"properties end", TB().Sig().Str("TX").Str("X").Str("P").Raw({9}).B,
       "(a property name needs 1 byte, 0 left)"},
      {"children end", TB().Sig().Str("TX").Str("X").Raw({0}).B,
       "Form truncated at byte 10 (the end of the child objects needs 1 byte, 0 left) in object 'X'"},
      {"child", TB().Sig().Str("TX").Str("X").Raw({0}).Str("TY").B,
       "Form truncated at byte 13 (an object name needs 1 byte, 0 left) in object 'X'"},
      {"prefix only", TB().Sig().Raw({0xF2}).B, "(the child position needs 1 byte"},
      {"child position type", TB().Sig().Raw({0xF2, 6, 0}).B,
       "Child position must be an integer, found vaString at byte 5"},
      {"runaway lists", nested[0].B, "Lists and collections nested deeper than 64 at byte 75 in property 'P'"},
      {"runaway objects", deepObjects.B, "Objects nested deeper than 64 at byte 388"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Name);
    const std::string message = ReadError(row.Bytes);
    EXPECT_NE(message.find(row.Message), std::string::npos) << message;
  }
}

// A small form shaped like the product's: nested Font properties, a wide
// caption, a component reference, a collection whose item holds binary data.
TFormObject ProductLikeForm() {
  TFormObject list;
  list.ClassName = "TmvFlashList";
  list.Name = "mvFlashList1";
  TFormCollectionItem item;
  item.Properties = {{"FlashStore", StringValue("a.swf")},
                     {"Tag", IntValue(0)},
                     {"FlashStream", BinaryValue({3, 5, 0, 0, 0, 'a', '.', 's', 'w', 'f', 3, 0, 0, 0,
                                                  'F', 'W', 'S'})}};
  list.Properties = {{"Flashs", CollectionValue({item})}, {"Left", IntValue(368)}, {"Top", IntValue(72)}};
  TFormObject player;
  player.ClassName = "TmvFlashPlayer";
  player.Name = "mvFlashPlayer1";
  player.Properties = {{"Align", IdentValue("alClient")}, {"FlashList", IdentValue("mvFlashList1")}};
  TFormObject form;
  form.ClassName = "TfrmStage";
  form.Name = "frmStage";
  form.Properties = {{"Left", IntValue(258)},
                     {"Caption", WideStringValue(u"Kribbel \uFF08\u8F6F\uFF09")},
                     {"Font.Charset", IdentValue("DEFAULT_CHARSET")},
                     {"Font.Height", IntValue(-11)},
                     {"Font.Name", StringValue("MS Sans Serif")},
                     {"Font.Style", SetValue({})},
                     {"OldCreateOrder", BoolValue(false)},
                     {"OnCreate", IdentValue("FormCreate")}};
  form.Children = {player, list};
  return form;
}

const char* const ProductLikeText =
    "object frmStage: TfrmStage\n"
    "  Left = 258\n"
    "  Caption = 'Kribbel '#65288#36719#65289\n"
    "  Font.Charset = DEFAULT_CHARSET\n"
    "  Font.Height = -11\n"
    "  Font.Name = 'MS Sans Serif'\n"
    "  Font.Style = []\n"
    "  OldCreateOrder = False\n"
    "  OnCreate = FormCreate\n"
    "  object mvFlashPlayer1: TmvFlashPlayer\n"
    "    Align = alClient\n"
    "    FlashList = mvFlashList1\n"
    "  end\n"
    "  object mvFlashList1: TmvFlashList\n"
    "    Flashs = <\n"
    "      item\n"
    "        FlashStore = 'a.swf'\n"
    "        Tag = 0\n"
    "        FlashStream = {0305000000612E73776603000000465753}\n"
    "      end>\n"
    "    Left = 368\n"
    "    Top = 72\n"
    "  end\n"
    "end\n";

TEST(FormCodec, ProductLikeFormRoundTripsBetweenTextAndBinary) {
  const TFormObject form = ProductLikeForm();
  EXPECT_EQ(FormToText(form), ProductLikeText);
  EXPECT_EQ(ParseTextForm(ProductLikeText), form);

  const TBytes binary = WriteBinaryForm(ParseTextForm(ProductLikeText));
  EXPECT_EQ(ReadBinaryForm(binary.data(), binary.size()), form);
  EXPECT_EQ(FormToText(ReadBinaryForm(binary.data(), binary.size())), ProductLikeText);
  EXPECT_EQ(WriteBinaryForm(ReadBinaryForm(binary.data(), binary.size())), binary);

  // A few landmarks of the bytes: the signature, the dotted name, the
  // collection with its item list, the binary length.
  const std::string s(binary.begin(), binary.end());
  EXPECT_EQ(s.substr(0, 4), "TPF0");
  EXPECT_NE(s.find("\x0B" "Font.Height\x02\xF5"), std::string::npos);
  EXPECT_NE(s.find(std::string("\x06" "Flashs\x0E\x01\x0A" "FlashStore\x06\x05" "a.swf", 23)),
            std::string::npos);
  EXPECT_NE(s.find(std::string("\x0B" "FlashStream\x0A\x11\x00\x00\x00\x03", 18)), std::string::npos);
  EXPECT_NE(s.find("\x07" "Caption\x12\x0B\x00\x00\x00K"), std::string::npos);
}

TEST(FormCodec, EveryTruncationAndEveryByteChangeIsHandled) {
  const TBytes binary = WriteBinaryForm(ProductLikeForm());
  for (size_t n = 0; n < binary.size(); ++n) {
    SCOPED_TRACE(n);
    EXPECT_THROW(ReadBinaryForm(binary.data(), n), EReadError);
  }
  // Each byte set to a few telling values: parses or raises EReadError, and
  // whatever parses rewrites into a form that reads back the same.
  for (size_t i = 0; i < binary.size(); ++i) {
    for (uint8_t b : {0x00, 0x01, 0x7F, 0x80, 0xF0, 0xFF}) {
      TBytes changed = binary;
      changed[i] = b;
      try {
        const TFormObject o = ReadBinaryForm(changed.data(), changed.size());
        const TBytes again = WriteBinaryForm(o);
        ASSERT_EQ(ReadBinaryForm(again.data(), again.size()), o) << "byte " << i;
      } catch (const EReadError&) {
      } catch (const EWriteError&) {
      }
    }
  }
}

TEST(FormCodec, TextLayoutFollowsThePlatform) {
  // Long strings start on their own line and continue with '+' every 64
  // characters; binary values of 32 bytes or more go 32 to a line.
  std::string text(70, 'a');
  text[3] = '\'';
  text[65] = '\n';
  TBytes bytes(40);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i);
  TFormObject o = OneProperty(StringValue(text));
  o.Properties.push_back({"B", BinaryValue(bytes)});
  o.Properties.push_back({"L", ListValue({IntValue(1), ListValue({IdentValue("x")}), StringValue("s")})});
  o.Properties.push_back({"E", ListValue({})});
  o.Properties.push_back({"C", CollectionValue({{true, 2, {{"A", IntValue(1)}}}, {}})});
  const std::string expected =
      "object X: TX\n"
      "  P =\n"
      "    'aaa''aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' +\n"
      "    'a'#10'aaaa'\n"
      "  B = {\n"
      "    000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F\n"
      "    2021222324252627}\n"
      "  L = (\n"
      "    1\n"
      "    (\n"
      "      x)\n"
      "    's')\n"
      "  E = ()\n"
      "  C = <\n"
      "    item [2]\n"
      "      A = 1\n"
      "    end\n"
      "    item\n"
      "    end>\n"
      "end\n";
  EXPECT_EQ(FormToText(o), expected);
  EXPECT_EQ(ParseTextForm(expected), o);
}

TEST(FormCodec, TextParserAcceptsTheWaysPeopleWriteForms) {
  const TFormObject o = ParseTextForm(
      "\xEF\xBB\xBF// a comment\r\n"
      "OBJECT x: TX // trailing comment\r\n"
      "  A = 'it''s' + // joined\r\n"
      "      ' here'#13#$0A\r\n"
      "  B = $FF\r\n"
      "  C = { 01 02\r\n"
      "        0a0B }\r\n"
      "  D = [ a,b ]\r\n"
      "  E = Form1.Button1\r\n"
      "  F = true\r\n"
      "  G = NIL\r\n"
      "  H = 'x'#20320\r\n"
      "  I = -$10\r\n"
      "  Font.Name = 'Arial'\r\n"
      "END\r\n"
      "// done\r\n");
  EXPECT_EQ(o.Name, "x");
  const auto value = [&](const char* name) { return FindFormProperty(o.Properties, name)->Value; };
  EXPECT_EQ(value("A"), StringValue("it's here\r\n"));
  EXPECT_EQ(value("B"), IntValue(255));
  EXPECT_EQ(value("C"), BinaryValue({1, 2, 10, 11}));
  EXPECT_EQ(value("D"), SetValue({"a", "b"}));
  EXPECT_EQ(value("E"), IdentValue("Form1.Button1"));
  EXPECT_EQ(value("F"), BoolValue(true));
  EXPECT_EQ(value("G"), NilValue());
  EXPECT_EQ(value("H"), WideStringValue(u"x\u4F60"));
  EXPECT_EQ(value("I"), IntValue(-16));
  EXPECT_EQ(value("Font.Name"), StringValue("Arial"));
}

TEST(FormCodec, TextParseErrorsNameTheLine) {
  const struct {
    const char* Text;
    const char* Message;
  } rows[] = {
      {"", "Line 1: Expected 'object', found the end of the text"},
      {"thing X: TX\nend\n", "Line 1: Expected 'object', found 'thing'"},
      {"object X: TX\n  A 1\nend\n", "Line 2: Expected '=' after the property name 'A', found the number 1"},
      {"object X: TX\n  A =\nend\n", "Line 3: Expected a value, found 'end'"},
      {"object X: TX\n  A = 'abc\nend\n", "Line 2: Unterminated string"},
      {"object X: TX\n\n  A = {0102\n  0}\nend\n", "Line 4: Binary data with an odd number"},
      {"object X: TX\n  A = {01 zz}\nend\n", "Line 2: Invalid character 'z' in binary data"},
      {"object X: TX\n  A = {01\n", "Line 2: Binary data without its closing '}'"},
      {"object X: TX\n  A = #70000\nend\n", "Line 2: Character code after '#' above 65535"},
      {"object X: TX\n  A = 99999999999999999999\nend\n", "Line 2: Integer 99999999999999999999 out of range"},
      {"object X: TX\n  A = 12ab\nend\n", "Line 2: Invalid number"},
      {"object X: TX\n  A = 1.5c\nend\n", "Line 2: Currency value must be a whole number"},
      {"object X: TX\n  A = 1E99999\nend\n", "Line 2: Number out of the range of vaExtended"},
      {"object X: TX\n  A = 1E39s\nend\n", "Line 2: Number out of the range of vaSingle"},
      {"object X: TX\n  A = 'a' + 1\nend\n", "Line 2: Expected a string after '+', found the number 1"},
      {"object X: TX\n  A = [a, 1]\nend\n", "Line 2: Expected a set element, found the number 1"},
      {"object X: TX\n  A = (1\n  2\n", "Line 4: List without its closing ')'"},
      {"object X: TX\n  A = (Null)\nend\n", "Line 2: Null cannot be a list element"},
      {"object X: TX\n  A = <\n  thing>\nend\n", "Line 3: Expected 'item' or '>', found 'thing'"},
      {"object X: TX\n  A = Load('x')\nend\n", "Line 2: Unknown function 'Load'"},
      {"object X: TX\n  A = 1\n", "Line 3: Expected a property name, 'object' or 'end', found the end of the text"},
      {"object X: TX\nend\nend\n", "Line 3: Expected the end of the text after the form's 'end', found 'end'"},
      {"object X: TX\n  A = ?\nend\n", "Line 2: Unexpected character '?'"},
      {"object X: TX [x]\nend\n", "Line 1: Expected the child position, found 'x'"},
      {"object X:\n  5\nend\n", "Line 2: Expected a class name after ':', found the number 5"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Text);
    const std::string message = ParseError(row.Text);
    EXPECT_NE(message.find(row.Message), std::string::npos) << message;
  }

  std::string deep = "object X: TX\n  A = ";
  for (int i = 0; i <= MaxFormNesting; ++i) deep += "(";
  EXPECT_NE(ParseError(deep).find("Line 2: Lists and collections nested deeper than 64"),
            std::string::npos);
  std::string deepObjects;
  for (int i = 0; i <= MaxFormNesting; ++i) deepObjects += "object X: TX\n";
  EXPECT_NE(ParseError(deepObjects).find("Line 65: Objects nested deeper than 64"), std::string::npos);
}

TEST(FormCodec, FunctionsInTheTextGoToTheCaller) {
  const TFormFunction function = [](const std::string& name, const std::vector<TFormValue>& args) {
    if (name == "Twice" && args.size() == 1 && args[0].Type == TValueType::vaString)
      return StringValue(args[0].Str + args[0].Str);
    if (name == "Count") return IntValue(int64_t(args.size()));
    throw Exception("Bad call of " + name);
  };
  const TFormObject o = ParseTextForm(
      "object X: TX\n  A = Twice('ab')\n  B = Count()\n  C = Count(1, 'x', (2))\nend\n", function);
  EXPECT_EQ(o.Properties.at(0).Value, StringValue("abab"));
  EXPECT_EQ(o.Properties.at(1).Value, IntValue(0));
  EXPECT_EQ(o.Properties.at(2).Value, IntValue(3));
  try {
    ParseTextForm("object X: TX\n\n  A = Twice(1)\nend\n", function);
    FAIL() << "no error";
  } catch (const EParserError& e) {
    EXPECT_EQ(e.Message(), "Line 3: Bad call of Twice");
  }
  std::string deep = "object X: TX\n  A = ";
  for (int i = 0; i <= MaxFormNesting; ++i) deep += "Count(";
  EXPECT_THROW(ParseTextForm(deep, function), EParserError);
  // With a space before '(' the name is an identifier value, and the list another value.
  EXPECT_EQ(ParseError("object X: TX\n  A = Twice ('ab')\nend\n"),
            "Line 2: Expected a property name, 'object' or 'end', found '('");
}

TEST(FormCodec, WritersRefuseTreesTheReadersWouldNotGiveBack) {
  const struct {
    const char* Name;
    TFormObject Form;
  } binaryRows[] = {
      {"empty property name", OneProperty(IntValue(1))},
      {"null in a list", OneProperty(ListValue({TFormValue{}}))},
      {"empty set element", OneProperty(SetValue({""}))},
      {"long identifier", OneProperty(IdentValue(std::string(256, 'a')))},
      {"raw size", OneProperty(Raw(TValueType::vaExtended, {1, 2}))},
  };
  TFormObject emptyName = OneProperty(IntValue(1));
  emptyName.Properties[0].Name = "";
  for (const auto& row : binaryRows) {
    SCOPED_TRACE(row.Name);
    const TFormObject& form = std::string(row.Name) == "empty property name" ? emptyName : row.Form;
    EXPECT_THROW(WriteBinaryForm(form), EWriteError);
  }
  TFormValue deep = ListValue({});
  for (int i = 0; i < MaxFormNesting; ++i) deep = ListValue({deep});
  EXPECT_THROW(WriteBinaryForm(OneProperty(deep)), EWriteError);
  EXPECT_THROW(FormToText(OneProperty(deep)), EWriteError);

  const TFormObject textRows[] = {
      OneProperty(IdentValue("not an ident")),
      OneProperty(IdentValue("")),
      OneProperty(IdentValue("End.X")),
      OneProperty(SetValue({"a b"})),
      OneProperty(Raw(TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F})),  // +inf
      OneProperty(Raw(TValueType::vaDate, {0, 0, 0, 0, 0, 0, 0xF8, 0x7F})),  // NaN
      OneProperty(Utf8("\xC0\x80")),
  };
  for (const TFormObject& form : textRows) EXPECT_THROW(FormToText(form), EWriteError);
  for (const char* name : {"End", "object", "Inline.X", "1A", "A..B"}) {
    TFormObject form = OneProperty(IntValue(1));
    form.Properties[0].Name = name;
    EXPECT_THROW(FormToText(form), EWriteError) << name;
  }
  // A class name of 240 bytes or more always gets a prefix byte.
  TFormObject longClass = OneProperty(IntValue(1));
  longClass.ClassName = std::string(240, 'T');
  const TBytes bytes = WriteBinaryForm(longClass);
  EXPECT_EQ(bytes[4], 0xF0);
  EXPECT_EQ(ReadBinaryForm(bytes.data(), bytes.size()), longClass);
}

// ---------------------------------------------------------------------------
// Floats: decimal text and raw bytes, both ways, exactly.

std::string ValueText(const TFormValue& v) {
  const std::string text = FormToText(OneProperty(v));
  const size_t at = text.find("P = ") + 4;
  return text.substr(at, text.find('\n', at) - at);
}

TFormValue ParsedValue(const std::string& text) {
  return ParseTextForm("object X: TX\n  P = " + text + "\nend\n").Properties.at(0).Value;
}

TEST(FormCodec, FloatsConvertExactly) {
  const struct {
    const char* Text;
    TValueType Type;
    TBytes Raw;
  } rows[] = {
      {"1.0", TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F}},
      {"-2.5", TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0xC0}},
      {"0.1", TValueType::vaExtended, {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xFB, 0x3F}},
      {"0.0", TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"-0.0", TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}},
      {"100.0", TValueType::vaExtended, {0, 0, 0, 0, 0, 0, 0, 0xC8, 0x05, 0x40}},
      {"1E20", TValueType::vaExtended, {0, 0, 0x62, 0xAC, 0xC5, 0xEB, 0x78, 0xAD, 0x41, 0x40}},
      {"1.5E-7", TValueType::vaExtended, {0x0D, 0xB2, 0x1B, 0x6C, 0xA0, 0xAF, 0x0F, 0xA1, 0xE8, 0x3F}},
      // The largest and the least extended: shortest digits that read back.
      {"1.189731495357231765E4932", TValueType::vaExtended,
       {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0x7F}},
      {"4E-4951", TValueType::vaExtended, {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
      {"0.1s", TValueType::vaSingle, {0xCD, 0xCC, 0xCC, 0x3D}},
      {"-2.5s", TValueType::vaSingle, {0, 0, 0x20, 0xC0}},
      {"1E-45s", TValueType::vaSingle, {1, 0, 0, 0}},
      {"3.4028235E38s", TValueType::vaSingle, {0xFF, 0xFF, 0x7F, 0x7F}},
      {"1.5d", TValueType::vaDate, {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}},
      {"0.1d", TValueType::vaDate, {0x9A, 0x99, 0x99, 0x99, 0x99, 0x99, 0xB9, 0x3F}},
      {"5E-324d", TValueType::vaDate, {1, 0, 0, 0, 0, 0, 0, 0}},
      {"15000c", TValueType::vaCurrency, {0x98, 0x3A, 0, 0, 0, 0, 0, 0}},
      {"-1c", TValueType::vaCurrency, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}},
      {"-9223372036854775808c", TValueType::vaCurrency, {0, 0, 0, 0, 0, 0, 0, 0x80}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.Text);
    const TFormValue v = ParsedValue(row.Text);
    EXPECT_EQ(v.Type, row.Type);
    EXPECT_EQ(v.Bytes, row.Raw);
    EXPECT_EQ(ValueText(Raw(row.Type, row.Raw)), row.Text);
  }
  // Other spellings of the same numbers.
  EXPECT_EQ(ParsedValue("1.50e+0").Bytes, ParsedValue("1.5").Bytes);
  EXPECT_EQ(ParsedValue("0.00000015").Bytes, ParsedValue("1.5E-7").Bytes);
  EXPECT_EQ(ParsedValue("1.5E4c").Bytes, ParsedValue("15000c").Bytes);
  EXPECT_EQ(ParsedValue("1E-99999").Bytes, ParsedValue("0.0").Bytes);
  // Halfway between two singles rounds to the even one: 1 + 2^-24.
  EXPECT_EQ(ParsedValue("1.000000059604644775390625s").Bytes, TBytes({0, 0, 0x80, 0x3F}));
  EXPECT_EQ(ParsedValue("1.000000059604644775390626s").Bytes, TBytes({1, 0, 0x80, 0x3F}));
}

uint64_t Random64(uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return state;
}

TEST(FormCodec, RandomFloatsSurviveTheTextForm) {
  uint64_t state = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 300; ++i) {
    const uint64_t a = Random64(state), b = Random64(state);
    TBytes ext(10), single(4), dbl(8);
    for (int k = 0; k < 8; ++k) ext[size_t(k)] = uint8_t(a >> (8 * k));
    // Exponents near the extremes too; the integer bit as a normal number has it.
    uint16_t exponent = uint16_t(b % 4 == 0 ? (b >> 8) % 64 : b % 4 == 1 ? 0x7FFE - (b >> 8) % 64
                                                                         : (b >> 8) % 0x7FFF);
    if (exponent == 0)
      ext[7] &= 0x7F;
    else
      ext[7] |= 0x80;
    exponent |= uint16_t((b >> 40) & 0x8000);
    ext[8] = uint8_t(exponent);
    ext[9] = uint8_t(exponent >> 8);
    for (int k = 0; k < 4; ++k) single[size_t(k)] = uint8_t(b >> (8 * k));
    for (int k = 0; k < 8; ++k) dbl[size_t(k)] = uint8_t((a ^ b) >> (8 * k));
    for (const TFormValue& v : {Raw(TValueType::vaExtended, ext), Raw(TValueType::vaSingle, single),
                                Raw(TValueType::vaDate, dbl)}) {
      const bool finite = v.Type == TValueType::vaExtended ? (exponent & 0x7FFF) != 0x7FFF
                          : v.Type == TValueType::vaSingle ? (b & 0x7F800000u) != 0x7F800000u
                                                           : ((a ^ b) >> 52 & 0x7FF) != 0x7FF;
      if (!finite) continue;
      const std::string text = ValueText(v);
      SCOPED_TRACE(text);
      EXPECT_EQ(ParsedValue(text).Bytes, v.Bytes);
#if LDBL_MANT_DIG == 64 && !defined(_WIN32)
      // The host's own conversions agree (x87 long double, glibc rounding).
      if (v.Type == TValueType::vaExtended) {
        std::string c = text;
        long double host = std::strtold(c.c_str(), nullptr);
        uint8_t hostBytes[sizeof(long double)] = {};
        std::memcpy(hostBytes, &host, sizeof host);
        EXPECT_EQ(TBytes(hostBytes, hostBytes + 10), v.Bytes);
        // ... and no shorter text reads back: the host's own shortest has as many digits.
        long double value;
        std::memcpy(&value, v.Bytes.data(), 10);
        int hostDigits = 1;
        for (char buffer[64]; hostDigits < 21; ++hostDigits) {
          std::snprintf(buffer, sizeof buffer, "%.*Le", hostDigits - 1, value);
          if (std::strtold(buffer, nullptr) == value) break;
        }
        size_t digits = 0;
        const std::string mantissa = text.substr(0, text.find('E'));
        const size_t first = mantissa.find_first_of("123456789");
        const size_t last = mantissa.find_last_of("123456789");
        if (first != std::string::npos) {  // zero has no digits to count
          for (size_t k = first; k <= last; ++k) digits += mantissa[k] != '.';
          EXPECT_EQ(digits, size_t(hostDigits)) << text;
        }
      }
#endif
    }
  }
}

}  // namespace
