// Streaming zlib: a compressing stream that appends to a target stream and a
// decompressing stream that reads a zlib stream held in memory.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/streams.h"

// Write-only. Output is collected in a 64 KiB buffer and appended to the
// target each time it fills; Finish() (or the destructor) ends the zlib stream.
class TCompressionStream : public TStream {
 public:
  // `level`: a zlib level, -1 for zlib's default (6).
  TCompressionStream(int level, TStream& target);
  ~TCompressionStream() override;
  TCompressionStream(const TCompressionStream&) = delete;
  TCompressionStream& operator=(const TCompressionStream&) = delete;

  int64_t Size() const override;
  void SetSize(int64_t size) override;
  int64_t Position() const override;
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  // Flushes with finish and appends the rest of the output; idempotent.
  void Finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// Read-only, forward-only. Feeds zlib the source bytes in place, 64 KiB at a
// time, and inflates straight into the caller's buffer.
class TDecompressionStream : public TStream {
 public:
  TDecompressionStream(const uint8_t* source, size_t size);
  ~TDecompressionStream() override;
  TDecompressionStream(const TDecompressionStream&) = delete;
  TDecompressionStream& operator=(const TDecompressionStream&) = delete;

  int64_t Size() const override;
  void SetSize(int64_t size) override;
  int64_t Position() const override;
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  // After the content has been read: the zlib stream must end here, with a
  // matching Adler-32 trailer, at the end of its bytes. Raises
  // ECompressionError "Error" otherwise.
  void VerifyEnd();

 private:
  struct State;
  std::unique_ptr<State> state_;
};
