// The binary streamed form ("TPF0") and the value helpers. The text form is
// in form_text.cpp.
#include "framework/form_codec.h"

#include <cstring>
#include <limits>

#include "framework/exceptions.h"

bool TFormCollectionItem::operator==(const TFormCollectionItem& o) const {
  return HasOrder == o.HasOrder && Order == o.Order && Properties == o.Properties;
}

bool TFormValue::operator==(const TFormValue& o) const {
  return Type == o.Type && Int == o.Int && Str == o.Str && WStr == o.WStr && Bytes == o.Bytes &&
         Set == o.Set && List == o.List && Items == o.Items;
}

bool TFormProperty::operator==(const TFormProperty& o) const {
  return Name == o.Name && Value == o.Value;
}

bool TFormObject::operator==(const TFormObject& o) const {
  return ClassName == o.ClassName && Name == o.Name && Properties == o.Properties &&
         Children == o.Children && Flags == o.Flags && ChildPos == o.ChildPos;
}

TValueType SmallestIntType(int64_t v) {
  if (v >= INT8_MIN && v <= INT8_MAX) return TValueType::vaInt8;
  if (v >= INT16_MIN && v <= INT16_MAX) return TValueType::vaInt16;
  if (v >= INT32_MIN && v <= INT32_MAX) return TValueType::vaInt32;
  return TValueType::vaInt64;
}

bool IsIntegerType(TValueType t) {
  return t == TValueType::vaInt8 || t == TValueType::vaInt16 || t == TValueType::vaInt32 ||
         t == TValueType::vaInt64;
}

const char* ValueTypeName(TValueType t) {
  static const char* const names[] = {
      "vaNull",   "vaList",  "vaInt8",    "vaInt16",      "vaInt32",  "vaExtended", "vaString",
      "vaIdent",  "vaFalse", "vaTrue",    "vaBinary",     "vaSet",    "vaLString",  "vaNil",
      "vaCollection", "vaSingle", "vaCurrency", "vaDate", "vaWString", "vaInt64", "vaUTF8String"};
  const size_t i = size_t(t);
  return i < sizeof(names) / sizeof(names[0]) ? names[i] : "unknown value type";
}

const TFormProperty* FindFormProperty(const std::vector<TFormProperty>& properties,
                                      std::string_view name) {
  for (const TFormProperty& p : properties)
    if (p.Name == name) return &p;
  return nullptr;
}

TFormValue IntValue(int64_t v) {
  TFormValue r;
  r.Type = SmallestIntType(v);
  r.Int = v;
  return r;
}

TFormValue IdentValue(std::string ident) {
  TFormValue r;
  r.Type = TValueType::vaIdent;
  r.Str = std::move(ident);
  return r;
}

TFormValue StringValue(std::string s) {
  TFormValue r;
  r.Type = s.size() <= 255 ? TValueType::vaString : TValueType::vaLString;
  r.Str = std::move(s);
  return r;
}

TFormValue WideStringValue(std::u16string s) {
  TFormValue r;
  r.Type = TValueType::vaWString;
  r.WStr = std::move(s);
  return r;
}

TFormValue BoolValue(bool b) {
  TFormValue r;
  r.Type = b ? TValueType::vaTrue : TValueType::vaFalse;
  return r;
}

TFormValue BinaryValue(std::vector<uint8_t> bytes) {
  TFormValue r;
  r.Type = TValueType::vaBinary;
  r.Bytes = std::move(bytes);
  return r;
}

TFormValue NilValue() {
  TFormValue r;
  r.Type = TValueType::vaNil;
  return r;
}

TFormValue SetValue(std::vector<std::string> names) {
  TFormValue r;
  r.Type = TValueType::vaSet;
  r.Set = std::move(names);
  return r;
}

TFormValue ListValue(std::vector<TFormValue> values) {
  TFormValue r;
  r.Type = TValueType::vaList;
  r.List = std::move(values);
  return r;
}

TFormValue CollectionValue(std::vector<TFormCollectionItem> items) {
  TFormValue r;
  r.Type = TValueType::vaCollection;
  r.Items = std::move(items);
  return r;
}

