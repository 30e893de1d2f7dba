// Stream basics, the memory streams and the C-library file system.
#include "framework/streams.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#include "framework/errors.h"
#include "framework/messages.h"

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

TStdioFileStream::~TStdioFileStream() { Close(); }

bool TStdioFileStream::Sync() {
  if (!file_ || std::fflush(file_) != 0) return false;
#ifdef _WIN32
  return _commit(_fileno(file_)) == 0;
#else
  return ::fsync(::fileno(file_)) == 0;
#endif
}

bool TStdioFileStream::Close() {
  std::FILE* file = file_;
  file_ = nullptr;
  return file && std::fclose(file) == 0;
}

int64_t TStdioFileStream::Size() const {
  const long here = std::ftell(file_);
  std::fseek(file_, 0, SEEK_END);
  const long end = std::ftell(file_);
  std::fseek(file_, here, SEEK_SET);
  return end;
}

void TStdioFileStream::SetSize(int64_t) { throw EStreamError(msg::kStreamWriteError); }

int64_t TStdioFileStream::Position() const { return std::ftell(file_); }

void TStdioFileStream::SetPosition(int64_t position) { std::fseek(file_, static_cast<long>(position), SEEK_SET); }

size_t TStdioFileStream::Read(void* buffer, size_t count) { return std::fread(buffer, 1, count, file_); }

size_t TStdioFileStream::Write(const void* buffer, size_t count) {
  const size_t n = std::fwrite(buffer, 1, count, file_);
  // Surface a full disk here rather than at close.
  if (n == count && std::fflush(file_) != 0) return 0;
  return n;
}

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
  try {
    commit_(std::move(file_));
  } catch (...) {
    file_.reset();
    discard_();
    throw;
  }
}

void FileSystem::ReplaceFile(const std::string& path, const std::vector<uint8_t>& content) {
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

namespace {

// With its separator, so a bare name gives a bare temporary name.
std::string FolderOf(const std::string& path) { return path.substr(0, path.find_last_of("/\\") + 1); }

// A rename lasts a power cut only once the folder's entries are on the disk
// too. False when the system reports that they could not be put there; a file
// system that cannot sync a folder at all has nothing more to do.
bool SyncFolder(const std::string& folder) {
#ifdef _WIN32
  // The C library cannot sync a folder here. The programs that ship replace
  // files through the Win32 platform, which moves them with write-through.
  (void)folder;
  return true;
#else
  const int descriptor = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
  if (descriptor < 0) return false;
  const bool synced = ::fsync(descriptor) == 0 || errno == EINVAL || errno == ENOTSUP;
  const int error = errno;
  ::close(descriptor);
  errno = error;
  return synced;
#endif
}

class NativeFiles : public FileSystem {
 public:
  std::unique_ptr<TStream> CreateFileStream(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "w+b");
    if (!file) throw EFCreateError(Format(msg::kFCreateError, path.c_str(), std::strerror(errno)));
    return std::make_unique<TStdioFileStream>(file);
  }
  std::unique_ptr<TStream> OpenFileStream(const std::string& path) override {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) throw EFOpenError(Format(msg::kFOpenError, path.c_str(), std::strerror(errno)));
    return std::make_unique<TStdioFileStream>(file);
  }
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) override {
    std::string temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; !file; ++attempt) {
      temporary = FolderOf(path) + ReplacementTemporaryName();
      const int descriptor = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | kBinary, 0644);
      if (descriptor < 0) {
        if (errno == EEXIST && attempt < 8) continue;
        throw EFCreateError(Format(msg::kFCreateError, path.c_str(), std::strerror(errno)));
      }
      file = ::fdopen(descriptor, "w+b");
      if (!file) {
        const int error = errno;
        ::close(descriptor);
        std::remove(temporary.c_str());
        throw EFCreateError(Format(msg::kFCreateError, path.c_str(), std::strerror(error)));
      }
    }
    return std::make_unique<TReplacementFile>(
        std::make_unique<TStdioFileStream>(file),
        [temporary, path](std::unique_ptr<TStream> stream) {
          // On the disk before the rename, or after a power cut the new name
          // could hold an empty file. A sync or close that fails lost written
          // bytes: the target keeps its old content.
          auto& file = static_cast<TStdioFileStream&>(*stream);
          if (!file.Sync() || !file.Close())
            throw EFCreateError(Format(msg::kFCreateError, path.c_str(), std::strerror(errno)));
          stream.reset();
          std::error_code error;
          // Replaces an existing target in one step, on Windows as well.
          std::filesystem::rename(temporary, path, error);
          if (error) throw EFCreateError(Format(msg::kFCreateError, path.c_str(), error.message().c_str()));
          // The target holds the new content already; whether it lasts is not known.
          if (!SyncFolder(FolderOf(path)))
            throw EFCreateError(Format(msg::kFCreateError, path.c_str(), std::strerror(errno)));
        },
        [temporary] { std::remove(temporary.c_str()); });
  }

 private:
#ifdef O_BINARY
  static constexpr int kBinary = O_BINARY;
#else
  static constexpr int kBinary = 0;
#endif
};

}  // namespace

FileSystem& NativeFileSystem() {
  static NativeFiles files;
  return files;
}

std::vector<uint8_t> ReadAll(TStream& stream) {
  stream.SetPosition(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(stream.Size()));
  stream.ReadBuffer(bytes.data(), bytes.size());
  return bytes;
}
