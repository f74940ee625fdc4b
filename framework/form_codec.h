#pragma once
// The streamed-form format as data: the binary form ("TPF0") and the text
// form ("object frmStage: TfrmStage ... end"), both read into and written
// from one tree. Platform-free; the form compiler tool and the component
// reader share it. Binary input is untrusted: every length is checked
// against what remains, nesting is bounded, and errors name what broke.
#include <cstdint>
#include <functional>
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

  bool operator==(const TFormCollectionItem&) const;
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

  bool operator==(const TFormValue&) const;
};

struct TFormProperty {
  std::string Name;  // dotted for nested properties: "Font.Name"
  TFormValue Value;

  bool operator==(const TFormProperty&) const;
};

// Filer flags of an object, from the optional prefix byte 0xF0 | flags.
enum : uint8_t { ffInherited = 1, ffChildPos = 2, ffInline = 4 };

struct TFormObject {
  std::string ClassName;  // "TfrmStage"
  std::string Name;       // "frmStage"
  std::vector<TFormProperty> Properties;
  std::vector<TFormObject> Children;
  uint8_t Flags = 0;      // ffInherited | ffChildPos | ffInline (low four bits of the prefix)
  int32_t ChildPos = 0;   // meaningful with ffChildPos

  bool operator==(const TFormObject&) const;
};

// Objects inside objects, and lists/collections inside values, nest at most
// this deep; the reader refuses deeper input and the writers refuse deeper
// trees, so that whatever one side writes the other reads.
constexpr int MaxFormNesting = 64;

// Binary form: "TPF0" then one object. Raises EReadError with a message that
// says what is wrong and at which byte offset. The reader stops at the end of
// the root object: bytes after it (a resource may be padded) are not read.
// Integer values come back with Type set to the smallest integer type that
// holds them, whatever width the input used, so that the tree of a form and
// the tree of its rewritten bytes compare equal.
TFormObject ReadBinaryForm(const uint8_t* data, size_t size);
// Raises EWriteError for trees the binary form cannot hold: empty or
// over-long names (255 bytes), a vaNull inside a list, an empty set element,
// nesting past MaxFormNesting, raw float bytes of the wrong size.
std::vector<uint8_t> WriteBinaryForm(const TFormObject& form);

// Text form. Strings are written as the platform writes them: quoted runs
// with '' for a quote, #nnn for control characters and for characters outside
// 7-bit ASCII in wide strings; binary values as hexadecimal in braces.
// ParseTextForm raises EParserError naming the line.
//
// FormToText raises EWriteError for trees the text cannot carry so that
// they read back: names that are not identifiers, property names that are
// keywords (object, inherited, inline, end), infinite or NaN floats. For any
// text it writes, ParseTextForm gives a tree that FormToText writes the same.
// ParseTextForm also takes "// comments" to the end of a line.
std::string FormToText(const TFormObject& form);
TFormObject ParseTextForm(std::string_view text);

// A value written as a call, "Name(arg, ...)", with the '(' right after the
// name. The plain parser knows no function; the form compiler passes one that
// embeds files. It raises Exception for a name it does not know or bad
// arguments, and the parser reports the message with the line.
using TFormFunction =
    std::function<TFormValue(const std::string& name, const std::vector<TFormValue>& args)>;
TFormObject ParseTextForm(std::string_view text, const TFormFunction& function);

// Convenience constructors for values.
TFormValue IntValue(int64_t v);  // Type: the smallest of vaInt8/16/32/64 that holds v
TFormValue IdentValue(std::string ident);
TFormValue StringValue(std::string s);  // vaString when it fits 255 bytes, else vaLString
TFormValue WideStringValue(std::u16string s);
TFormValue BoolValue(bool b);
TFormValue BinaryValue(std::vector<uint8_t> bytes);
TFormValue NilValue();
TFormValue SetValue(std::vector<std::string> names);
TFormValue ListValue(std::vector<TFormValue> values);
TFormValue CollectionValue(std::vector<TFormCollectionItem> items);

TValueType SmallestIntType(int64_t v);
bool IsIntegerType(TValueType t);
// "vaInt16" etc., for messages.
const char* ValueTypeName(TValueType t);
// The first property of that name (exact), nil if none.
const TFormProperty* FindFormProperty(const std::vector<TFormProperty>& properties,
                                      std::string_view name);
