// Files through the C library: streams over them and replacement files that
// last a power cut.
#include "framework/native_files.h"

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#endif

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/paths.h"

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

namespace {

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
      temporary = SplitPath(path).folder + ReplacementTemporaryName();
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
          if (!SyncFolder(SplitPath(path).folder))
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
