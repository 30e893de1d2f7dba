// Byte streams: the abstract stream, the growable in-memory stream, a read-only
// view over bytes owned elsewhere, and files behind a replaceable file system
// (the C library's in native_files.h, the Win32 and host ones in platform/).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream {
 public:
  virtual ~TStream() = default;
  virtual int64_t Size() const = 0;
  virtual void SetSize(int64_t size) = 0;
  virtual int64_t Position() const = 0;
  virtual void SetPosition(int64_t position) = 0;
  // Reads up to `count` bytes at the position and returns how many it read.
  virtual size_t Read(void* buffer, size_t count) = 0;
  // Writes up to `count` bytes at the position and returns how many it wrote.
  virtual size_t Write(const void* buffer, size_t count) = 0;

  // Exactly `count` bytes or "Stream read error".
  void ReadBuffer(void* buffer, size_t count);
  // Exactly `count` bytes or "Stream write error".
  void WriteBuffer(const void* buffer, size_t count);
  // Copies `count` bytes from the source's position, at most 61,440 at a time;
  // a count of 0 copies the whole source from its beginning. Returns the count.
  int64_t CopyFrom(TStream& source, int64_t count);

  static constexpr size_t kMaxCopyBlock = 61440;
};

// Growable in-memory stream; reading past the end returns fewer bytes. Its
// buffer is not zero-filled: items up to tens of megabytes are filled by one copy.
// It may instead share a block of bytes with their owner (LoadFrom a shared
// view): no copy at all, until the first change copies them into its own buffer.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Size() const override { return static_cast<int64_t>(size_); }
  void SetSize(int64_t size) override;
  int64_t Position() const override { return position_; }
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;

  void Clear();
  const uint8_t* Memory() const { return shared_ ? shared_ : data_.get(); }
  // Takes `size` bytes at `data` as the whole content (a copy), position 0.
  void Assign(const uint8_t* data, size_t size);
  // Replaces the content with the next `size` bytes of `source`, position 0;
  // "Stream read error" when the source has fewer. One copy, or none from a
  // view that shares its bytes (TReadOnlyMemoryStream with an owner).
  void LoadFrom(TStream& source, size_t size);

 private:
  void Reserve(size_t capacity);

  std::shared_ptr<const void> sharedOwner_;  // keeps `shared_` alive
  const uint8_t* shared_ = nullptr;
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  int64_t position_ = 0;
};

// Read-only view over bytes that outlive it (a mapped resource, a buffer), or
// over bytes of a buffer that `owner` keeps alive: those a TMemoryStream can
// share instead of copying them.
class TReadOnlyMemoryStream : public TStream {
 public:
  TReadOnlyMemoryStream(const uint8_t* data, size_t size, std::shared_ptr<const void> owner = nullptr)
      : data_(data), size_(size), owner_(std::move(owner)) {}
  int64_t Size() const override { return static_cast<int64_t>(size_); }
  void SetSize(int64_t size) override;
  int64_t Position() const override { return position_; }
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;

  const uint8_t* Data() const { return data_; }
  const std::shared_ptr<const void>& Owner() const { return owner_; }

 private:
  const uint8_t* data_;
  size_t size_;
  std::shared_ptr<const void> owner_;
  int64_t position_ = 0;
};

// Takes every byte and keeps none: decoding to nowhere, counting what comes.
class TDiscardStream : public TStream {
 public:
  int64_t Size() const override { return position_; }
  void SetSize(int64_t) override {}
  int64_t Position() const override { return position_; }
  void SetPosition(int64_t) override {}
  size_t Read(void*, size_t) override { return 0; }
  size_t Write(const void*, size_t count) override {
    position_ += static_cast<int64_t>(count);
    return count;
  }

 private:
  int64_t position_ = 0;
};

// A new file written beside the file it is to replace, under a name nobody
// can guess, created exclusively; Commit() moves it over its target in one
// step. Until then the target keeps its old content (or stays missing), and a
// replacement destroyed without Commit() deletes its file: a failed write never
// leaves a part of a file at the target's path.
class TReplacementFile : public TStream {
 public:
  // `file` is the new file's stream. `commit` gets it back to flush, close and
  // move over the target (raising EFCreateError naming the target when it
  // cannot); `discard` deletes the new file.
  TReplacementFile(std::unique_ptr<TStream> file, std::function<void(std::unique_ptr<TStream> file)> commit,
                   std::function<void()> discard);
  ~TReplacementFile() override;
  TReplacementFile(const TReplacementFile&) = delete;
  TReplacementFile& operator=(const TReplacementFile&) = delete;

  int64_t Size() const override { return file_->Size(); }
  void SetSize(int64_t size) override { file_->SetSize(size); }
  int64_t Position() const override { return file_->Position(); }
  void SetPosition(int64_t position) override { file_->SetPosition(position); }
  size_t Read(void* buffer, size_t count) override { return file_->Read(buffer, count); }
  size_t Write(const void* buffer, size_t count) override { return file_->Write(buffer, count); }

  // Once; the new file is deleted when the move fails.
  void Commit();

 private:
  std::unique_ptr<TStream> file_;
  std::function<void(std::unique_ptr<TStream>)> commit_;
  std::function<void()> discard_;
  bool done_ = false;
};

// Where replacement files are made: every file system, and the platform's
// checked writes where another user may have put a link (platform/).
class FileReplacer {
 public:
  virtual ~FileReplacer() = default;
  // A replacement for `path` (see TReplacementFile). Raises EFCreateError
  // naming `path` when its folder cannot take the new file.
  virtual std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) = 0;

  // Replaces (or creates) `path` with `content` through a replacement: the
  // file holds its old or its new content at every instant.
  void ReplaceContent(const std::string& path, const std::vector<uint8_t>& content);
};

// Where files come from.
class FileSystem : public FileReplacer {
 public:
  // Creates the file, or empties an existing one, for reading and writing with
  // no sharing. Raises EFCreateError "Cannot create file "%s". %s".
  virtual std::unique_ptr<TStream> CreateFileStream(const std::string& path) = 0;
  // Opens an existing file for reading. Raises EFOpenError "Cannot open file "%s". %s".
  virtual std::unique_ptr<TStream> OpenFileStream(const std::string& path) = 0;
};

// Sixteen hexadecimal digits from the system's random generator: names of
// temporary files that another user cannot guess or prepare in advance.
std::string UnpredictableName();
// The name of a replacement's temporary file, made in its target's folder.
inline std::string ReplacementTemporaryName() { return "~ins" + UnpredictableName() + ".tmp"; }

// Reads a whole stream from its beginning.
std::vector<uint8_t> ReadAll(TStream& stream);
