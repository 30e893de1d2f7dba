// Little-endian bytes: a bounded, read-only cursor over untrusted ones (every
// read checked against what remains, running out raises the caller's chosen
// error), its counterpart that writes them into a stream, and the same reads
// over bytes that arrive as a stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/streams.h"

// The value of `width` (at most 8) little-endian bytes at `p`.
inline uint64_t LoadLittle(const uint8_t* p, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) value |= static_cast<uint64_t>(p[i]) << (8 * i);
  return value;
}

// The failure of a read that passes the end of its bytes.
[[noreturn]] inline void FailStreamRead() { throw EReadError(msg::kStreamReadError); }

class ByteCursor {
 public:
  // `fail` is called (and must throw) when a read would pass the end.
  using FailFn = void (*)();
  ByteCursor(const uint8_t* data, size_t size, FailFn fail) : data_(data), size_(size), fail_(fail) {}

  size_t offset() const { return offset_; }
  size_t size() const { return size_; }
  size_t remaining() const { return size_ - offset_; }
  bool AtEnd() const { return offset_ == size_; }
  // Back to an offset already passed (to skip a value from its start).
  void Rewind(size_t offset) {
    if (offset <= offset_) offset_ = offset;
  }
  const uint8_t* data() const { return data_; }

  void Need(size_t len) const {
    if (!(len <= size_ - offset_)) fail_();
  }
  uint8_t Peek() const {
    Need(1);
    return data_[offset_];
  }
  const uint8_t* Take(size_t len) {
    Need(len);
    const uint8_t* p = data_ + offset_;
    offset_ += len;
    return p;
  }
  // `count` units of `unitSize` bytes; the count is checked before it is
  // multiplied, as the product can wrap in a 32-bit build.
  const uint8_t* TakeUnits(uint32_t count, size_t unitSize) {
    if (!(count <= remaining() / unitSize)) fail_();
    return Take(size_t{count} * unitSize);
  }
  void SkipBytes(size_t len) { Take(len); }
  uint8_t U8() { return *Take(1); }
  uint32_t U32() { return static_cast<uint32_t>(LoadLittle(Take(4), 4)); }
  // A two's complement integer of `width` bytes (1 to 8), sign-extended.
  int64_t Signed(size_t width) {
    uint64_t value = LoadLittle(Take(width), width);
    if (width < 8 && (value >> (8 * width - 1)) != 0) value |= ~uint64_t{0} << (8 * width);
    return static_cast<int64_t>(value);
  }
  std::string Bytes(size_t len) {
    const uint8_t* p = Take(len);
    return std::string(reinterpret_cast<const char*>(p), len);
  }
  // One length byte, then that many bytes.
  std::string ShortString() { return Bytes(U8()); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t offset_ = 0;
  FailFn fail_;
};

// Little-endian reads at a fixed offset of a range, for formats addressed by
// offsets (PE images); false when the range does not hold them.
inline bool ReadU16At(const uint8_t* data, size_t size, size_t off, uint16_t& out) {
  if (off > size || !(2 <= size - off)) return false;
  out = static_cast<uint16_t>(LoadLittle(data + off, 2));
  return true;
}
inline bool ReadU32At(const uint8_t* data, size_t size, size_t off, uint32_t& out) {
  if (off > size || !(4 <= size - off)) return false;
  out = static_cast<uint32_t>(LoadLittle(data + off, 4));
  return true;
}

// Little-endian writes at a stream's position; a stream that does not take
// every byte fails with "Stream write error".
class ByteWriter {
 public:
  explicit ByteWriter(TStream& out) : out_(out) {}

  void Raw(const void* data, size_t size) { out_.WriteBuffer(data, size); }
  void U8(uint8_t value) { Raw(&value, 1); }
  // The low `width` bytes (at most 8) of `value`.
  void Little(uint64_t value, size_t width) {
    uint8_t bytes[8];
    for (size_t i = 0; i < width; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
    Raw(bytes, width);
  }
  void U32(uint32_t value) { Little(value, 4); }
  // A 32-bit count or length; "Stream write error" when it does not fit.
  void Count(uint64_t count) {
    if (count > 0xFFFFFFFFu) throw EWriteError(msg::kStreamWriteError);
    U32(static_cast<uint32_t>(count));
  }
  // One length byte, then the bytes; "Stream write error" past 255 bytes.
  void ShortString(const std::string& text) {
    if (text.size() > 255) throw EWriteError(msg::kStreamWriteError);
    U8(static_cast<uint8_t>(text.size()));
    Raw(text.data(), text.size());
  }

 private:
  TStream& out_;
};

// The cursor's reads over bytes that arrive as a stream (a byte block handed
// over by the form reader, inflated content): each field is read whole, then
// decoded with the cursor's byte order. A stream that ends first fails with
// "Stream read error".
class StreamFields {
 public:
  explicit StreamFields(TStream& in) : in_(in) {}

  uint8_t U8() { return static_cast<uint8_t>(Field(1)); }
  uint32_t U32() { return static_cast<uint32_t>(Field(4)); }
  std::string ShortString() {
    std::string text(U8(), '\0');
    Read(&text[0], text.size());
    return text;
  }
  // Fails unless the stream (one of known size) still holds `len` bytes: a
  // length read from the input is checked before anything is allocated for it.
  void Need(uint64_t len) const {
    const int64_t left = in_.Size() - in_.Position();
    if (left < 0 || len > static_cast<uint64_t>(left)) FailStreamRead();
  }
  void Read(void* buffer, size_t len) { in_.ReadBuffer(buffer, len); }

 private:
  uint64_t Field(size_t width) {
    uint8_t bytes[8];
    in_.ReadBuffer(bytes, width);
    return LoadLittle(bytes, width);
  }

  TStream& in_;
};
