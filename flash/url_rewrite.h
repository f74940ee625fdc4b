#pragma once
// Where the bytes of a URL that the movie control requests will come from:
// the bind host's decision, free of the platform. The outcome is an internal
// URL for the pending-URL slot, which the moniker's bind reads:
//   "<list>" + name       an item of the movie list
//   "<res>" + request     an RCDATA resource of the program
//   "<stream>" + handle   a copy of a stream the player handed out
//   "<astream>" + handle  such a stream itself
//   anything else         a path or URL for the system's download service
#include <cstdint>
#include <functional>
#include <string>

#include "flash/url_functions.h"

// The pseudo server written in front of internal names so that the control
// sees an absolute URL; nothing ever connects to it.
inline constexpr const char* SentinelBase = "http://zzz/";

// What the decision consults, in this order: the movie list, the program's
// resources, files next to the executable and elsewhere.
struct TUrlRewriteEnvironment {
  // Whether the movie list holds an item of that name (ASCII case folded);
  // empty when the player has no list.
  std::function<bool(const std::string& name)> FindListItem;
  // Whether the program has an RCDATA resource of that name, as the system's
  // resource lookup compares names (case folded; the Windows side passes the
  // name on unchanged, so a name such as "#12" means a numeric identifier).
  std::function<bool(const std::string& name)> HasResource;
  TFileExistsTest FileExists;
  std::string ExeDir;  // with its trailing backslash
};

struct TUrlRewrite {
  bool Served = false;     // false: the host refuses the request (E_NOTIMPL)
  std::string PendingUrl;  // the slot's new content
};

// The decision for one request (already converted to 8 bits) given the
// slot's current content. Backslashes in the new slot content become '/',
// also when the slot keeps its old content, except for a refused request and
// for the bare "file://", which leave the slot exactly as it was.
TUrlRewrite RewriteUrl(const std::string& request, const std::string& pendingUrl,
                       const TUrlRewriteEnvironment& environment);

// Reads the stream handle of an internal URL: "<stream>" or "<astream>",
// then 8 hexadecimal digits (either case); whatever follows them is ignored.
// Anything else gives false and leaves isAStream and handle alone.
bool ParseStreamHandle(const std::string& internalUrl, bool& isAStream, uint32_t& handle);

// The URL that hands a stream to the control: the sentinel base, "<stream>",
// the handle as 8 upper-case hexadecimal digits, then ext (".swf", ".flv").
std::string FormatStreamUrl(uint32_t handle, const char* ext);
