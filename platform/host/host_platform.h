// A whole Windows machine in memory and in a temporary folder, for native tests:
// registry, drives, environment, shell links, dialogs and started programs.
// Implemented by job (host_registry.cpp, host_files.cpp, host_programs.cpp,
// host_dialogs.cpp) over the shared state of the private host_machine.h.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace platform {

// Registry value types, as Windows numbers them.
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegQword = 11;

// What the current user may do with a registry key.
enum class KeyPermission { Full, ReadOnly, Denied };

// How another process holds a file: a running program can still be read (and
// renamed) but not written, deleted or replaced; an exclusive holder lets
// nothing through. A read-only file (its attribute, not a holder) can be read
// and renamed, not written, deleted or replaced.
enum class FileLock { None, Running, Exclusive, ReadOnly };

// One message dialog as the installer asked for it.
struct DialogRecord {
  std::string text;
  DialogType type;
  DialogButtons buttons;
  int answer;
};

// A shell link as written: what the link file holds.
struct ShellLinkRecord {
  std::string target, arguments, workingFolder;
};

enum class ShellLinkFailure { None, CannotCreate, NoInterface };

// What another user may put in a folder they can change: a junction (or a
// mount point: one to a drive's root) or a symbolic link.
enum class LinkKind { Junction, SymbolicLink };
// Who made a link (its owner): another user, or one of the owners a standard
// user cannot give a file.
enum class LinkOwner { AnotherUser, Administrators, System, TrustedInstaller };

// The moments of a checked write or delete at which another process may act:
// each folder on the way once it is checked and held, and the act in the last
// one (a create, a move, the replacement's final move).
enum class GuardedStep { FolderHeld, Create, Move, Commit };

// File attributes, as Windows numbers them.
inline constexpr uint32_t kAttributeHidden = 0x2;
inline constexpr uint32_t kAttributeSystem = 0x4;

// Reparse tags, as Windows numbers them.
inline constexpr uint32_t kReparseTagMountPoint = 0xA0000003;  // junctions and mount points
inline constexpr uint32_t kReparseTagSymlink = 0xA000000C;
inline constexpr uint32_t kReparseTagCloud = 0x9000001A;  // a synced folder's placeholder

namespace host_detail {
struct Machine;
class HostGuardedFiles;
}  // namespace host_detail

class HostPlatform : public Platform {
 public:
  // A fresh machine in a new temporary folder, removed again on destruction:
  // drive C: with "C:\windows", "C:\windows\Temp", "C:\Program Files" and the
  // desktop folder; ProgramFiles, SystemDrive, SystemRoot, windir and
  // USERPROFILE set. The registry starts empty.
  HostPlatform();
  ~HostPlatform() override;
  HostPlatform(const HostPlatform&) = delete;
  HostPlatform& operator=(const HostPlatform&) = delete;

  // --- Preparation and inspection by tests ---

  // Registry. Keys are created with every missing parent; names keep the case
  // they were first created with.
  void CreateKey(RootKey root, const std::string& path);
  void SetValue(RootKey root, const std::string& path, const std::string& name, uint32_t type,
                const std::vector<uint8_t>& data);
  // REG_SZ (or REG_EXPAND_SZ) with its terminating NUL, as RegSetValueExA stores it.
  void SetString(RootKey root, const std::string& path, const std::string& name, const std::string& value,
                 bool expandable = false);
  void SetDword(RootKey root, const std::string& path, const std::string& name, uint32_t value);
  void DeleteValue(RootKey root, const std::string& path, const std::string& name);
  void DeleteKeyTree(RootKey root, const std::string& path);
  void SetKeyPermission(RootKey root, const std::string& path, KeyPermission permission);

