#pragma once
// The streamed-form format as data: the binary form ("TPF0") and the text
// form ("object frmStage: TfrmStage ... end"), both read into and written
// from one tree. Platform-free; the form compiler tool and the component
// reader share it. Binary input is untrusted: every length is checked
// against what remains, nesting is bounded, and errors name what broke.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TValueType : uint8_t {
  vaNull = 0, vaList = 1, vaInt8 = 2, vaInt16 = 3, vaInt32 = 4, vaExtended = 5, vaString = 6,
  vaIdent = 7, vaFalse = 8, vaTrue = 9, vaBinary = 10, vaSet = 11, vaLString = 12, vaNil = 13,
  vaCollection = 14, vaSingle = 15, vaCurrency = 16, vaDate = 17, vaWString = 18, vaInt64 = 19,
  vaUTF8String = 20
};

struct TFormValue;
struct TFormProperty;

// One item of a collection value: an optional order value, then properties.
struct TFormCollectionItem {
  bool HasOrder = false;
  int64_t Order = 0;
  std::vector<TFormProperty> Properties;
};

struct TFormValue {
  TValueType Type = TValueType::vaNull;
  int64_t Int = 0;                       // vaInt8/16/32/64 (written in the smallest that holds it)
  std::string Str;                       // vaString, vaLString, vaIdent (8-bit), vaUTF8String (UTF-8)
  std::u16string WStr;                   // vaWString
  std::vector<uint8_t> Bytes;            // vaBinary; raw 10/4/8/8 bytes of vaExtended/vaSingle/vaCurrency/vaDate
  std::vector<std::string> Set;          // vaSet: element names
  std::vector<TFormValue> List;          // vaList
  std::vector<TFormCollectionItem> Items;  // vaCollection
};

struct TFormProperty {
  std::string Name;  // dotted for nested properties: "Font.Name"
  TFormValue Value;
};

struct TFormObject {
  std::string ClassName;  // "TfrmStage"
  std::string Name;       // "frmStage"
  std::vector<TFormProperty> Properties;
  std::vector<TFormObject> Children;
};

// Binary form: "TPF0" then one object. Raises EReadError with a message that
// says what is wrong and at which byte offset.
TFormObject ReadBinaryForm(const uint8_t* data, size_t size);
std::vector<uint8_t> WriteBinaryForm(const TFormObject& form);

// Text form. Strings are written as the platform writes them: quoted runs
// with '' for a quote, #nnn for control characters and for characters outside
// 7-bit ASCII in wide strings; binary values as hexadecimal in braces.
// ParseTextForm raises EParserError naming the line.
std::string FormToText(const TFormObject& form);
TFormObject ParseTextForm(std::string_view text);

// Convenience constructors for values.
TFormValue IntValue(int64_t v);
TFormValue IdentValue(std::string ident);
TFormValue StringValue(std::string s);  // vaString when it fits 255 bytes, else vaLString
TFormValue WideStringValue(std::u16string s);
TFormValue BoolValue(bool b);
TFormValue BinaryValue(std::vector<uint8_t> bytes);
