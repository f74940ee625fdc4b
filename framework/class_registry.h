#pragma once
// Classes that the form reader can create by name, and their published
// properties: name, kind, accessors, default and whether it is stored.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "framework/form_codec.h"

class TPersistent;
class TComponent;
class TCollection;

enum class TPropKind {
  pkInteger,    // 32-bit signed
  pkBoolean,
  pkString,     // 8-bit, system ANSI code page
  pkWideString, // UTF-16 (a caption that must survive any code page)
  pkEnum,       // stored by name: EnumNames[value]
  pkSet,        // stored as a set of names: bit i is EnumNames[i]
  pkComponent,  // a reference to another component of the form, by name
  pkClass,      // a nested persistent object written as "Prop.Sub" properties
  pkCollection, // a collection of items
  pkMethod,     // an event: the name of a method of the form's class
};

struct TPropInfo {
  std::string Name;
  TPropKind Kind = TPropKind::pkInteger;
  std::vector<std::string> EnumNames;  // pkEnum and pkSet
  int64_t Default = 0;                 // pkInteger/pkBoolean/pkEnum/pkSet: not written when equal
  bool HasDefault = false;
  std::function<bool(TPersistent*)> Stored;  // nil: always stored

  // Scalars travel as int64 (integer, boolean, enum ordinal, set bits).
  std::function<int64_t(TPersistent*)> GetOrdinal;
  std::function<void(TPersistent*, int64_t)> SetOrdinal;
  std::function<std::string(TPersistent*)> GetString;
  std::function<void(TPersistent*, const std::string&)> SetString;
  std::function<std::u16string(TPersistent*)> GetWideString;
  std::function<void(TPersistent*, const std::u16string&)> SetWideString;
  std::function<TComponent*(TPersistent*)> GetComponent;
  std::function<void(TPersistent*, TComponent*)> SetComponent;
  std::function<TPersistent*(TPersistent*)> GetNested;        // pkClass
  std::function<TCollection*(TPersistent*)> GetCollection;    // pkCollection
  std::function<std::string(TPersistent*)> GetMethod;         // pkMethod: handler name or ""
  std::function<void(TPersistent*, const std::string&)> SetMethod;
};

struct TClassInfo {
  std::string Name;
  std::string ParentName;  // "" for a root class
  // Creates an instance for the form reader (components only; nil for
  // classes that are not created by name).
  std::function<TComponent*(TComponent* owner)> Create;
  // Places a child read from the form inside the component whose object
  // encloses it (a control inside its parent); nil: nothing to do.
  std::function<void(TComponent* child, TComponent* parent)> SetParent;
  std::vector<TPropInfo> Properties;  // this class's own, not the parent's
};

// Registers a class; a second registration of the same name replaces the first.
void RegisterComponentClass(TClassInfo info);
// The same under its familiar name. Inline, because <windows.h> may have
// turned the name into RegisterClassA before this header is read.
inline void RegisterClass(TClassInfo info) { RegisterComponentClass(std::move(info)); }
const TClassInfo* FindClassInfo(const std::string& name);
// The property of that name on the class or its ancestors (ASCII
// case-insensitive), nil if none.
const TPropInfo* FindPropInfo(const std::string& className, const std::string& propName);
// All published properties, ancestors' first, in registration order.
std::vector<const TPropInfo*> AllProperties(const std::string& className);

// Integer properties may be written as identifiers (colours such as
// clBtnFace, charsets such as DEFAULT_CHARSET). Mappers are asked in turn.
using TIdentToInt = bool (*)(const std::string& ident, int64_t& value);
using TIntToIdent = bool (*)(const std::string& propName, int64_t value, std::string& ident);
void RegisterIntegerIdents(TIdentToInt toInt, TIntToIdent toIdent);
bool IdentToInteger(const std::string& ident, int64_t& value);
bool IntegerToIdent(const std::string& propName, int64_t value, std::string& ident);

// Builders for the common kinds, from a class's member functions.
template <class C, class V>
TPropInfo IntegerProp(std::string name, V (C::*get)() const, void (C::*set)(V),
                      int64_t defaultValue, bool hasDefault = true) {
  TPropInfo p;
  p.Name = std::move(name);
  p.Kind = TPropKind::pkInteger;
  p.Default = defaultValue;
  p.HasDefault = hasDefault;
  p.GetOrdinal = [get](TPersistent* o) { return int64_t((static_cast<C*>(o)->*get)()); };
  p.SetOrdinal = [set](TPersistent* o, int64_t v) { (static_cast<C*>(o)->*set)(V(v)); };
  return p;
}

template <class C>
TPropInfo BooleanProp(std::string name, bool (C::*get)() const, void (C::*set)(bool),
                      bool defaultValue) {
  TPropInfo p = IntegerProp<C, bool>(std::move(name), get, set, defaultValue);
  p.Kind = TPropKind::pkBoolean;
  return p;
}

template <class C, class E>
TPropInfo EnumProp(std::string name, std::vector<std::string> names, E (C::*get)() const,
                   void (C::*set)(E), E defaultValue) {
  TPropInfo p = IntegerProp<C, E>(std::move(name), get, set, int64_t(defaultValue));
  p.Kind = TPropKind::pkEnum;
  p.EnumNames = std::move(names);
  return p;
}

template <class C>
TPropInfo StringProp(std::string name, std::string (C::*get)() const,
                     void (C::*set)(const std::string&)) {
  TPropInfo p;
  p.Name = std::move(name);
  p.Kind = TPropKind::pkString;
  p.GetString = [get](TPersistent* o) { return (static_cast<C*>(o)->*get)(); };
  p.SetString = [set](TPersistent* o, const std::string& v) { (static_cast<C*>(o)->*set)(v); };
  return p;
}
