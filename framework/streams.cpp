#include "framework/streams.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <stdexcept>

#include "framework/exceptions.h"

namespace {

// Memory streams hold at most what a 32-bit signed length describes: the
// movie list stores its lengths that way, and the product is a 32-bit program.
constexpr int64_t MaxMemorySize = INT32_MAX;

int64_t SeekTarget(int64_t position, int64_t size, int64_t offset, TSeekOrigin origin) {
  int64_t base = 0;
  switch (origin) {
    case TSeekOrigin::soBeginning: base = 0; break;
    case TSeekOrigin::soCurrent: base = position; break;
    case TSeekOrigin::soEnd: base = size; break;
    default: throw EStreamError("Invalid stream seek origin");
  }
  int64_t target;
  if (__builtin_add_overflow(base, offset, &target)) throw EStreamError("Stream seek out of range");
  return target;
}

// Bytes available from position on, or 0 when the position lies outside.
int64_t Available(int64_t position, int64_t size) {
  return (position < 0 || position >= size) ? 0 : size - position;
}

}  // namespace

// ---- TStream ----

void TStream::SetSize(int64_t) { throw EStreamError("Stream does not support setting its size"); }

int64_t TStream::Size() {
  int64_t position = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

void TStream::ReadBuffer(void* buffer, int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count < 0) throw EStreamError("Invalid stream copy count");
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  constexpr int32_t ChunkSize = 64 * 1024;
  std::vector<uint8_t> buffer(size_t(std::min<int64_t>(count, ChunkSize)));
  int64_t left = count;
  while (left > 0) {
    int32_t chunk = int32_t(std::min<int64_t>(left, ChunkSize));
    source.ReadBuffer(buffer.data(), chunk);
    WriteBuffer(buffer.data(), chunk);
    left -= chunk;
  }
  return count;
}

// ---- TMemoryStream ----

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = std::min<int64_t>(count, Available(FPosition, int64_t(FData.size())));
  if (n == 0) return 0;
  std::memcpy(buffer, FData.data() + FPosition, size_t(n));
  FPosition += n;
  return int32_t(n);
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || FPosition < 0) return 0;
  if (FPosition > MaxMemorySize) throw EOutOfMemory();
  int64_t end = FPosition + count;
  if (end > int64_t(FData.size())) {
    if (end > MaxMemorySize) throw EOutOfMemory();
    try {
      // Grow geometrically so that many small writes stay linear overall.
      if (size_t(end) > FData.capacity())
        FData.reserve(size_t(std::min<int64_t>(MaxMemorySize,
                                               std::max<int64_t>(end, int64_t(FData.capacity()) * 2))));
      FData.resize(size_t(end));
    } catch (const std::bad_alloc&) {
      throw EOutOfMemory();
    } catch (const std::length_error&) {
      throw EOutOfMemory();
    }
  }
  std::memcpy(FData.data() + FPosition, buffer, size_t(count));
  FPosition = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(FPosition, int64_t(FData.size()), offset, origin);
  return FPosition;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) throw EStreamError("Invalid stream size");
  if (size > MaxMemorySize) throw EOutOfMemory();
  try {
    FData.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  } catch (const std::length_error&) {
    throw EOutOfMemory();
  }
}

void TMemoryStream::Clear() {
  std::vector<uint8_t>().swap(FData);
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.Size();
  if (size > MaxMemorySize) throw EOutOfMemory();
  std::vector<uint8_t> data;
  try {
    data.resize(size_t(size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
  // Read into a fresh buffer so that a failing source leaves our contents alone.
  source.ReadBuffer(data.data(), int32_t(size));
  FData.swap(data);
  FPosition = 0;
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  dest.WriteBuffer(FData.data(), int32_t(FData.size()));
}

// ---- TBytesStream ----

int32_t TBytesStream::Read(void* buffer, int32_t count) {
  if (count <= 0) return 0;
  int64_t n = std::min<int64_t>(count, Available(FPosition, FSize));
  if (n == 0) return 0;
  std::memcpy(buffer, FData + FPosition, size_t(n));
  FPosition += n;
  return int32_t(n);
}

int32_t TBytesStream::Write(const void*, int32_t) { return 0; }

int64_t TBytesStream::Seek(int64_t offset, TSeekOrigin origin) {
  FPosition = SeekTarget(FPosition, FSize, offset, origin);
  return FPosition;
}

// ---- length-prefixed strings ----

void ReadStreamString(TStream& s, std::string& value) {
  // A short stream delivers fewer than four length bytes; the missing high
  // bytes count as zero.
  uint8_t raw[4] = {0, 0, 0, 0};
  s.Read(raw, 4);
  int32_t length = int32_t(uint32_t(raw[0]) | uint32_t(raw[1]) << 8 | uint32_t(raw[2]) << 16 |
                           uint32_t(raw[3]) << 24);
  value.clear();
  if (length <= 0) return;
  // The length is untrusted: grow with what really arrives, a chunk at a
  // time, so that a huge length over a short stream costs no huge allocation.
  constexpr int32_t ChunkSize = 64 * 1024;
  int32_t left = length;
  try {
    while (left > 0) {
      int32_t chunk = std::min(left, ChunkSize);
      size_t old = value.size();
      value.resize(old + size_t(chunk));
      int32_t got = s.Read(value.data() + old, chunk);
      value.resize(old + size_t(std::max(got, 0)));
      if (got < chunk) break;
      left -= chunk;
    }
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory();
  }
}

void WriteStreamString(TStream& s, const std::string& value) {
  if (value.size() > size_t(INT32_MAX)) throw EWriteError("Stream write error");
  int32_t length = int32_t(value.size());
  uint8_t raw[4] = {uint8_t(length), uint8_t(length >> 8), uint8_t(length >> 16),
                    uint8_t(length >> 24)};
  // WriteBuffer, not a plain write: a stream that takes fewer bytes would
  // otherwise leave a silently truncated record behind.
  s.WriteBuffer(raw, 4);
  s.WriteBuffer(value.data(), length);
}