namespace {

constexpr char Signature[4] = {'T', 'P', 'F', '0'};

size_t RawFloatSize(TValueType t) {
  switch (t) {
    case TValueType::vaExtended: return 10;
    case TValueType::vaSingle: return 4;
    case TValueType::vaCurrency:
    case TValueType::vaDate: return 8;
    default: return 0;
  }
}

// Reads the bytes of one form. Every read names the context it is in, so a
// message says which object and property broke, and at which byte.
class TBinaryFormReader {
  const uint8_t* FData;
  size_t FSize;
  size_t FPos = 0;
  std::string FObjectPath;  // "frmStage.mvFlashList1"
  std::string FProperty;    // "" between properties
  int FValueDepth = 0;

  [[noreturn]] void Fail(const std::string& what, size_t at, const std::string& detail = "") const {
    std::string message = what + " at byte " + std::to_string(at);
    if (!detail.empty()) message += " (" + detail + ")";
    if (!FProperty.empty()) message += " in property '" + FProperty + "'";
    if (!FObjectPath.empty()) message += (FProperty.empty() ? " in object '" : " of object '") +
                                         FObjectPath + "'";
    throw EReadError(message);
  }

  size_t Remaining() const { return FSize - FPos; }

  // Fails with "Form truncated" unless n bytes remain.
  void Need(size_t n, const char* field) const {
    if (n > Remaining())
      Fail("Form truncated", FPos,
           std::string(field) + " needs " + std::to_string(n) + " byte" + (n == 1 ? "" : "s") +
               ", " + std::to_string(Remaining()) + " left");
  }

  uint8_t Byte(const char* field) {
    Need(1, field);
    return FData[FPos++];
  }

  // Little-endian, whatever the host.
  uint64_t Unsigned(size_t n, const char* field) {
    Need(n, field);
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= uint64_t(FData[FPos + i]) << (8 * i);
    FPos += n;
    return v;
  }

  int64_t Signed(size_t n, const char* field) {
    const uint64_t u = Unsigned(n, field);
    const int shift = int(64 - 8 * n);
    return shift == 0 ? int64_t(u) : int64_t(u << shift) >> shift;
  }

  std::string Bytes(size_t n, const char* field) {
    Need(n, field);
    std::string s(reinterpret_cast<const char*>(FData + FPos), n);
    FPos += n;
    return s;
  }

  std::string ShortString(const char* field) {
    const size_t n = Byte(field);
    return Bytes(n, field);
  }

  // A 32-bit signed length of units of unitSize bytes, checked against what
  // remains before anything is allocated for it.
  size_t Length32(size_t unitSize, const char* field) {
    const size_t at = FPos;
    const int64_t n = Signed(4, field);
    if (n < 0) Fail(std::string("Negative length ") + std::to_string(n) + " of " + field, at);
    if (uint64_t(n) > Remaining() / unitSize)
      Fail(std::string("Length ") + std::to_string(n) + " of " + field + " runs past the end", at,
           std::to_string(Remaining()) + " bytes left");
    return size_t(n);
  }

