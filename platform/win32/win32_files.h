// What the Win32 file code shares inside platform/win32/: the file stream over
// one handle, text conversions, the file errors, and replacement files made
// beside their target.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include <windows.h>
#include "framework/streams.h"
#include "platform/platform.h"
#include "platform/win32/handles.h"

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
// UTF-16 as ANSI text; nullopt when a character has no exact form there.
std::optional<std::string> Ansi(const std::u16string& text);

// A security descriptor from its text form (SDDL); empty, with the last
// error set, when it cannot be made. Protection::UsersReadOnly's, or
// nothing (what the folder passes on) for Protection::Inherited.
UniqueLocal Descriptor(const char* sddl);
UniqueLocal Descriptor(Protection protection);

// Deletes what the handle names (opened with DELETE access) once its last
// handle closes: that very file or folder, never what a name leads to now.
bool DeleteThroughHandle(HANDLE handle);

// EFCreateError and EFOpenError naming the full path, with the system's reason.
[[noreturn]] void ThrowCreate(const std::string& path, DWORD error);
[[noreturn]] void ThrowOpen(const std::string& path, DWORD error);

// A replacement for the file `name` in the folder that `folder` holds open,
// made, written and moved over its target by that one name through the
// folder's handle: its new file created exclusively under a name nobody can
// guess, given the replaced file's DACL and attributes before anything is
// written (a file that did not exist gets `protection`). Errors name `path`.
// `hold` is kept until the replacement has ended (what keeps `folder` open
// and in place until the final move).
std::unique_ptr<TReplacementFile> MakeReplacement(HANDLE folder, const std::u16string& name, const std::string& path,
                                                  Protection protection, std::shared_ptr<const void> hold);

}  // namespace platform
