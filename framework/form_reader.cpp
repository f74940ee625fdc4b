#include "framework/form_reader.h"
#include "framework/ascii_text.h"

#include <algorithm>

#include "framework/class_registry.h"
#include "framework/collection.h"
#include "framework/component.h"
#include "framework/exceptions.h"
#include "framework/streams.h"

namespace {

constexpr int MaxNesting = 64;

// 8-bit text from the form's wide forms: characters beyond one byte have no
// place in an 8-bit property and become '?'.
std::string Narrow(const std::u16string& s) {
  std::string out;
  out.reserve(s.size());
  for (char16_t c : s) out.push_back(c < 0x100 ? char(c) : '?');
  return out;
}

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  for (size_t i = 0; i < s.size();) {
    const uint8_t b = uint8_t(s[i]);
    uint32_t cp = 0xFFFD;
    size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
      ++i;
    } else {
      cp = n == 1 ? b : b & (0x7F >> n);
      bool ok = true;
      for (size_t k = 1; k < n; ++k) {
        const uint8_t c = uint8_t(s[i + k]);
        if ((c & 0xC0) != 0x80) ok = false;
        cp = (cp << 6) | (c & 0x3F);
      }
      if (!ok || cp > 0x10FFFF) cp = 0xFFFD;
      i += ok ? n : 1;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
  }
  return out;
}

std::u16string Widen(const std::string& s) {
  std::u16string out;
  for (char c : s) out.push_back(char16_t(uint8_t(c)));
  return out;
}

bool IsText(TValueType t) {
  return t == TValueType::vaString || t == TValueType::vaLString ||
         t == TValueType::vaWString || t == TValueType::vaUTF8String;
}

std::string TextOf(const TFormValue& v) {
  if (v.Type == TValueType::vaWString) return Narrow(v.WStr);
  if (v.Type == TValueType::vaUTF8String) return Narrow(Utf8ToUtf16(v.Str));
  return v.Str;
}

std::u16string WideTextOf(const TFormValue& v) {
  if (v.Type == TValueType::vaWString) return v.WStr;
  if (v.Type == TValueType::vaUTF8String) return Utf8ToUtf16(v.Str);
  return Widen(v.Str);
}

bool IsInteger(TValueType t) {
  return t == TValueType::vaInt8 || t == TValueType::vaInt16 || t == TValueType::vaInt32 ||
         t == TValueType::vaInt64;
}

int FindName(const std::vector<std::string>& names, const std::string& name) {
  for (size_t i = 0; i < names.size(); ++i)
    if (SameTextAscii(names[i], name)) return int(i);
  return -1;
}

struct TFixup {
  TPersistent* Instance;
  const TPropInfo* Prop;
  std::string Target;
  std::string Path;
};

class TFormReader : public TFiler {
  TComponent* FRoot;
  std::vector<TFixup> FFixups;
  std::vector<TComponent*> FLoaded;
  // The property being offered to DefineProperties, and whether it was taken.
  const TFormProperty* FPending = nullptr;
  bool FTaken = false;

public:
  explicit TFormReader(TComponent* root) : FRoot(root) {}

  void Read(const TFormObject& form) {
    if (!SameTextAscii(form.ClassName, FRoot->ClassName()))
      throw EReadError("The form describes a " + form.ClassName + ", not a " +
                       FRoot->ClassName());
    FRoot->SetState(csLoading, true);
    FRoot->SetState(csReading, true);
    FLoaded.push_back(FRoot);
    try {
      if (!form.Name.empty()) FRoot->SetName(form.Name);
      ReadObjectBody(FRoot, form, 0);
      ResolveFixups();
    } catch (...) {
      for (TComponent* c : FLoaded) c->SetState(csReading, false);
      throw;
    }
    for (TComponent* c : FLoaded) c->SetState(csReading, false);
    for (TComponent* c : FLoaded) c->Loaded();
  }

