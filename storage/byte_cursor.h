// A bounded, read-only cursor over untrusted bytes: every read is checked
// against what remains, and running out raises the caller's chosen error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

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
  void SkipBytes(size_t len) { Take(len); }
  uint8_t U8() { return *Take(1); }
  uint16_t U16() {
    const uint8_t* p = Take(2);
    return static_cast<uint16_t>(p[0] | p[1] << 8);
  }
  uint32_t U32() {
    const uint8_t* p = Take(4);
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
  }
  uint64_t U64() {
    const uint64_t low = U32();
    return low | static_cast<uint64_t>(U32()) << 32;
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
  out = static_cast<uint16_t>(data[off] | data[off + 1] << 8);
  return true;
}
inline bool ReadU32At(const uint8_t* data, size_t size, size_t off, uint32_t& out) {
  if (off > size || !(4 <= size - off)) return false;
  out = static_cast<uint32_t>(data[off]) | static_cast<uint32_t>(data[off + 1]) << 8 |
        static_cast<uint32_t>(data[off + 2]) << 16 | static_cast<uint32_t>(data[off + 3]) << 24;
  return true;
}
