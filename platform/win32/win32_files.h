// What the Win32 file code shares inside platform/win32/: the file stream over
// one handle, the file errors, and replacement files made beside their target.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "framework/streams.h"
#include "platform/win32/handles.h"
#include "platform/win32/windows_api.h"

namespace platform {

// A file read and written through one handle, closed when the stream goes.
class Win32FileStream : public TStream {
 public:
  explicit Win32FileStream(HANDLE file) : file_(file) {}

  int64_t Size() const override;
  void SetSize(int64_t size) override;
  int64_t Position() const override;
  void SetPosition(int64_t position) override;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;

 private:
  UniqueHandle file_;
};

// ANSI text (code page CP_ACP) as UTF-16, for the wide entry points. In a
// u16string: a std::wstring would link the C++ library's wide string in.
std::u16string Utf16(const std::string& text);
inline const wchar_t* Wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// Deletes what the handle names (opened with DELETE access) once its last
// handle closes: that very file or folder, never what a name leads to now.
bool DeleteThroughHandle(HANDLE handle);

// EFCreateError and EFOpenError naming the full path, with the system's reason.
[[noreturn]] void ThrowCreate(const std::string& path, DWORD error);
[[noreturn]] void ThrowOpen(const std::string& path, DWORD error);

// A replacement for `path`, its new file created exclusively in `folder`
// (given with its trailing separator) under a name nobody can guess. Before
// anything is written, `accept` (when given) sees the new file's handle: false
// deletes the file and fails with "Access is denied.". `hold` is kept until the
// replacement has ended (what must stay in place until the final move).
std::unique_ptr<TReplacementFile> MakeReplacement(const std::string& path, const std::string& folder,
                                                  const std::function<bool(HANDLE file)>& accept = nullptr,
                                                  std::shared_ptr<const void> hold = nullptr);

}  // namespace platform
