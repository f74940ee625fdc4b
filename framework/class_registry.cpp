#include "framework/class_registry.h"
#include "framework/ascii_text.h"

#include <algorithm>
#include <map>
#include <memory>

namespace {

// Created on first use, so that registration from any start-up code finds it.
std::map<std::string, std::unique_ptr<TClassInfo>>& Classes() {
  static std::map<std::string, std::unique_ptr<TClassInfo>> classes;
  return classes;
}

}  // namespace

void RegisterComponentClass(TClassInfo info) {
  std::string key = LowerAscii(info.Name);
  Classes()[key] = std::make_unique<TClassInfo>(std::move(info));
}

const TClassInfo* FindClassInfo(const std::string& name) {
  auto it = Classes().find(LowerAscii(name));
  return it == Classes().end() ? nullptr : it->second.get();
}

const TPropInfo* FindPropInfo(const std::string& className, const std::string& propName) {
  // Bounded walk: a registration error that makes a class its own ancestor
  // must not hang the reader.
  const TClassInfo* info = FindClassInfo(className);
  for (int depth = 0; info && depth < 64; ++depth) {
    for (const TPropInfo& p : info->Properties)
      if (SameTextAscii(p.Name, propName)) return &p;
    info = info->ParentName.empty() ? nullptr : FindClassInfo(info->ParentName);
  }
  return nullptr;
}

namespace {
std::vector<std::pair<TIdentToInt, TIntToIdent>>& IdentMappers() {
  static std::vector<std::pair<TIdentToInt, TIntToIdent>> mappers;
  return mappers;
}
}  // namespace

void RegisterIntegerIdents(TIdentToInt toInt, TIntToIdent toIdent) {
  for (const auto& m : IdentMappers())
    if (m.first == toInt && m.second == toIdent) return;
  IdentMappers().emplace_back(toInt, toIdent);
}

bool IdentToInteger(const std::string& ident, int64_t& value) {
  for (const auto& m : IdentMappers())
    if (m.first && m.first(ident, value)) return true;
  return false;
}

bool IntegerToIdent(const std::string& propName, int64_t value, std::string& ident) {
  for (const auto& m : IdentMappers())
    if (m.second && m.second(propName, value, ident)) return true;
  return false;
}

std::vector<const TPropInfo*> AllProperties(const std::string& className) {
  std::vector<const TClassInfo*> chain;
  const TClassInfo* info = FindClassInfo(className);
  for (int depth = 0; info && depth < 64; ++depth) {
    chain.push_back(info);
    info = info->ParentName.empty() ? nullptr : FindClassInfo(info->ParentName);
  }
  // Ancestors first. A class that publishes a property again (another
  // default, another place in its order) replaces the ancestor's entry.
  std::vector<const TPropInfo*> result;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it)
    for (const TPropInfo& p : (*it)->Properties) {
      result.erase(std::remove_if(result.begin(), result.end(),
                                  [&](const TPropInfo* q) { return SameTextAscii(q->Name, p.Name); }),
                   result.end());
      result.push_back(&p);
    }
  return result;
}
