// The process's own files through the C library, for the native tools, the
// benchmark and the tests: a stream over a C-library file and the file system
// that makes them. The shipped Windows programs do not link it: they reach
// files through the platform, and this brings in run-time code they need not
// carry (std::filesystem, and with it locales and file streams).
#pragma once

#include <cstdio>

#include "framework/streams.h"

// A file opened through the C library; it closes the file when destroyed.
class TStdioFileStream : public TStream {
 public:
  explicit TStdioFileStream(std::FILE* file) : file_(file) {}
  ~TStdioFileStream() override;
  TStdioFileStream(const TStdioFileStream&) = delete;
  TStdioFileStream& operator=(const TStdioFileStream&) = delete;

  int64_t Size() const override;
  void SetSize(int64_t size) override;  // not supported: "Stream write error"
  int64_t Position() const override;
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  // Puts what was written on the disk (fsync); false when the system reports
  // that it could not.
  bool Sync();
  // Closes the file now; false when the system reports that what was written
  // did not all reach it. The stream is then of no further use.
  bool Close();

 protected:
  std::FILE* File() const { return file_; }

 private:
  std::FILE* file_;
};

// The process's own files: replacements are synced to the disk before their
// rename and their folder after it.
FileSystem& NativeFileSystem();
