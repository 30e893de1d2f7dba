// The host machine's checked writes and deletes, as on Windows: every folder
// from the drive's root down and the target itself looked at without
// following a link (a host symbolic link is a junction or a symbolic link of
// the kind a test made), and what is made or opened at the end found where
// the checked folder was when it was checked.
#include "platform/host/host_machine.h"

#include <system_error>

#include "framework/errors.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace platform {
namespace host_detail {

namespace {

// Where the host has a file or folder now, every link on the way followed
// (what a handle's final path tells on Windows); empty when it has none.
std::string Canonical(const std::string& hostPath) {
  std::error_code error;
  const fs::path canonical = fs::canonical(hostPath, error);
  return error ? std::string() : canonical.string();
}

}  // namespace

HostGuardedFiles::Walk HostGuardedFiles::Hold(const std::string& path, Held& held) const {
  // Relative and device paths are refused; the host knows no network.
  if (!IsFullPath(path)) return Walk::Refused;
  const std::optional<WinPath> target = ParsePath(path);
  if (!target || target->parts.empty()) return Walk::Refused;
  WinPath folder = *target;
  folder.parts.clear();
  folder.trailingSeparator = false;
  std::string above;  // where the level above was when it was checked
  for (size_t i = 0; i < target->parts.size(); ++i) {
    if (IsNameSurrogate(machine_->TagOf(folder))) return Walk::Refused;
    if (!machine_->IsFolder(folder)) return Walk::Failed;
    // Found inside the level above as that one was checked: a link made
    // there since would lead the walk elsewhere.
    const std::string canonical = Canonical(machine_->Resolve(folder));
    if (i > 0 && fs::path(canonical).parent_path().string() != above) return Walk::Refused;
    above = canonical;
    if (machine_->foldersHeldHook) machine_->foldersHeldHook(folder.Full());
    if (i + 1 < target->parts.size()) folder.parts.push_back(target->parts[i]);
  }
  held.target = *target;
  held.target.trailingSeparator = false;
  held.folder = above;
  return Walk::Held;
}

bool HostGuardedFiles::Contains(const Held& held, const std::string& hostPath) const {
  const std::string canonical = Canonical(hostPath);
  return !canonical.empty() && !held.folder.empty() && fs::path(canonical).parent_path().string() == held.folder;
}

bool HostGuardedFiles::TargetAccepted(const Held& held) const {
  return !IsNameSurrogate(machine_->TagOf(held.target)) && Contains(held, machine_->Resolve(held.target));
}

bool HostGuardedFiles::CreateDirectory(const std::string& path, Protection) {
  Held held;
  if (Hold(path, held) != Walk::Held || !files_.CreateDirectory(held.target.Full())) return false;
  // Made where it was checked: the empty folder it went into may have become
  // a mount point in between. One made elsewhere is removed again.
  const std::string made = machine_->Resolve(held.target);
  if (Contains(held, made)) return true;
  std::error_code error;
  fs::remove(fs::canonical(made, error), error);
  return false;
}

bool HostGuardedFiles::RemoveDirectory(const std::string& path) {
  Held held;
  return Hold(path, held) == Walk::Held && TargetAccepted(held) && files_.RemoveDirectory(held.target.Full());
}

bool HostGuardedFiles::DeleteFile(const std::string& path) {
  Held held;
  return Hold(path, held) == Walk::Held && TargetAccepted(held) && files_.DeleteFile(held.target.Full());
}

MoveResult HostGuardedFiles::MoveFile(const std::string& from, const std::string& to) {
  Held held;
  if (Hold(from, held) != Walk::Held || !machine_->IsFile(held.target) || !TargetAccepted(held))
    return MoveResult::Failed;
  // Only within the folder that was checked.
  const std::optional<WinPath> target = ParsePath(to);
  if (!target || target->parts.empty() || target->Parent().Key() != held.target.Parent().Key())
    return MoveResult::Failed;
  const char* why = machine_->Rename(held.target, *target, false);
  if (!why) return MoveResult::Moved;
  return why == reason::kFileExists ? MoveResult::NameTaken : MoveResult::Failed;
}

std::optional<std::string> HostGuardedFiles::RefusedLink(const std::string&) { return std::nullopt; }

bool HostGuardedFiles::IsCloudPlaceholder(const std::string&) { return false; }

std::optional<std::vector<uint8_t>> HostGuardedFiles::ReadFile(const std::string& path) {
  Held held;
  switch (Hold(path, held)) {
    case Walk::Held:
      break;
    case Walk::Refused:
      return std::nullopt;
    case Walk::Failed:
      ThrowOpen(path, reason::kPathNotFound);
  }
  if (!machine_->IsFile(held.target)) return files_.ReadFile(held.target.Full());  // its error
  if (!TargetAccepted(held)) return std::nullopt;
  // A hard link carries no tag: its other names are counted instead.
  std::error_code error;
  if (fs::hard_link_count(machine_->Resolve(held.target), error) > 1 || error) return std::nullopt;
  return files_.ReadFile(held.target.Full());
}

std::unique_ptr<TReplacementFile> HostGuardedFiles::CreateReplacement(const std::string& path, Protection) {
  Held held;
  switch (Hold(path, held)) {
    case Walk::Held:
      break;
    case Walk::Refused:
      ThrowCreate(path, reason::kAccessDenied);
    case Walk::Failed:
      ThrowCreate(path, reason::kPathNotFound);
  }
  // A link at the target would be replaced, not written through; refused all the same.
  if (IsNameSurrogate(machine_->TagOf(held.target))) ThrowCreate(held.target.Full(), reason::kAccessDenied);
  return MakeReplacement(files_, machine_, held.target,
                         [this, held](const std::string& hostPath) { return Contains(held, hostPath); });
}

}  // namespace host_detail
}  // namespace platform
