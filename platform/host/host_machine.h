// The host machine's shared state, private to platform/host/: names compared as
// Windows compares them, Windows paths mapped onto host folders, registry nodes,
// file locks and the disk's free space.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/text_case.h"
#include "platform/host/host_platform.h"

namespace platform {

namespace host_detail {

// The system's reasons, as Windows words them (FormatMessage, English).
namespace reason {
inline constexpr char kFileNotFound[] = "The system cannot find the file specified.";
inline constexpr char kPathNotFound[] = "The system cannot find the path specified.";
inline constexpr char kAccessDenied[] = "Access is denied.";
inline constexpr char kSharingViolation[] =
    "The process cannot access the file because it is being used by another process.";
inline constexpr char kInvalidName[] = "The filename, directory name, or volume label syntax is incorrect.";
inline constexpr char kFileExists[] = "The file exists.";
}  // namespace reason

// Upper case in code page 1252, as Windows compares file and key names.
inline std::string Fold(const std::string& text) { return AnsiUpper(text); }
inline bool SameName(const std::string& a, const std::string& b) { return SameAnsiText(a, b); }

// A Windows path made full: drive, components without "." and "..".
struct WinPath {
  char drive = 'C';
  std::vector<std::string> parts;
  bool trailingSeparator = false;

  std::string Full() const;
  std::string Key() const;  // folded, without the trailing separator
  WinPath Parent() const;
};

// Relative paths count from the root of drive C:, the process's fixed
// current folder. UNC paths are not part of this machine; nullopt for them
// and for names Windows does not allow.
std::optional<WinPath> ParsePath(const std::string& input);

struct RegValue {
  std::string name;
  uint32_t type;
  std::vector<uint8_t> data;
};

struct KeyNode {
  std::string name;
  std::vector<std::shared_ptr<KeyNode>> children;  // sorted as Windows enumerates them
  std::vector<RegValue> values;                    // in creation order
  KeyPermission permission = KeyPermission::Full;
  bool deleted = false;
};

// Junctions, mount points and symbolic links (bit 29 of their tags) make a
// path name another place; a cloud placeholder is a reparse point too, but
// none of them.
inline bool IsNameSurrogate(uint32_t tag) { return (tag & 0x20000000) != 0; }

struct OpenCount {
  int exclusive = 0;
  int readers = 0;
};

struct Machine {
  std::string root;
  std::shared_ptr<KeyNode> localMachine = std::make_shared<KeyNode>();
  std::shared_ptr<KeyNode> currentUser = std::make_shared<KeyNode>();
  std::map<std::string, FileLock> locks;  // by folded full path
  std::map<std::string, OpenCount> open;  // streams this process holds
  std::optional<uint64_t> diskSpace;
  // Reparse tags by folded full path: the kind a test made a link as (a host
  // symbolic link, which the machine follows as Windows follows a link), or
  // a tag on a real file or folder (a cloud placeholder).
  std::map<std::string, uint32_t> reparseTags;
  // Folders only administrators and the system may use, by folded full path.
  std::set<std::string> privateFolders;
  // Runs as a checked write or delete holds each folder on its way (another process may act then).
  std::function<void(const std::string& folder)> foldersHeldHook;

  std::shared_ptr<KeyNode> Root(RootKey key) { return key == RootKey::LocalMachine ? localMachine : currentUser; }

  FileLock LockOf(const WinPath& path) const;
  OpenCount OpenOf(const WinPath& path) const;
  // Whether writing, deleting or replacing is refused, and why.
  const char* WriteRefusal(const WinPath& path) const;
  const char* ReadRefusal(const WinPath& path) const;

  // The host path: each existing component found without regard to case.
  std::string Resolve(const WinPath& path) const;
  std::filesystem::file_status Status(const WinPath& path) const;
  // A trailing separator names a folder, never a file.
  bool IsFile(const WinPath& path) const;
  bool IsFolder(const WinPath& path) const;
  // The reparse tag of what stands at `path` itself, a link there not
  // followed; 0 for none.
  uint32_t TagOf(const WinPath& path) const;

  // Renames a file in one step, over an existing one only with `replace`. A
  // running program or a read-only file may be renamed, a file held open may not.
  // Null when done, else the reason Windows would give.
  const char* Rename(const WinPath& source, const WinPath& target, bool replace);

  // Bytes a write may still add; a full disk writes what fits.
  size_t Allow(size_t count);
};

// EFCreateError and EFOpenError naming the path, with the reason Windows would give.
[[noreturn]] void ThrowCreate(const std::string& path, const char* why);
[[noreturn]] void ThrowOpen(const std::string& path, const char* why);

// A replacement for `target`, its new file made exclusively in the target's
// folder; `accept` (when given) sees where the new file landed, on the host,
// before anything is written: false deletes it and fails with "Access is denied.".
std::unique_ptr<TReplacementFile> MakeReplacement(HostPlatform& files, const std::shared_ptr<Machine>& machine,
                                                  const WinPath& target,
                                                  const std::function<bool(const std::string& hostPath)>& accept);

// The checked writes and deletes of host_guarded_files.cpp.
class HostGuardedFiles : public GuardedFiles {
 public:
  HostGuardedFiles(HostPlatform& files, std::shared_ptr<Machine> machine)
      : files_(files), machine_(std::move(machine)) {}

  using GuardedFiles::CreateReplacement;
  bool CreateDirectory(const std::string& path, Protection protection) override;
  bool RemoveDirectory(const std::string& path) override;
  bool DeleteFile(const std::string& path) override;
  MoveResult MoveFile(const std::string& from, const std::string& to) override;
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override;
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path, Protection protection) override;
  std::optional<std::string> RefusedLink(const std::string& path) override;
  bool IsCloudPlaceholder(const std::string& path) override;

 private:
  enum class Walk { Held, Refused, Failed };
  // The target's folder as checked, as the host resolves it.
  struct Held {
    WinPath target;
    std::string folder;
  };
  Walk Hold(const std::string& path, Held& held) const;
  bool Contains(const Held& held, const std::string& hostPath) const;
  // The target itself, checked: no link, and where it was looked for.
  bool TargetAccepted(const Held& held) const;

  HostPlatform& files_;
  std::shared_ptr<Machine> machine_;
};

}  // namespace host_detail
}  // namespace platform
