#pragma once
// Streams of bytes. Read and Write move what they can and return the count
// (short at the end); ReadBuffer and WriteBuffer move all or raise.
#include <cstdint>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
  virtual ~TStream() = default;
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual void SetSize(int64_t size);  // default raises EStreamError

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  int64_t Size();

  // Raise EReadError "Stream read error" / EWriteError "Stream write error"
  // when fewer than count bytes move.
  void ReadBuffer(void* buffer, int32_t count);
  void WriteBuffer(const void* buffer, int32_t count);
  // Copies count bytes from source (0: all of it, from its start); returns
  // the number copied. Raises as ReadBuffer/WriteBuffer.
  int64_t CopyFrom(TStream& source, int64_t count);
};

// Bytes in memory. Growing past what the process can hold raises EOutOfMemory.
class TMemoryStream : public TStream {
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;

public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  void SetSize(int64_t size) override;  // keeps the position, even past the end
  void Clear();
  uint8_t* Memory() { return FData.data(); }
  const uint8_t* Memory() const { return FData.data(); }
  void LoadFromStream(TStream& source);  // replaces the contents, position 0
  void SaveToStream(TStream& dest) const;
};

// A read-only view of bytes someone else owns (a resource, a test fixture).
class TBytesStream : public TStream {
  const uint8_t* FData;
  int64_t FSize;
  int64_t FPosition = 0;

public:
  TBytesStream(const void* data, int64_t size)
      : FData(static_cast<const uint8_t*>(data)), FSize(size) {}
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;  // writes nothing: returns 0
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  const uint8_t* Memory() const { return FData; }
};

// The length-prefixed strings of stored movie items: a 32-bit little-endian
// signed length, then the bytes. Plain reads: a short stream gives what is there.
void ReadStreamString(TStream& s, std::string& value);
void WriteStreamString(TStream& s, const std::string& value);