  void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>& read,
                            const std::function<void(TStream&)>&, bool) override {
    if (!FPending || FTaken || !SameTextAscii(name, FPending->Name)) return;
    if (FPending->Value.Type != TValueType::vaBinary)
      throw Exception("Invalid property value (binary data expected)");
    FTaken = true;
    const std::vector<uint8_t>& bytes = FPending->Value.Bytes;
    TBytesStream stream(bytes.data(), int64_t(bytes.size()));
    read(stream);
  }

  void DefineProperty(const std::string& name, const std::function<void(const TFormValue&)>& read,
                      const std::function<TFormValue()>&, bool) override {
    if (!FPending || FTaken || !SameTextAscii(name, FPending->Name)) return;
    FTaken = true;
    read(FPending->Value);
  }

private:
  void ReadObjectBody(TComponent* instance, const TFormObject& obj, int depth) {
    if (depth > MaxNesting) throw EReadError("Components nested too deeply");
    for (const TFormProperty& p : obj.Properties) ReadPropertyAt(instance, p, instance->Name());
    for (const TFormObject& child : obj.Children) ReadChild(instance, child, depth + 1);
  }

  void ReadChild(TComponent* parent, const TFormObject& obj, int depth) {
    const TClassInfo* info = FindClassInfo(obj.ClassName);
    if (!info || !info->Create) throw EClassNotFound("Class " + obj.ClassName + " not found");
    TComponent* child = info->Create(FRoot);  // the form owns every component on it
    child->SetState(csLoading, true);
    child->SetState(csReading, true);
    FLoaded.push_back(child);
    try {
      child->SetName(obj.Name);
    } catch (const Exception& e) {
      throw EReadError("Error reading " + obj.Name + ": " + e.Message());
    }
    for (const TClassInfo* c = info; c; c = c->ParentName.empty() ? nullptr : FindClassInfo(c->ParentName))
      if (c->SetParent) {
        c->SetParent(child, parent);
        break;
      }
    ReadObjectBody(child, obj, depth);
  }

  // Reads one property into instance; path names the instance in messages.
  void ReadPropertyAt(TPersistent* instance, const TFormProperty& p, const std::string& path) {
    try {
      ReadProperty(instance, p.Name, p, path, 0);
    } catch (const Exception& e) {
      static const std::string context = "Error reading ";
      if (e.Message().compare(0, context.size(), context) == 0) throw;
      throw EReadError(context + path + "." + p.Name + ": " + e.Message());
    }
  }

  void ReadProperty(TPersistent* instance, const std::string& name, const TFormProperty& p,
                    const std::string& path, int depth) {
    const size_t dot = name.find('.');
    if (dot != std::string::npos) {
      if (depth > MaxNesting) throw EReadError("Property path too deep: " + p.Name);
      const std::string head = name.substr(0, dot);
      const TPropInfo* info = FindPropInfo(instance->ClassName(), head);
      if (!info || info->Kind != TPropKind::pkClass || !info->GetNested)
        throw EReadError("Error reading " + path + "." + p.Name + ": Property " + head +
                         " does not exist");
      TPersistent* nested = info->GetNested(instance);
      if (!nested) throw EReadError("Error reading " + path + "." + p.Name + ": no object");
      ReadProperty(nested, name.substr(dot + 1), p, path + "." + head, depth + 1);
      return;
    }
    if (const TPropInfo* info = FindPropInfo(instance->ClassName(), name)) {
      SetValue(instance, *info, p.Value, path + "." + name);
      return;
    }
    // Not published: perhaps one of the object's own defined properties.
    TFormProperty offered = p;
    offered.Name = name;
    FPending = &offered;
    FTaken = false;
    struct TRestore {
      const TFormProperty*& Slot;
      ~TRestore() { Slot = nullptr; }
    } restore{FPending};
    instance->DefineProperties(*this);
    if (!FTaken)
      throw EReadError("Error reading " + path + "." + name + ": Property " + name +
                       " does not exist");
  }

  [[noreturn]] void Invalid(const std::string& path, const std::string& why) {
    throw EReadError("Error reading " + path + ": Invalid property value (" + why + ")");
  }

  void SetValue(TPersistent* instance, const TPropInfo& info, const TFormValue& v,
                const std::string& path) {
    switch (info.Kind) {
      case TPropKind::pkInteger: {
        int64_t value = 0;
        if (IsInteger(v.Type))
          value = v.Int;
        else if (v.Type == TValueType::vaIdent && IdentToInteger(v.Str, value)) {
        } else
          Invalid(path, "integer expected");
        if (value < INT32_MIN || value > INT32_MAX) Invalid(path, "integer out of range");
        info.SetOrdinal(instance, value);
        return;
      }
      case TPropKind::pkBoolean:
        if (v.Type != TValueType::vaTrue && v.Type != TValueType::vaFalse)
          Invalid(path, "True or False expected");
        info.SetOrdinal(instance, v.Type == TValueType::vaTrue);
        return;
      case TPropKind::pkEnum: {
        const int ordinal = v.Type == TValueType::vaIdent ? FindName(info.EnumNames, v.Str) : -1;
        if (ordinal < 0) Invalid(path, "unknown identifier " + v.Str);
        info.SetOrdinal(instance, ordinal);
        return;
      }
      case TPropKind::pkSet: {
        if (v.Type != TValueType::vaSet) Invalid(path, "set expected");
        int64_t bits = 0;
        for (const std::string& element : v.Set) {
          const int ordinal = FindName(info.EnumNames, element);
          if (ordinal < 0 || ordinal >= 63) Invalid(path, "unknown set element " + element);
          bits |= int64_t(1) << ordinal;
        }
        info.SetOrdinal(instance, bits);
        return;
      }
      case TPropKind::pkString:
        if (!IsText(v.Type)) Invalid(path, "string expected");
        info.SetString(instance, TextOf(v));
        return;
      case TPropKind::pkWideString:
        if (!IsText(v.Type)) Invalid(path, "string expected");
        info.SetWideString(instance, WideTextOf(v));
        return;
      case TPropKind::pkComponent:
        if (v.Type == TValueType::vaNil) {
          info.SetComponent(instance, nullptr);
        } else if (v.Type == TValueType::vaIdent) {
          FFixups.push_back({instance, &info, v.Str, path});
        } else {
          Invalid(path, "component name expected");
        }
        return;
      case TPropKind::pkMethod:
        if (v.Type == TValueType::vaNil) {
          info.SetMethod(instance, "");
        } else if (v.Type == TValueType::vaIdent) {
          info.SetMethod(instance, v.Str);
        } else {
          Invalid(path, "method name expected");
        }
        return;
      case TPropKind::pkCollection: {
        if (v.Type != TValueType::vaCollection && v.Type != TValueType::vaNil)
          Invalid(path, "collection expected");
        TCollection* collection = info.GetCollection(instance);
        if (!collection) Invalid(path, "no collection");
        collection->Clear();
        for (size_t i = 0; i < v.Items.size(); ++i) {
          TCollectionItem* item = collection->Add();
          const std::string itemPath = path + "[" + std::to_string(i) + "]";
          for (const TFormProperty& p : v.Items[i].Properties)
            ReadPropertyAt(item, p, itemPath);
        }
        return;
      }
      case TPropKind::pkClass:
        Invalid(path, "an object's properties are written one by one");
    }
  }

  void ResolveFixups() {
    for (const TFixup& f : FFixups) {
      TComponent* target = SameTextAscii(f.Target, FRoot->Name()) ? FRoot
                                                                   : FRoot->FindComponent(f.Target);
      if (!target)
        throw EReadError("Error reading " + f.Path + ": no component named " + f.Target +
                         " on the form");
      f.Prop->SetComponent(f.Instance, target);
    }
  }
};