  // Files: where drive letters live on the host, and what other processes do.
  // The host folder that stands for a Windows path (its parents need not exist).
  std::string HostPath(const std::string& windowsPath);
  void AddDrive(char letter);
  void SetFileLock(const std::string& path, FileLock lock);
  // Every write after `bytes` more bytes fails, as on a full disk; nullopt
  // lifts the limit. Counts writes of created file streams and replacements.
  void SetDiskSpace(std::optional<uint64_t> bytes);
  void WriteFileBytes(const std::string& path, const std::string& bytes);  // parents must exist
  // A link at `path` to `target` (a host symbolic link, which the machine's
  // operations follow as Windows follows a link), made by `owner`; whatever
  // stood at `path` goes first, as its owner may remove it. A folder that a
  // checked act holds open cannot go: it becomes a mount point itself (as an
  // emptied folder can), what it holds hidden from a path through it.
  void MakeLink(const std::string& path, const std::string& target, LinkKind kind,
                LinkOwner owner = LinkOwner::AnotherUser);
  // A reparse point that names no other place (a cloud placeholder) on the
  // file or folder at `path`.
  void SetReparseTag(const std::string& path, uint32_t tag);
  // A second name for an existing file.
  void MakeHardLink(const std::string& existing, const std::string& path);
  // Runs at each step of a checked write or delete (Guarded()), with the
  // folder it holds then: another process may act then.
  void SetGuardedStepHook(std::function<void(GuardedStep step, const std::string& folder)> hook);
  // The security descriptor a file or folder was given (SDDL); empty when it
  // takes its folder's inherited permissions. Its attributes beyond the
  // defaults (kAttributeHidden, ...).
  std::string SecurityOf(const std::string& path);
  void SetSecurity(const std::string& path, const std::string& sddl);
  uint32_t AttributesOf(const std::string& path);
  void SetAttributes(const std::string& path, uint32_t attributes);

  // Folders and environment.
  void SetWindowsDirectory(const std::string& path) { windowsDirectory_ = path; }
  void SetDesktopDirectory(const std::string& path) { desktopDirectory_ = path; }
  void SetProfileDirectory(const std::string& path) { profileDirectory_ = path; }
  void SetModuleFileName(const std::string& path) { moduleFileName_ = path; }
  // nullopt removes the variable. Names compare without regard to case.
  void SetEnvironmentVariable(const std::string& name, std::optional<std::string> value);
  // What the machine sets for every process; a fresh machine's variables
  // start equal in both, except the user's own USERPROFILE.
  void SetMachineEnvironmentVariable(const std::string& name, std::optional<std::string> value);

  // Shell links.
  std::optional<ShellLinkRecord> ReadShellLink(const std::string& linkPath);
  void SetShellLinkFailure(ShellLinkFailure failure) { shellLinkFailure_ = failure; }

  // Programs: every start is recorded, then the hook plays the program.
  void SetStartProgramHook(std::function<void(const std::string& path)> hook) { startHook_ = std::move(hook); }
  const std::vector<std::string>& StartedPrograms() const { return startedPrograms_; }
  // The current folder each of them was started in, and its environment block.
  const std::vector<std::string>& StartedProgramFolders() const { return startedProgramFolders_; }
  const std::vector<std::u16string>& StartedProgramEnvironments() const { return startedProgramEnvironments_; }

  // The running program's own version resource (a VS_VERSIONINFO block);
  // none until set.
  void SetOwnVersionResource(std::vector<uint8_t> block) { ownVersionResource_ = std::move(block); }

  // Runs once a file's version has been read (another process may act then).
  void SetVersionReadHook(std::function<void(const std::string& path)> hook) { versionReadHook_ = std::move(hook); }

  // What is to be deleted at the next restart, in order; Restart() does it,
  // as Windows does while it starts (a folder goes only when empty).
  const std::vector<std::string>& DeletionsAtRestart() const { return deletionsAtRestart_; }
  void Restart();
  // Without administrator rights Windows refuses to note such deletions.
  void SetDeletionsAtRestartRefused(bool refused) { deletionsAtRestartRefused_ = refused; }

  // Every file and folder on the machine's drives, as full Windows paths in
  // upper case, sorted: what a test compares before and after a run.
  std::vector<std::string> AllPaths();

