// Stream basics, the memory streams and replacement files.
#include "framework/streams.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/scope.h"

void TStream::ReadBuffer(void* buffer, size_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError(msg::kStreamReadError);
}

void TStream::WriteBuffer(const void* buffer, size_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError(msg::kStreamWriteError);
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  const int64_t total = count;
  std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(count, kMaxCopyBlock)));
  while (count > 0) {
    const size_t n = static_cast<size_t>(std::min<int64_t>(count, kMaxCopyBlock));
    source.ReadBuffer(block.data(), n);
    WriteBuffer(block.data(), n);
    count -= static_cast<int64_t>(n);
  }
  return total;
}

void TMemoryStream::Reserve(size_t capacity) {
  // Shared bytes are never changed: the first change works on an own copy.
  if (shared_) capacity = std::max(capacity, size_);
  if (capacity <= capacity_ && !shared_) return;
  std::unique_ptr<uint8_t[]> grown(new uint8_t[capacity]);
  if (size_ != 0) std::memcpy(grown.get(), Memory(), size_);
  data_ = std::move(grown);
  capacity_ = capacity;
  shared_ = nullptr;
  sharedOwner_.reset();
}

void TMemoryStream::SetSize(int64_t size) {
  const size_t n = static_cast<size_t>(std::max<int64_t>(size, 0));
  Reserve(n);
  if (n > size_) std::memset(data_.get() + size_, 0, n - size_);
  size_ = n;
  // Compared with the clamped size: a negative request must not leave a negative position.
  if (position_ > static_cast<int64_t>(n)) position_ = static_cast<int64_t>(n);
}

void TMemoryStream::SetPosition(int64_t position) { position_ = std::max<int64_t>(position, 0); }

size_t TMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= Size()) return 0;
  const size_t n = std::min(count, size_ - static_cast<size_t>(position_));
  if (n != 0) std::memcpy(buffer, Memory() + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

size_t TMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  const size_t at = static_cast<size_t>(position_);
  const size_t end = at + count;
  // Grow geometrically: items are filled by many small writes while encoding.
  if (end > capacity_ || shared_) Reserve(std::max(end, capacity_ + capacity_ / 2));
  if (at > size_) std::memset(data_.get() + size_, 0, at - size_);
  std::memcpy(data_.get() + at, buffer, count);
  size_ = std::max(size_, end);
  position_ = static_cast<int64_t>(end);
  return count;
}

void TMemoryStream::Clear() {
  shared_ = nullptr;
  sharedOwner_.reset();
  data_.reset();
  size_ = capacity_ = 0;
  position_ = 0;
}

void TMemoryStream::Assign(const uint8_t* data, size_t size) {
  // Copied before the old buffer is released: `data` may lie inside it.
  std::unique_ptr<uint8_t[]> copy(size != 0 ? new uint8_t[size] : nullptr);
  if (size != 0) std::memcpy(copy.get(), data, size);
  data_ = std::move(copy);
  shared_ = nullptr;
  sharedOwner_.reset();
  size_ = capacity_ = size;
  position_ = 0;
}

void TMemoryStream::LoadFrom(TStream& source, size_t size) {
  Clear();
  // Check before allocating: the size may come from untrusted input.
  if (static_cast<int64_t>(size) > source.Size() - source.Position()) throw EReadError(msg::kStreamReadError);
  if (const auto* view = dynamic_cast<const TReadOnlyMemoryStream*>(&source); view && view->Owner() && size != 0) {
    shared_ = view->Data() + source.Position();
    sharedOwner_ = view->Owner();
    size_ = size;
    source.SetPosition(source.Position() + static_cast<int64_t>(size));
    return;
  }
  Reserve(size);
  source.ReadBuffer(data_.get(), size);
  size_ = size;
}

void TReadOnlyMemoryStream::SetSize(int64_t) { throw EStreamError(msg::kStreamWriteError); }

void TReadOnlyMemoryStream::SetPosition(int64_t position) { position_ = std::max<int64_t>(position, 0); }

size_t TReadOnlyMemoryStream::Read(void* buffer, size_t count) {
  if (position_ >= Size()) return 0;
  const size_t n = std::min(count, size_ - static_cast<size_t>(position_));
  std::memcpy(buffer, data_ + position_, n);
  position_ += static_cast<int64_t>(n);
  return n;
}

size_t TReadOnlyMemoryStream::Write(const void*, size_t) { return 0; }

TReplacementFile::TReplacementFile(std::unique_ptr<TStream> file, std::function<void(std::unique_ptr<TStream>)> commit,
                                   std::function<void()> discard)
    : file_(std::move(file)), commit_(std::move(commit)), discard_(std::move(discard)) {}

TReplacementFile::~TReplacementFile() {
  if (done_) return;
  file_.reset();
  discard_();
}

void TReplacementFile::Commit() {
  if (done_) return;
  done_ = true;
  ScopeGuard discardOnFailure([this] {
    file_.reset();
    discard_();
  });
  commit_(std::move(file_));
  discardOnFailure.Dismiss();
}

void FileReplacer::ReplaceContent(const std::string& path, const std::vector<uint8_t>& content) {
  std::unique_ptr<TReplacementFile> file = CreateReplacement(path);
  file->WriteBuffer(content.data(), content.size());
  file->Commit();
}

std::string UnpredictableName() {
  uint64_t bits = 0;
  try {
    std::random_device random;  // the system's generator (RtlGenRandom on Windows, getrandom here)
    bits = static_cast<uint64_t>(random()) << 32 | random();
  } catch (const std::exception&) {
    // No generator: still unique, and exclusive creation keeps a prepared name from being taken over.
    static uint64_t counter = 0;
    bits = static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) * 0x9E3779B97F4A7C15u +
           ++counter;
  }
  static const char kDigits[] = "0123456789abcdef";
  std::string name(16, '0');
  for (size_t i = 0; i < name.size(); ++i) name[i] = kDigits[(bits >> (60 - 4 * i)) & 0xF];
  return name;
}

std::vector<uint8_t> ReadAll(TStream& stream) {
  stream.SetPosition(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}