  void EnterValue(size_t at) {
    if (++FValueDepth > MaxFormNesting)
      Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting), at);
  }

  TValueType ValueType(const char* field) {
    const size_t at = FPos;
    const uint8_t t = Byte(field);
    if (t > uint8_t(TValueType::vaUTF8String))
      Fail("Unknown value type " + std::to_string(t), at);
    return TValueType(t);
  }

  // The value after its type byte.
  TFormValue ValueBody(TValueType type, size_t at) {
    TFormValue v;
    v.Type = type;
    switch (type) {
      case TValueType::vaNull:
      case TValueType::vaFalse:
      case TValueType::vaTrue:
      case TValueType::vaNil:
        break;
      case TValueType::vaInt8: v.Int = Signed(1, "an 8-bit integer"); break;
      case TValueType::vaInt16: v.Int = Signed(2, "a 16-bit integer"); break;
      case TValueType::vaInt32: v.Int = Signed(4, "a 32-bit integer"); break;
      case TValueType::vaInt64: v.Int = Signed(8, "a 64-bit integer"); break;
      case TValueType::vaExtended:
      case TValueType::vaSingle:
      case TValueType::vaCurrency:
      case TValueType::vaDate: {
        const std::string raw = Bytes(RawFloatSize(type), ValueTypeName(type));
        v.Bytes.assign(raw.begin(), raw.end());
        break;
      }
      case TValueType::vaString: v.Str = ShortString("a short string"); break;
      case TValueType::vaIdent: v.Str = ShortString("an identifier"); break;
      case TValueType::vaLString: v.Str = Bytes(Length32(1, "a long string"), "a long string"); break;
      case TValueType::vaUTF8String:
        v.Str = Bytes(Length32(1, "a UTF-8 string"), "a UTF-8 string");
        break;
      case TValueType::vaWString: {
        const size_t n = Length32(2, "a wide string");
        v.WStr.resize(n);
        for (size_t i = 0; i < n; ++i) v.WStr[i] = char16_t(Unsigned(2, "a wide string"));
        break;
      }
      case TValueType::vaBinary: {
        const size_t n = Length32(1, "binary data");
        v.Bytes.assign(FData + FPos, FData + FPos + n);
        FPos += n;
        break;
      }
      case TValueType::vaSet:
        for (;;) {
          std::string name = ShortString("a set element");
          if (name.empty()) break;
          v.Set.push_back(std::move(name));
        }
        break;
      case TValueType::vaList:
        EnterValue(at);
        for (;;) {
          const size_t itemAt = FPos;
          const TValueType t = ValueType("a list element's type");
          if (t == TValueType::vaNull) break;
          v.List.push_back(ValueBody(t, itemAt));
        }
        --FValueDepth;
        break;
      case TValueType::vaCollection:
        EnterValue(at);
        for (;;) {
          const size_t itemAt = FPos;
          TValueType t = ValueType("a collection item");
          if (t == TValueType::vaNull) break;
          TFormCollectionItem item;
          if (IsIntegerType(t)) {
            item.HasOrder = true;
            item.Order = ValueBody(t, itemAt).Int;
            t = ValueType("a collection item");
          }
          if (t != TValueType::vaList)
            Fail(std::string("Collection item expected (type vaList), found ") + ValueTypeName(t),
                 itemAt);
          item.Properties = PropertiesOf("a collection item property name");
          v.Items.push_back(std::move(item));
        }
        --FValueDepth;
        break;
    }
    if (IsIntegerType(v.Type)) v.Type = SmallestIntType(v.Int);
    return v;
  }

  // Properties up to the 0 byte that ends them. Restores the property
  // context of an enclosing collection afterwards.
  std::vector<TFormProperty> PropertiesOf(const char* nameField) {
    const std::string outer = FProperty;
    std::vector<TFormProperty> properties;
    for (;;) {
      FProperty = outer;
      std::string name = ShortString(nameField);
      if (name.empty()) break;
      FProperty = outer.empty() ? name : outer + "." + name;
      TFormProperty p;
      p.Name = std::move(name);
      const size_t at = FPos;
      p.Value = ValueBody(ValueType("a value type"), at);
      properties.push_back(std::move(p));
    }
    FProperty = outer;
    return properties;
  }

  TFormObject Object(int depth) {
    const size_t at = FPos;
    if (depth >= MaxFormNesting)
      Fail("Objects nested deeper than " + std::to_string(MaxFormNesting), at);
    TFormObject o;
    if (FPos < FSize && (FData[FPos] & 0xF0) == 0xF0) {
      o.Flags = FData[FPos++] & 0x0F;
      if (o.Flags & ffChildPos) {
        const size_t posAt = FPos;
        const TValueType t = ValueType("the child position");
        if (!IsIntegerType(t) || t == TValueType::vaInt64)
          Fail(std::string("Child position must be an integer, found ") + ValueTypeName(t), posAt);
        o.ChildPos = int32_t(ValueBody(t, posAt).Int);
      }
    }
    const size_t classAt = FPos;
    o.ClassName = ShortString("a class name");
    if (o.ClassName.empty()) Fail("Empty class name", classAt);
    o.Name = ShortString("an object name");
    const std::string outerPath = FObjectPath;
    const std::string shown = o.Name.empty() ? "<" + o.ClassName + ">" : o.Name;
    FObjectPath = outerPath.empty() ? shown : outerPath + "." + shown;
    o.Properties = PropertiesOf("a property name");
    for (;;) {
      if (Remaining() == 0) Need(1, "the end of the child objects");
      if (FData[FPos] == 0) {
        ++FPos;
        break;
      }
      o.Children.push_back(Object(depth + 1));
    }
    FObjectPath = outerPath;
    return o;
  }

