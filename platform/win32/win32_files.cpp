// Files and folders on real Windows: file streams over one handle each, files
// created exclusively, replacement files written beside their target and moved
// over it in one step, private folders and their removal, and deletions noted
// for the next restart.
#include "platform/win32/win32_files.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/paths.h"
#include "platform/win32/win32_nt_files.h"
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

std::optional<std::string> Ansi(const std::u16string& text) {
  if (text.empty()) return std::string();
  // The system's own: UTF-8 where it is the ANSI code page, which takes
  // neither best-fit flag nor default character, only the check for
  // characters that have no form.
  const UINT page = GetACP();
  const bool utf8 = page == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL lossy = FALSE;
  const int size = static_cast<int>(text.size());
  const int length = WideCharToMultiByte(page, flags, Wide(text), size, nullptr, 0, nullptr, utf8 ? nullptr : &lossy);
  if (length <= 0 || lossy) return std::nullopt;
  std::string ansi(static_cast<size_t>(length), '\0');
  if (WideCharToMultiByte(page, flags, Wide(text), size, &ansi[0], length, nullptr, utf8 ? nullptr : &lossy) !=
          length ||
      lossy)
    return std::nullopt;
  return ansi;
}

UniqueLocal Descriptor(const char* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr);
  return UniqueLocal(descriptor);
}

