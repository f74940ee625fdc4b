#include "framework/resource_stream_win.h"

#include "framework/exceptions.h"

TResourceStream::TView TResourceStream::Lock(HMODULE instance, const std::string& name,
                                             LPCSTR type) {
  HRSRC info = FindResourceA(instance, name.c_str(), type);
  if (info == nullptr) throw EResNotFound("Resource " + name + " not found");
  // A loaded resource lives as long as its module; there is nothing to free.
  HGLOBAL handle = LoadResource(instance, info);
  const void* data = handle != nullptr ? LockResource(handle) : nullptr;
  if (data == nullptr) throw EResNotFound("Resource " + name + " not found");
  return {data, int64_t(SizeofResource(instance, info))};
}

TResourceStream::TResourceStream(HMODULE instance, const std::string& name, LPCSTR type)
    : TResourceStream(Lock(instance, name, type)) {}
