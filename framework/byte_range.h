// A read-only range of bytes that someone else owns: a mapped resource, a
// resource inside an image, a part of a stream held in memory.
#pragma once

#include <cstddef>
#include <cstdint>

struct ByteRange {
  const uint8_t* data = nullptr;
  size_t size = 0;
};