  // Dialogs: answered from the queue of answers, or else by the callback; a
  // dialog that neither can answer fails the test (std::logic_error).
  void QueueDialogAnswers(std::initializer_list<int> answers);
  void SetDialogCallback(std::function<int(const DialogRecord&)> callback) { dialogCallback_ = std::move(callback); }
  const std::vector<DialogRecord>& Dialogs() const { return dialogs_; }
  size_t PendingDialogAnswers() const { return dialogAnswers_.size(); }
  void SetTerminating(bool terminating) { terminating_ = terminating; }

  void SetProcessMessagesHook(std::function<void()> hook) { processMessagesHook_ = std::move(hook); }
  int ProcessMessagesCalls() const { return processMessagesCalls_; }
  int RestartRequests() const { return restartRequests_; }
  // Other users signed in on this machine, active or disconnected.
  void SetOtherUserSessions(int sessions) { otherUserSessions_ = sessions; }
  // Replacing a resource invalidates ranges handed out for it before.
  void SetResource(const std::string& name, std::vector<uint8_t> bytes);

  // --- Platform ---
  std::unique_ptr<TStream> CreateFileStream(const std::string& path) override;
  std::unique_ptr<TStream> OpenFileStream(const std::string& path) override;
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) override;
  std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path, KeyAccess access) override;
  bool KeyExists(RootKey root, const std::string& path) override;
  std::string WindowsDirectory() override { return windowsDirectory_; }
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  std::optional<std::string> MachineEnvironmentVariable(const std::string& name) override;
  std::string DesktopDirectory() override { return desktopDirectory_; }
  std::string ProfileDirectory() override { return profileDirectory_; }
  std::string ModuleFileName() override { return moduleFileName_; }
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveAtRestart(const std::string& path) override;
  std::vector<uint8_t> ReadFile(const std::string& path) override;
  GuardedFiles& Guarded() override;
  void CreateShellLink(const std::string& target, const std::string& arguments, const std::string& workingFolder,
                       const std::string& linkPath) override;
  void StartProgram(const std::string& path, const std::string& currentFolder,
                    const std::vector<std::pair<std::string, std::string>>& variables) override;
  void CreatePrivateDirectory(const std::string& path) override;
  bool RemoveDirectoryTree(const std::string& path) override;
  std::optional<FileVersion> ReadFileVersion(const std::string& path) override;
  std::optional<FileVersion> ReadOwnVersion() override;
  int MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) override;
  void ProcessMessages() override;
  bool Terminating() override { return terminating_; }
  int OtherUserSessions() override { return otherUserSessions_; }
  void RestartWindows() override { ++restartRequests_; }
  std::optional<ByteRange> FindRcData(const std::string& name) override;

 private:
  // Shared with open streams and keys, so either may outlive the platform.
  std::shared_ptr<host_detail::Machine> machine_;
  std::unique_ptr<host_detail::HostGuardedFiles> guarded_;
  std::string windowsDirectory_ = "C:\\windows";
  std::string desktopDirectory_ = "C:\\users\\tester\\Desktop";
  std::string profileDirectory_ = "C:\\users\\tester";
  std::string moduleFileName_ = "C:\\Instalador.exe";
  // Name (as set) and value, by upper-cased name.
  using Variables = std::map<std::string, std::pair<std::string, std::string>>;
  Variables environment_;
  Variables machineEnvironment_;
  ShellLinkFailure shellLinkFailure_ = ShellLinkFailure::None;
  std::function<void(const std::string&)> startHook_;
  std::vector<std::string> startedPrograms_;
  std::vector<std::string> startedProgramFolders_;
  std::vector<std::u16string> startedProgramEnvironments_;
  std::function<void(const std::string&)> versionReadHook_;
  std::vector<uint8_t> ownVersionResource_;
  std::vector<std::string> deletionsAtRestart_;
  bool deletionsAtRestartRefused_ = false;
  std::deque<int> dialogAnswers_;
  std::function<int(const DialogRecord&)> dialogCallback_;
  std::vector<DialogRecord> dialogs_;
  bool terminating_ = false;
  std::function<void()> processMessagesHook_;
  int processMessagesCalls_ = 0;
  int restartRequests_ = 0;
  int otherUserSessions_ = 0;
  std::map<std::string, std::vector<uint8_t>> resources_;  // by upper-cased name
};

}  // namespace platform