public:
  TBinaryFormReader(const uint8_t* data, size_t size) : FData(data), FSize(size) {}

  TFormObject Form() {
    if (FSize < sizeof(Signature) || std::memcmp(FData, Signature, sizeof(Signature)) != 0)
      Fail("Invalid form signature (expected 'TPF0')", 0);
    FPos = sizeof(Signature);
    return Object(0);
    // Whatever follows the root object's end is not read: a resource may
    // be padded to its alignment, and the platform's reader stops there too.
  }
};

// Writes the bytes of one form; refuses trees the reader would not give back.
class TBinaryFormWriter {
  std::vector<uint8_t> FOut;
  std::string FContext;

  [[noreturn]] void Fail(const std::string& what) const {
    throw EWriteError(what + (FContext.empty() ? "" : " (in " + FContext + ")"));
  }

  void Byte(uint8_t b) { FOut.push_back(b); }

  void Unsigned(uint64_t v, size_t n) {
    for (size_t i = 0; i < n; ++i) FOut.push_back(uint8_t(v >> (8 * i)));
  }

  void Raw(const void* p, size_t n) {
    const uint8_t* b = static_cast<const uint8_t*>(p);
    FOut.insert(FOut.end(), b, b + n);
  }

  void ShortString(const std::string& s, const char* what) {
    if (s.size() > 255) Fail(std::string(what) + " longer than 255 bytes");
    Byte(uint8_t(s.size()));
    Raw(s.data(), s.size());
  }

  void Length32(size_t n, const char* what) {
    if (n > size_t(INT32_MAX)) Fail(std::string(what) + " longer than a 32-bit length holds");
    Unsigned(n, 4);
  }

  void Integer(int64_t v) {
    const TValueType t = SmallestIntType(v);
    Byte(uint8_t(t));
    Unsigned(uint64_t(v), t == TValueType::vaInt8    ? 1
                          : t == TValueType::vaInt16 ? 2
                          : t == TValueType::vaInt32 ? 4
                                                     : 8);
  }

