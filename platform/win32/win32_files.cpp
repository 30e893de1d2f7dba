// Files and folders on real Windows: file streams over one handle each, files
// created exclusively, replacement files written beside their target and moved
// over it in one step, private folders and their removal, and deletions noted
// for the next restart.
#include "platform/win32/win32_files.h"

#include <sddl.h>

#include <algorithm>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/win32/win32_platform.h"

namespace platform {

std::u16string Utf16(const std::string& text) {
  const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string wide(static_cast<size_t>(std::max(length, 0)), u'\0');
  if (length > 0)
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(&wide[0]),
                        length);
  return wide;
}

bool DeleteThroughHandle(HANDLE handle) {
  FILE_DISPOSITION_INFO disposition = {TRUE};
  return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition) != 0;
}

[[noreturn]] void ThrowCreate(const std::string& path, DWORD error) {
  throw EFCreateError(Format(msg::kFCreateError, FullPath(path).c_str(), SystemErrorText(error).c_str()));
}
[[noreturn]] void ThrowOpen(const std::string& path, DWORD error) {
  throw EFOpenError(Format(msg::kFOpenError, FullPath(path).c_str(), SystemErrorText(error).c_str()));
}

// --- File streams over one handle ---

int64_t Win32FileStream::Size() const {
  LARGE_INTEGER size;
  return GetFileSizeEx(file_.get(), &size) ? size.QuadPart : 0;
}

void Win32FileStream::SetSize(int64_t size) {
  const int64_t position = Position();
  LARGE_INTEGER to;
  to.QuadPart = size;
  if (!SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get()))
    throw EStreamError(msg::kStreamWriteError);
  SetPosition(std::min(position, size));
}

int64_t Win32FileStream::Position() const {
  LARGE_INTEGER zero, position;
  zero.QuadPart = 0;
  return SetFilePointerEx(file_.get(), zero, &position, FILE_CURRENT) ? position.QuadPart : 0;
}

void Win32FileStream::SetPosition(int64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = position;
  SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN);
}

size_t Win32FileStream::Read(void* buffer, size_t count) {
  size_t total = 0;
  while (total < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
    DWORD got = 0;
    if (!::ReadFile(file_.get(), static_cast<char*>(buffer) + total, chunk, &got, nullptr) || got == 0) break;
    total += got;
  }
  return total;
}

size_t Win32FileStream::Write(const void* buffer, size_t count) {
  size_t total = 0;
  while (total < count) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
    DWORD put = 0;
    if (!::WriteFile(file_.get(), static_cast<const char*>(buffer) + total, chunk, &put, nullptr) || put == 0) break;
    total += put;
  }
  return total;
}

// --- Files and folders ---

bool Win32Platform::FileExists(const std::string& path) {
  // FindFirstFileA would match a wildcard against other files.
  if (path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA data;
  const UniqueFind find(FindFirstFileA(path.c_str(), &data));
  return find.valid() && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::CreateDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Win32Platform::RemoveDirectory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool Win32Platform::DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

void Win32Platform::CreatePrivateDirectory(const std::string& path) {
  // Full control for Administrators and SYSTEM, inherited by what is made in
  // it; protected, so nothing comes from the folder above.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)", SDDL_REVISION_1,
                                                            &descriptor, nullptr))
    ThrowCreate(path, GetLastError());
  const UniqueLocal owner(descriptor);
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  if (!CreateDirectoryA(path.c_str(), &attributes)) ThrowCreate(path, GetLastError());
}

namespace {

// Wide, as the names a setup unpacks need not fit the ANSI code page (in a
// u16string: a std::wstring would link the C++ library's wide string in).
bool RemoveTree(const std::u16string& folder) {
  bool all = true;
  WIN32_FIND_DATAW data;
  const UniqueFind find(FindFirstFileW(Wide(folder + u"\\*"), &data));
  if (find.valid()) {
    do {
      const std::u16string name(reinterpret_cast<const char16_t*>(data.cFileName));
      if (name == u"." || name == u"..") continue;
      const std::u16string path = folder + u"\\" + name;
      const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
      // A reparse point is removed itself: never descended into.
      if (directory && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        all = RemoveTree(path) && all;
        continue;
      }
      if (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(Wide(path), data.dwFileAttributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
      if (!(directory ? RemoveDirectoryW(Wide(path)) : DeleteFileW(Wide(path)))) {
        all = false;
        MoveFileExW(Wide(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
      }
    } while (FindNextFileW(find.get(), &data));
  }
  // After what it holds, which goes first at the restart too.
  if (!RemoveDirectoryW(Wide(folder))) {
    all = false;
    MoveFileExW(Wide(folder), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
  return all;
}

}  // namespace

bool Win32Platform::RemoveDirectoryTree(const std::string& path) {
  const std::u16string wide = Utf16(path);
  if (wide.empty() || !DirectoryExists(path)) return false;
  // In the form without the length limit of a path: setups unpack deep trees.
  if (wide.compare(0, 4, u"\\\\?\\") == 0) return RemoveTree(wide);
  if (wide.compare(0, 2, u"\\\\") == 0) return RemoveTree(u"\\\\?\\UNC\\" + wide.substr(2));
  return RemoveTree(u"\\\\?\\" + wide);
}

// --- File streams ---

std::unique_ptr<TStream> Win32Platform::CreateFileStream(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowCreate(path, GetLastError());
  return std::make_unique<Win32FileStream>(file);
}

std::unique_ptr<TStream> Win32Platform::OpenFileStream(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowOpen(path, GetLastError());
  return std::make_unique<Win32FileStream>(file);
}

std::vector<uint8_t> Win32Platform::ReadFile(const std::string& path) {
  auto stream = OpenFileStream(path);
  return ReadAll(*stream);
}

// --- Replacements, moves, deletions at restart ---

std::unique_ptr<TReplacementFile> MakeReplacement(const std::string& path, const std::string& folder,
                                                  const std::function<bool(HANDLE)>& accept,
                                                  std::shared_ptr<const void> hold) {
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0;; ++attempt) {
    temporary = folder + ReplacementTemporaryName();
    // DELETE: a new file that must not be kept goes through its own handle.
    file = CreateFileA(temporary.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 8) ThrowCreate(path, error);
  }
  if (accept && !accept(file)) {
    DeleteThroughHandle(file);
    CloseHandle(file);
    ThrowCreate(path, ERROR_ACCESS_DENIED);
  }
  return std::make_unique<TReplacementFile>(
      std::make_unique<Win32FileStream>(file),
      [file, temporary, path, hold](std::unique_ptr<TStream> stream) {
        const bool flushed = FlushFileBuffers(file) != 0;
        const DWORD flushError = GetLastError();
        stream.reset();
        if (!flushed) ThrowCreate(path, flushError);
        if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
          ThrowCreate(path, GetLastError());
      },
      [temporary, hold] { DeleteFileA(temporary.c_str()); });
}

std::unique_ptr<TReplacementFile> Win32Platform::CreateReplacement(const std::string& path) {
  // Beside the target, so the final move is a rename on one volume, and the
  // new file takes the folder's permissions as a file made there would.
  return MakeReplacement(path, path.substr(0, path.find_last_of("\\/") + 1));
}

bool Win32Platform::DeleteFileAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace platform
