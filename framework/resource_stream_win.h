#pragma once
// A read-only stream over a module's RCDATA resource. The bytes stay in the
// module's image; the stream only views them.
#include <windows.h>

#include <string>

#include "framework/streams.h"

class TResourceStream : public TBytesStream {
  struct TView {
    const void* Data;
    int64_t Size;
  };
  explicit TResourceStream(TView view) : TBytesStream(view.Data, view.Size) {}
  static TView Lock(HMODULE instance, const std::string& name, LPCSTR type);

public:
  // Raises EResNotFound "Resource <name> not found" when the module holds no
  // such resource.
  TResourceStream(HMODULE instance, const std::string& name, LPCSTR type = MAKEINTRESOURCEA(10));
};
