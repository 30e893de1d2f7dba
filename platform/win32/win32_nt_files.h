// Files opened, created and renamed by one name inside a folder that is held
// open (ntdll's NtCreateFile and NtSetInformationFile, looked up at run time),
// and what a handle tells of the reparse point it may be.
#pragma once

#include <string>

#include <windows.h>
#include "platform/win32/handles.h"

#include <winternl.h>

namespace platform {

// The few statuses the file code tells apart.
inline constexpr NTSTATUS kStatusNameNotFound = static_cast<NTSTATUS>(0xC0000034);
inline constexpr NTSTATUS kStatusNameCollision = static_cast<NTSTATUS>(0xC0000035);
inline constexpr NTSTATUS kStatusPathNotFound = static_cast<NTSTATUS>(0xC000003A);
inline constexpr NTSTATUS kStatusNotADirectory = static_cast<NTSTATUS>(0xC0000103);

// What to open by one name: the access, the sharing, FILE_OPEN or
// FILE_CREATE, and the options beside the ones every open here takes
// (synchronous, a reparse point opened itself, never followed).
struct OpenByName {
  ACCESS_MASK access;
  ULONG share;
  ULONG disposition;
  ULONG options;
  // Given to what FILE_CREATE makes; null: what the folder passes on.
  PSECURITY_DESCRIPTOR security = nullptr;
};

// `name` (one name, no separator) opened or created inside the folder that
// `folder` holds open, by the folder's handle: nothing resolves a path. Case
// is ignored, as in a path. The status; `opened` holds the handle on success.
NTSTATUS OpenInFolder(HANDLE folder, const std::u16string& name, const OpenByName& how, UniqueHandle& opened);

// Renames the file that `file` holds open (with DELETE access) to `name`
// inside `folder`, by the folder's handle. ReplaceIfExists as `replace`.
NTSTATUS RenameInFolder(HANDLE file, HANDLE folder, const std::u16string& name, bool replace);

// The Win32 error for a status.
DWORD DosError(NTSTATUS status);

// An open file's or folder's attributes and reparse tag.
struct FileTag {
  DWORD attributes = 0;
  DWORD tag = 0;
  bool Folder() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
  bool ReparsePoint() const { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }
  // A junction, a mount point, a symbolic link: a name that leads elsewhere.
  // A cloud placeholder is a reparse point too, but none.
  bool Surrogate() const { return ReparsePoint() && IsReparseTagNameSurrogate(tag); }
  // A synced folder's placeholder (IO_REPARSE_TAG_CLOUD and its variants).
  bool Cloud() const { return ReparsePoint() && (tag & ~DWORD{0xF000}) == IO_REPARSE_TAG_CLOUD; }
};

// False (with the last error set) when the handle cannot tell.
bool ReadTag(HANDLE handle, FileTag& tag);

}  // namespace platform