  void Value(const TFormValue& v, int depth) {
    if (IsIntegerType(v.Type)) return Integer(v.Int);
    switch (v.Type) {
      case TValueType::vaNull:
      case TValueType::vaFalse:
      case TValueType::vaTrue:
      case TValueType::vaNil:
        Byte(uint8_t(v.Type));
        return;
      case TValueType::vaExtended:
      case TValueType::vaSingle:
      case TValueType::vaCurrency:
      case TValueType::vaDate:
        if (v.Bytes.size() != RawFloatSize(v.Type))
          Fail(std::string(ValueTypeName(v.Type)) + " needs " +
               std::to_string(RawFloatSize(v.Type)) + " raw bytes, has " +
               std::to_string(v.Bytes.size()));
        Byte(uint8_t(v.Type));
        Raw(v.Bytes.data(), v.Bytes.size());
        return;
      case TValueType::vaString:
      case TValueType::vaLString:
        if (v.Type == TValueType::vaString && v.Str.size() <= 255) {
          Byte(uint8_t(TValueType::vaString));
          ShortString(v.Str, "string");
        } else {
          Byte(uint8_t(TValueType::vaLString));
          Length32(v.Str.size(), "string");
          Raw(v.Str.data(), v.Str.size());
        }
        return;
      case TValueType::vaUTF8String:
        Byte(uint8_t(v.Type));
        Length32(v.Str.size(), "UTF-8 string");
        Raw(v.Str.data(), v.Str.size());
        return;
      case TValueType::vaIdent:
        Byte(uint8_t(v.Type));
        ShortString(v.Str, "identifier");
        return;
      case TValueType::vaWString:
        Byte(uint8_t(v.Type));
        Length32(v.WStr.size(), "wide string");
        for (char16_t c : v.WStr) Unsigned(c, 2);
        return;
      case TValueType::vaBinary:
        Byte(uint8_t(v.Type));
        Length32(v.Bytes.size(), "binary value");
        Raw(v.Bytes.data(), v.Bytes.size());
        return;
      case TValueType::vaSet:
        Byte(uint8_t(v.Type));
        for (const std::string& name : v.Set) {
          if (name.empty()) Fail("Empty set element name");
          ShortString(name, "set element name");
        }
        Byte(0);
        return;
      case TValueType::vaList:
        if (depth >= MaxFormNesting)
          Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
        Byte(uint8_t(v.Type));
        for (const TFormValue& e : v.List) {
          if (e.Type == TValueType::vaNull) Fail("Null value inside a list");
          Value(e, depth + 1);
        }
        Byte(0);
        return;
      case TValueType::vaCollection:
        if (depth >= MaxFormNesting)
          Fail("Lists and collections nested deeper than " + std::to_string(MaxFormNesting));
        Byte(uint8_t(v.Type));
        for (const TFormCollectionItem& item : v.Items) {
          if (item.HasOrder) Integer(item.Order);
          Byte(uint8_t(TValueType::vaList));
          Properties(item.Properties, depth + 1);
        }
        Byte(0);
        return;
      default:
        Fail("Unknown value type " + std::to_string(int(v.Type)));
    }
  }

  void Properties(const std::vector<TFormProperty>& properties, int depth) {
    const std::string outer = FContext;
    for (const TFormProperty& p : properties) {
      FContext = "property '" + p.Name + "'" + (outer.empty() ? "" : " of " + outer);
      if (p.Name.empty()) Fail("Empty property name");
      ShortString(p.Name, "property name");
      Value(p.Value, depth);
    }
    FContext = outer;
    Byte(0);
  }

  void Object(const TFormObject& o, int depth) {
    const std::string outer = FContext;
    FContext = "object '" + (o.Name.empty() ? "<" + o.ClassName + ">" : o.Name) + "'";
    if (depth >= MaxFormNesting)
      Fail("Objects nested deeper than " + std::to_string(MaxFormNesting));
    if (o.ClassName.empty()) Fail("Empty class name");
    if ((o.Flags & 0xF0) != 0) Fail("Filer flags above 15");
    // A class name of 240 bytes or more would read as a prefix byte: such a
    // name always gets a prefix, flags or not.
    if (o.Flags != 0 || o.ClassName.size() >= 0xF0) {
      Byte(uint8_t(0xF0 | o.Flags));
      if (o.Flags & ffChildPos) Integer(o.ChildPos);
    }
    ShortString(o.ClassName, "class name");
    ShortString(o.Name, "object name");
    Properties(o.Properties, 0);
    for (const TFormObject& child : o.Children) Object(child, depth + 1);
    Byte(0);
    FContext = outer;
  }

public:
  std::vector<uint8_t> Form(const TFormObject& form) {
    Raw(Signature, sizeof(Signature));
    Object(form, 0);
    return std::move(FOut);
  }
};

}  // namespace

TFormObject ReadBinaryForm(const uint8_t* data, size_t size) {
  if (data == nullptr) size = 0;
  static const uint8_t empty = 0;
  return TBinaryFormReader(data ? data : &empty, size).Form();
}

std::vector<uint8_t> WriteBinaryForm(const TFormObject& form) {
  return TBinaryFormWriter().Form(form);
}
