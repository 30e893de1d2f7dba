// Writes and deletes where another user may have put a junction, a symbolic
// link or a mount point: each walks to the target's folder with the folders
// held (win32_held_folders.cpp), then acts inside it by the one name through
// the folder's handle, on what it opened or made itself.
#include "platform/win32/win32_files.h"

#include "framework/errors.h"
#include "framework/paths.h"
#include "platform/win32/win32_held_folders.h"
#include "platform/win32/win32_nt_files.h"
#include "platform/win32/win32_platform.h"

namespace platform {
namespace {

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The target opened as itself (a link there is never followed): nothing
// when it cannot be opened, `refused` when it is a link, or a folder where a
// file was asked for or the other way round.
UniqueHandle OpenTarget(const HeldFolders& held, const OpenByName& how, bool folder, NTSTATUS& status, bool& refused) {
  UniqueHandle target;
  OpenByName kind = how;
  kind.options |= folder ? FILE_DIRECTORY_FILE : FILE_NON_DIRECTORY_FILE;
  status = OpenInFolder(held.Folder(), held.Name(), kind, target);
  refused = false;
  FileTag tag;
  if (target.valid() && (!ReadTag(target.get(), tag) || tag.Surrogate() || tag.Folder() != folder)) {
    refused = true;
    target.reset();
  }
  return target;
}

// The tag of what stands at the held name, looked at as itself; false when
// nothing can be opened there.
bool TargetTag(const HeldFolders& held, ULONG options, FileTag& tag) {
  UniqueHandle target;
  return OpenInFolder(held.Folder(), held.Name(), {FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, options}, target) >= 0 &&
         ReadTag(target.get(), tag);
}

}  // namespace

bool Win32GuardedFiles::CreateFolder(const std::string& path, Protection protection) {
  HeldFolders held;
  if (held.Hold(path) != HeldFolders::Result::Held) return false;
  const UniqueLocal security = Descriptor(protection);
  if (protection != Protection::Inherited && !security.valid()) return false;
  // Made by its name in the held folder, given its protection as it is made.
  UniqueHandle made;
  return OpenInFolder(held.Folder(), held.Name(),
                      {FILE_READ_ATTRIBUTES, kShareAll, FILE_CREATE, FILE_DIRECTORY_FILE, security.get()}, made) >= 0;
}

bool Win32GuardedFiles::Delete(const std::string& path, bool folder) {
  HeldFolders held;
  if (held.Hold(path) != HeldFolders::Result::Held) return false;
  NTSTATUS status = 0;
  bool refused = false;
  // Deleted through this handle, which names the checked file or folder
  // itself (never a link's target), once the last handle to it closes.
  const UniqueHandle target =
      OpenTarget(held, {DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0}, folder, status, refused);
  return target.valid() && DeleteThroughHandle(target.get());
}

bool Win32GuardedFiles::RemoveFolder(const std::string& path) { return Delete(path, true); }

bool Win32GuardedFiles::RemoveFile(const std::string& path) { return Delete(path, false); }

MoveResult Win32GuardedFiles::Rename(const std::string& from, const std::string& to) {
  // The new name in the folder that is held, which nobody can swap: no
  // second walk to trust.
  const PathParts target = SplitPath(to);
  if (target.folder.empty() || target.folder != SplitPath(from).folder) return MoveResult::Failed;
  HeldFolders held;
  if (held.Hold(from) != HeldFolders::Result::Held) return MoveResult::Failed;
  NTSTATUS status = 0;
  bool refused = false;
  const UniqueHandle source =
      OpenTarget(held, {DELETE | FILE_READ_ATTRIBUTES, kShareAll, FILE_OPEN, 0}, false, status, refused);
  if (!source.valid()) return MoveResult::Failed;
  // Renamed through this handle: the checked file itself, never a link's target.
  status = RenameInFolder(source.get(), held.Folder(), Utf16(target.name), false);
  if (status >= 0) return MoveResult::Moved;
  return status == kStatusNameCollision ? MoveResult::NameTaken : MoveResult::Failed;
}

std::optional<std::vector<uint8_t>> Win32GuardedFiles::ReadFile(const std::string& path) {
  HeldFolders held;
  switch (held.Hold(path)) {
    case HeldFolders::Result::Held:
      break;
    case HeldFolders::Result::Refused:
      return std::nullopt;
    case HeldFolders::Result::Failed:
      ThrowOpen(path, held.Error());
  }
  NTSTATUS status = 0;
  bool refused = false;
  UniqueHandle file = OpenTarget(held, {GENERIC_READ, FILE_SHARE_READ, FILE_OPEN, 0}, false, status, refused);
  if (refused) return std::nullopt;
  if (!file.valid()) ThrowOpen(path, DosError(status));
  // A hard link carries no tag: its other names are counted instead.
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file.get(), &information) || information.nNumberOfLinks > 1) return std::nullopt;
  Win32FileStream stream(file.release());
  return ReadAll(stream);
}

std::unique_ptr<TReplacementFile> Win32GuardedFiles::CreateReplacement(const std::string& path, Protection protection) {
  auto held = std::make_shared<HeldFolders>();
  switch (held->Hold(path)) {
    case HeldFolders::Result::Held:
      break;
    case HeldFolders::Result::Refused:
      ThrowCreate(path, ERROR_ACCESS_DENIED);
    case HeldFolders::Result::Failed:
      ThrowCreate(path, held->Error());
  }
  // The folders stay held until the replacement has ended.
  const HANDLE folder = held->Folder();
  const std::u16string name = held->Name();
  return MakeReplacement(folder, name, path, protection, std::move(held));
}

std::optional<std::string> Win32GuardedFiles::RefusedLink(const std::string& path) {
  HeldFolders held;
  switch (held.Hold(path)) {
    case HeldFolders::Result::Held:
      break;
    case HeldFolders::Result::Refused:
      return held.RefusedAt();
    case HeldFolders::Result::Failed:
      return std::nullopt;  // a missing name ends the walk
  }
  // At `path` itself every link is refused, whoever made it.
  FileTag tag;
  if (!TargetTag(held, 0, tag) || !tag.Surrogate()) return std::nullopt;
  return path;
}

bool Win32GuardedFiles::IsCloudPlaceholder(const std::string& path) {
  HeldFolders held;
  FileTag tag;
  return held.Hold(path) == HeldFolders::Result::Held && TargetTag(held, FILE_DIRECTORY_FILE, tag) && tag.Cloud();
}

}  // namespace platform
