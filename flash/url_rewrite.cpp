#include "flash/url_rewrite.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr size_t SentinelLength = 11;  // strlen(SentinelBase)

// The kinds of file a movie loads through the host, and "youtube.com", the
// one video-sharing domain the player accepts. Matched case-sensitively and
// anywhere in the request: a query behind the extension still counts.
constexpr const char* AcceptedMarkers[] = {".swf", ".flv", ".xml", ".jpg", ".png", ".mp3",
                                           ".ogg", ".txt", ".adf", ".ADF", "youtube.com"};

bool StartsWith(const std::string& s, const char* prefix) {
  return s.compare(0, std::strlen(prefix), prefix) == 0;
}

bool HasAcceptedMarker(const std::string& url) {
  for (const char* marker : AcceptedMarkers)
    if (url.find(marker) != std::string::npos) return true;
  return false;
}

bool Exists(const TUrlRewriteEnvironment& environment, const std::string& url) {
  return environment.FileExists && UrlFileExists(url, environment.FileExists);
}

// The new slot content, before backslashes turn into '/'.
std::string ChooseSlot(const std::string& url, const std::string& pendingUrl,
                       const TUrlRewriteEnvironment& environment) {
  const std::string& exeDir = environment.ExeDir;
  const std::string name = ExtractUrlFileName(url);
  if (environment.FindListItem && environment.FindListItem(name)) return "<list>" + name;
  if (environment.HasResource && environment.HasResource(StripUrlExt(url))) return "<res>" + url;

  const bool sentinel = StartsWith(url, SentinelBase);
  if (sentinel) {
    const std::string rest = url.substr(SentinelLength);
    if (Exists(environment, exeDir + rest)) return exeDir + rest;
  }
  if (Exists(environment, exeDir + url)) return exeDir + url;
  if (sentinel) {
    std::string rest = url.substr(SentinelLength);
    if (StartsWith(rest, "./")) rest.erase(0, 2);
    // A missing drive path keeps the slot: there is nothing to fetch.
    const bool drivePath = rest.size() >= 3 && rest[1] == ':';
    if (drivePath && !Exists(environment, rest)) return pendingUrl;
    return rest;
  }
  if (StartsWith(url, "file://") && !Exists(environment, url)) return pendingUrl;
  return url;
}

}  // namespace

TUrlRewrite RewriteUrl(const std::string& request, const std::string& pendingUrl,
                       const TUrlRewriteEnvironment& environment) {
  std::string url = request;
  if (StartsWith(url, "./")) url.erase(0, 2);
  // The control asks for the bare scheme now and then; it is answered, and
  // the slot is left exactly as it was.
  if (url == "file://") return {true, pendingUrl};
  if (!HasAcceptedMarker(url)) return {false, pendingUrl};

  TUrlRewrite result{true, ChooseSlot(url, pendingUrl, environment)};
  ReplaceAll(result.PendingUrl, "\\", "/");
  return result;
}

bool ParseStreamHandle(const std::string& internalUrl, bool& isAStream, uint32_t& handle) {
  size_t start;
  bool aStream;
  if (StartsWith(internalUrl, "<stream>")) {
    start = 8;
    aStream = false;
  } else if (StartsWith(internalUrl, "<astream>")) {
    start = 9;
    aStream = true;
  } else {
    return false;
  }
  if (internalUrl.size() < start + 8) return false;
  uint32_t value = 0;
  for (size_t i = start; i < start + 8; ++i) {
    const char c = internalUrl[i];
    uint32_t digit;
    if (c >= '0' && c <= '9') digit = uint32_t(c - '0');
    else if (c >= 'A' && c <= 'F') digit = uint32_t(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f') digit = uint32_t(c - 'a' + 10);
    else return false;
    value = value << 4 | digit;
  }
  isAStream = aStream;
  handle = value;
  return true;
}

std::string FormatStreamUrl(uint32_t handle, const char* ext) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", unsigned(handle));
  return std::string(SentinelBase) + "<stream>" + digits + (ext ? ext : "");
}