UniqueLocal Descriptor(Protection protection) {
  return protection == Protection::UsersReadOnly ? Descriptor(kUsersReadOnlySecurity) : UniqueLocal();
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

bool Win32Platform::CreateFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Win32Platform::RemoveFolder(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool Win32Platform::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

void Win32Platform::CreatePrivateDirectory(const std::string& path) {
  // Full control for Administrators and SYSTEM, inherited by what is made in
  // it; protected, so nothing comes from the folder above.
  const UniqueLocal descriptor = Descriptor(kPrivateFolderSecurity);
  if (!descriptor.valid()) ThrowCreate(path, GetLastError());
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
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

// --- Replacements, deletions at restart ---

namespace {

// What a replacement takes over from the file it replaces.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

struct Replaced {
  DWORD attributes = 0;
  UniqueLocal descriptor;  // holds `dacl`
  PACL dacl = nullptr;
  bool protectedDacl = false;
};

// The file at `name`, looked at as itself before anything is made: nullopt
// when there is none. A link there would be replaced, not written through, a
// folder or a read-only file cannot be replaced: refused at once, as the
// final move would be.
std::optional<Replaced> LookAtReplaced(HANDLE folder, const std::u16string& name, const std::string& path) {
  UniqueHandle target;
  const NTSTATUS status = OpenInFolder(
      folder, name,
      {READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, FILE_OPEN, 0},
      target);
  if (status == kStatusNameNotFound) return std::nullopt;
  if (status < 0) ThrowCreate(path, DosError(status));
  FileTag tag;
  if (!ReadTag(target.get(), tag)) ThrowCreate(path, GetLastError());
  if (tag.Surrogate() || tag.Folder() || (tag.attributes & FILE_ATTRIBUTE_READONLY))
    ThrowCreate(path, ERROR_ACCESS_DENIED);
  Replaced replaced;
  replaced.attributes = tag.attributes & kKeptAttributes;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error = GetSecurityInfo(target.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                                      &replaced.dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) ThrowCreate(path, error);
  replaced.descriptor.reset(descriptor);
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  if (!GetSecurityDescriptorControl(descriptor, &control, &revision)) ThrowCreate(path, GetLastError());
  replaced.protectedDacl = (control & SE_DACL_PROTECTED) != 0;
  return replaced;
}

// The new file's own DACL and attributes, from the replaced file's: its
// inherited entries recomputed from the folder unless its DACL is protected.
DWORD TakeOver(HANDLE file, const Replaced& replaced) {
  const SECURITY_INFORMATION inheritance =
      replaced.protectedDacl ? PROTECTED_DACL_SECURITY_INFORMATION : UNPROTECTED_DACL_SECURITY_INFORMATION;
  const DWORD error = SetSecurityInfo(file, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | inheritance, nullptr, nullptr,
                                      replaced.dacl, nullptr);
  if (error != ERROR_SUCCESS) return error;
  FILE_BASIC_INFO basic = {};  // times of 0 stay as they are
  basic.FileAttributes = replaced.attributes;
  if (basic.FileAttributes != 0 && !SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic))
    return GetLastError();
  return ERROR_SUCCESS;
}

// The new file, shared by the replacement's commit and discard: they act
// through the handle its create returned, on what that create made.
struct NewFile {
  UniqueHandle file;
  std::shared_ptr<const void> hold;
};

}  // namespace

std::unique_ptr<TReplacementFile> MakeReplacement(HANDLE folder, const std::u16string& name, const std::string& path,
                                                  Protection protection, std::shared_ptr<const void> hold) {
  const std::optional<Replaced> replaced = LookAtReplaced(folder, name, path);
  // Until it has the replaced file's DACL, nobody but administrators and the
  // system may open it; a new file gets its protection at once.
  const UniqueLocal security = replaced ? Descriptor(kPrivateFolderSecurity) : Descriptor(protection);
  if ((replaced || protection != Protection::Inherited) && !security.valid()) ThrowCreate(path, GetLastError());
  // DELETE: renamed over the target, or deleted, through its own handle.
  const OpenByName create = {GENERIC_READ | GENERIC_WRITE | DELETE | (replaced ? WRITE_DAC : 0), 0, FILE_CREATE,
                             FILE_NON_DIRECTORY_FILE, security.get()};
  auto made = std::make_shared<NewFile>();
  made->hold = std::move(hold);
  for (int attempt = 0;; ++attempt) {
    const NTSTATUS status = OpenInFolder(folder, Utf16(ReplacementTemporaryName()), create, made->file);
    if (status >= 0) break;
    if (status != kStatusNameCollision || attempt >= 8) ThrowCreate(path, DosError(status));
  }
  // The stream gets a second handle of its own, so the new file can still be
  // moved or deleted through the first once the stream has gone.
  HANDLE streamHandle = nullptr;
  DWORD error = replaced ? TakeOver(made->file.get(), *replaced) : ERROR_SUCCESS;
  if (error == ERROR_SUCCESS && !DuplicateHandle(GetCurrentProcess(), made->file.get(), GetCurrentProcess(),
                                                 &streamHandle, 0, FALSE, DUPLICATE_SAME_ACCESS))
    error = GetLastError();
  if (error != ERROR_SUCCESS) {
    DeleteThroughHandle(made->file.get());
    ThrowCreate(path, error);
  }
  return std::make_unique<TReplacementFile>(
      std::make_unique<Win32FileStream>(streamHandle),
      [made, folder, name, path](std::unique_ptr<TStream> stream) {
        if (!FlushFileBuffers(made->file.get())) ThrowCreate(path, GetLastError());
        // Over the target by its one name in the held folder, through the
        // new file's handle, still open: no name is looked up again.
        const NTSTATUS status = RenameInFolder(made->file.get(), folder, name, true);
        if (status < 0) ThrowCreate(path, DosError(status));
        stream.reset();
        made->file.reset();
        made->hold.reset();
      },
      [made] {
        if (made->file.valid()) DeleteThroughHandle(made->file.get());
        made->file.reset();
        made->hold.reset();
      });
}

std::unique_ptr<TReplacementFile> Win32Platform::CreateReplacement(const std::string& path) {
  // Beside the target, so the final move is a rename on one volume. The
  // folder (one only administrators can change) is opened by its path once.
  const PathParts parts = SplitPath(path);
  auto folder = std::make_shared<UniqueHandle>(
      CreateFileA(parts.folder.empty() ? "." : parts.folder.c_str(), FILE_LIST_DIRECTORY | SYNCHRONIZE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folder->valid()) {
    // A folder that is missing is a path not found, as a create in it says.
    const DWORD error = GetLastError();
    ThrowCreate(path, error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
  }
  const HANDLE handle = folder->get();
  return MakeReplacement(handle, Utf16(parts.name), path, Protection::Inherited, std::move(folder));
}

bool Win32Platform::RemoveAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

}  // namespace platform
