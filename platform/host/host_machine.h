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

// What a test made a reparse point: a link's kind, owner and target, or a
// tag on a real file or folder (a cloud placeholder).
struct Reparse {
  uint32_t tag = 0;
  LinkOwner owner = LinkOwner::AnotherUser;
  std::string target;     // where a link leads: a full Windows path
  bool onFolder = false;  // a mount point set on a folder that stays (it was held open)
};

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
  // Reparse points by folded full path (a link is a host symbolic link, which
  // the machine follows as Windows follows a link, unless set on a folder).
  std::map<std::string, Reparse> reparse;
  // Folders a checked act holds open without delete sharing, by folded path.
  std::map<std::string, int> held;
  // Security descriptors given (SDDL) and attributes, by folded full path;
  // none: the folder's inherited permissions, the default attributes.
  std::map<std::string, std::string> security;
  std::map<std::string, uint32_t> attributes;
  // Runs at each step of a checked act (another process may act then).
  std::function<void(GuardedStep step, const std::string& folder)> guardedStepHook;

  std::shared_ptr<KeyNode> Root(RootKey key) { return key == RootKey::LocalMachine ? localMachine : currentUser; }

  FileLock LockOf(const WinPath& path) const;
  OpenCount OpenOf(const WinPath& path) const;
  // Whether writing, deleting or replacing is refused, and why.
  const char* WriteRefusal(const WinPath& path) const;
  const char* ReadRefusal(const WinPath& path) const;

  // The host path: each existing component found without regard to case,
  // a mount point set on a folder followed as a link is.
  std::string Resolve(const WinPath& path) const;
  // The host path of the entry called `name` in the host folder, found
  // without regard to case (folder + name when there is none): a look inside
  // a folder already found, by one name, as through a held handle.
  static std::string Entry(const std::string& folderHost, const std::string& name);
  // The reparse tag of the entry itself (a link there not followed), the
  // entry known by its host path and its folded Windows path; 0 for none.
  uint32_t TagAt(const std::string& entryHost, const std::string& key) const;
  std::filesystem::file_status Status(const WinPath& path) const;
  // A trailing separator names a folder, never a file.
  bool IsFile(const WinPath& path) const;
  bool IsFolder(const WinPath& path) const;
  // The reparse tag of what stands at `path` itself, a link there not
  // followed; 0 for none.
  uint32_t TagOf(const WinPath& path) const;

  // Renames the entry `from` of a host folder to `to` in the same folder, in
  // one step, over an existing file only with `replace`; `folder` is that
  // folder's Windows path, for the locks and what the entries carry. A
  // running program or a read-only file may be renamed, a file held open may
  // not. Null when done, else the reason Windows would give.
  const char* RenameIn(const std::string& folderHost, const WinPath& folder, const std::string& from,
                       const std::string& to, bool replace);
  // A new file or folder at `key` gets `sddl` (empty: its folder's inherited
  // permissions) and the default attributes; one that went carries nothing.
  void Made(const std::string& key, const std::string& sddl);
  void Forget(const std::string& key) { Made(key, ""); }

  // Bytes a write may still add; a full disk writes what fits.
  size_t Allow(size_t count);
};

// EFCreateError and EFOpenError naming the path, with the reason Windows would give.
[[noreturn]] void ThrowCreate(const std::string& path, const char* why);
[[noreturn]] void ThrowOpen(const std::string& path, const char* why);

// A replacement for the entry `target` of a folder found once (`folderHost`,
// whose Windows path `target` names with it; errors name `named`): its new
// file made exclusively in that folder and moved over the target by one
// name. It takes the replaced file's security descriptor and attributes; a
// new file gets `sddl`. `hold` stays until the replacement has ended.
std::unique_ptr<TReplacementFile> MakeReplacement(const std::shared_ptr<Machine>& machine,
                                                  const std::string& folderHost, const WinPath& target,
                                                  const std::string& named, const std::string& sddl,
                                                  std::shared_ptr<const void> hold);
// The whole content of a file on the host.
std::vector<uint8_t> ReadHostFile(const std::string& hostPath);

// The checked writes and deletes of host_guarded_files.cpp.
class HostGuardedFiles : public GuardedFiles {
 public:
  explicit HostGuardedFiles(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}

  using GuardedFiles::CreateReplacement;
  bool CreateFolder(const std::string& path, Protection protection) override;
  bool RemoveFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  MoveResult Rename(const std::string& from, const std::string& to) override;
  std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) override;
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path, Protection protection) override;
  std::optional<std::string> RefusedLink(const std::string& path) override;
  bool IsCloudPlaceholder(const std::string& path) override;

 private:
  class Held;
  enum class Walk { Held, Refused, Failed };
  // The walk down to the target's folder (see host_guarded_files.cpp); on a
  // refusal, `refusedLink` (when given) names the link.
  Walk Hold(const std::string& path, Held& held, std::string* refusedLink = nullptr) const;
  bool Delete(const std::string& path, bool folder);

  std::shared_ptr<Machine> machine_;
};

}  // namespace host_detail
}  // namespace platform