class TFormWriter : public TFiler {
  std::vector<TFormProperty>* FOut = nullptr;
  std::string FPrefix;

public:
  void DefineBinaryProperty(const std::string& name, const std::function<void(TStream&)>&,
                            const std::function<void(TStream&)>& write, bool hasData) override {
    if (!hasData || !write) return;
    TMemoryStream stream;
    write(stream);
    const uint8_t* p = stream.Memory();
    FOut->push_back({FPrefix + name, BinaryValue(std::vector<uint8_t>(p, p + stream.Size()))});
  }

  void DefineProperty(const std::string& name, const std::function<void(const TFormValue&)>&,
                      const std::function<TFormValue()>& write, bool hasData) override {
    if (hasData && write) FOut->push_back({FPrefix + name, write()});
  }

  TFormObject WriteObject(TComponent* component) {
    TFormObject obj;
    obj.ClassName = component->ClassName();
    obj.Name = component->Name();
    WriteProperties(component, "", obj.Properties, 0);
    return obj;
  }

  void WriteProperties(TPersistent* instance, const std::string& prefix,
                       std::vector<TFormProperty>& out, int depth) {
    if (depth > MaxNesting) throw EWriteError("Objects nested too deeply");
    for (const TPropInfo* info : AllProperties(instance->ClassName())) {
      if (info->Stored && !info->Stored(instance)) continue;
      const std::string name = prefix + info->Name;
      switch (info->Kind) {
        case TPropKind::pkInteger: {
          const int64_t v = info->GetOrdinal(instance);
          if (info->HasDefault && v == info->Default) break;
          std::string ident;
          out.push_back({name, IntegerToIdent(info->Name, v, ident) ? IdentValue(ident) : IntValue(v)});
          break;
        }
        case TPropKind::pkBoolean: {
          const int64_t v = info->GetOrdinal(instance);
          if (info->HasDefault && v == info->Default) break;
          out.push_back({name, BoolValue(v != 0)});
          break;
        }
        case TPropKind::pkEnum: {
          const int64_t v = info->GetOrdinal(instance);
          if ((info->HasDefault && v == info->Default) || v < 0 ||
              v >= int64_t(info->EnumNames.size()))
            break;
          out.push_back({name, IdentValue(info->EnumNames[size_t(v)])});
          break;
        }
        case TPropKind::pkSet: {
          const int64_t v = info->GetOrdinal(instance);
          if (info->HasDefault && v == info->Default) break;
          TFormValue set;
          set.Type = TValueType::vaSet;
          for (size_t i = 0; i < info->EnumNames.size() && i < 63; ++i)
            if (v & (int64_t(1) << i)) set.Set.push_back(info->EnumNames[i]);
          out.push_back({name, set});
          break;
        }
        case TPropKind::pkString: {
          const std::string v = info->GetString(instance);
          if (!v.empty()) out.push_back({name, StringValue(v)});
          break;
        }
        case TPropKind::pkWideString: {
          const std::u16string v = info->GetWideString(instance);
          if (v.empty()) break;
          const bool ascii = std::all_of(v.begin(), v.end(), [](char16_t c) { return c < 0x80; });
          out.push_back({name, ascii ? StringValue(Narrow(v)) : WideStringValue(v)});
          break;
        }
        case TPropKind::pkComponent: {
          TComponent* target = info->GetComponent(instance);
          if (target) out.push_back({name, IdentValue(target->Name())});
          break;
        }
        case TPropKind::pkMethod: {
          const std::string handler = info->GetMethod(instance);
          if (!handler.empty()) out.push_back({name, IdentValue(handler)});
          break;
        }
        case TPropKind::pkClass:
          if (TPersistent* nested = info->GetNested(instance))
            WriteProperties(nested, name + ".", out, depth + 1);
          break;
        case TPropKind::pkCollection: {
          TCollection* collection = info->GetCollection(instance);
          if (!collection) break;
          TFormValue items;
          items.Type = TValueType::vaCollection;
          for (int i = 0; i < collection->Count(); ++i) {
            TFormCollectionItem item;
            WriteProperties(collection->GetItem(i), "", item.Properties, depth + 1);
            items.Items.push_back(std::move(item));
          }
          out.push_back({name, items});
          break;
        }
      }
    }
    std::vector<TFormProperty>* savedOut = FOut;
    std::string savedPrefix = FPrefix;
    FOut = &out;
    FPrefix = prefix;
    instance->DefineProperties(*this);
    FOut = savedOut;
    FPrefix = savedPrefix;
  }
};

}  // namespace

void ReadForm(TComponent* root, const TFormObject& form) { TFormReader(root).Read(form); }

void ReadFormBinary(TComponent* root, const uint8_t* data, size_t size) {
  ReadForm(root, ReadBinaryForm(data, size));
}

TFormObject WriteForm(TComponent* root) {
  TFormWriter writer;
  TFormObject form = writer.WriteObject(root);
  for (TComponent* c : root->Components()) form.Children.push_back(writer.WriteObject(c));
  return form;
}

std::vector<uint8_t> WriteFormBinary(TComponent* root) { return WriteBinaryForm(WriteForm(root)); }
