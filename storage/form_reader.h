// Reads one binary form stream from a read-only byte range into a root
// component: its properties, its children and theirs, then ends their loading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "framework/classes.h"

// The bytes must outlive the call only: a byte block is handed to its
// property in place, and the property copies what it keeps. Given their
// owner, a property may keep a block by sharing it instead (a stored item's
// bytes), so that a payload read from a file is held once.
//
// Failures raise EReadError ("Stream read error", "Invalid stream format",
// "Invalid property value", ...), EClassNotFound "Class %s not found", or the
// object's own error; one inside a property is re-raised as EReadError
// "Error reading <object>.<property>: <message>". Reading stops at the first.
//
// A child is created through root.CreateChild, which must make the root its
// owner; every child is owned by the root whatever object lists it.
class FormStreamReader {
 public:
  FormStreamReader(const uint8_t* data, size_t size, std::shared_ptr<const void> owner = nullptr)
      : data_(data), size_(size), owner_(std::move(owner)) {}
  void ReadRootComponent(TComponent& root);
  // Bytes the stream took; anything after its final end marker is not read.
  size_t BytesRead() const { return bytesRead_; }

 private:
  const uint8_t* data_;
  size_t size_;
  std::shared_ptr<const void> owner_;
  size_t bytesRead_ = 0;
};
