// Every operating-system operation the installer calls, behind one interface.
// The Win32 implementation does the real thing; the host implementation keeps
// a registry in memory and maps Windows paths onto a folder, for native tests.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "framework/byte_range.h"
#include "framework/streams.h"
#include "storage/pe_image.h"

namespace platform {

enum class RootKey { LocalMachine, CurrentUser };

// Read: KEY_READ (falling back to 0x20009, then KEY_QUERY_VALUE).
// AllAccess: KEY_ALL_ACCESS (0xF003F), never created.
enum class KeyAccess { Read, AllAccess };

// An open registry key; closed when destroyed. Keys are always read in the
// view a 32-bit process sees.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // A REG_SZ or REG_EXPAND_SZ value (not expanded) up to its first NUL;
  // nullopt when the value is missing; any other type raises
  // ERegistryException "Invalid data type for '%s'".
  virtual std::optional<std::string> ReadString(const std::string& valueName) = 0;
  // Names in the order the registry enumerates them.
  virtual std::vector<std::string> SubkeyNames() = 0;
  virtual std::vector<std::string> ValueNames() = 0;
};

enum class DialogType { Error, Information, Confirmation };
enum class DialogButtons { Ok, YesNo };

// Message dialog results.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// The fixed file version, as the PE reader gives it.
using FileVersion = ::FileVersion;

// What a checked create gives what it makes.
enum class Protection {
  // The permissions its folder passes on, as anything made there gets.
  Inherited,
  // Administrators and SYSTEM full control, Users read and execute, nothing
  // taken from the folder above (kUsersReadOnlySecurity): for what is made
  // under an Oracle home, which at the root of a drive every user may change.
  UsersReadOnly,
};

// Security descriptors, in the system's text form (SDDL).
inline constexpr char kUsersReadOnlySecurity[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)";
// The Oracle setup's own folder: Administrators and SYSTEM only.
inline constexpr char kPrivateFolderSecurity[] = "D:P(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)";

// How a checked move ended.
enum class MoveResult { Moved, NameTaken, Failed };

// Files and folders where another user may have put a junction, a symbolic
// link or a mount point, which would turn an elevated write or delete there
// into one anywhere on the disk: under an Oracle home (at the root of a drive
// every user may change it), in the Start-menu group and the desktop folder.
// Each operation walks from the volume root (for a network folder, from its
// share down): each folder is opened inside the one above, by its one name
// through the handle of the one above, its tag read from its own handle, and
// held open without delete sharing until the act is done, so nobody can swap
// it; the act itself is made inside the last folder the same way, by one
// name. No path is resolved again after a check. A name surrogate (junction,
// mount point, symbolic link) on the way is judged by who made it: one owned
// by Administrators, SYSTEM or TrustedInstaller (owners a standard user cannot
// give) is followed, the walk going on at its target with the same checks;
// any other is refused, and so is one standing at the target itself. A cloud
// placeholder is a reparse point but no link. A path that is no full path (a
// \\?\ or \\.\ one among them) is refused too. What is refused fails as a
// file that cannot be written: false, nullopt, or the error, and nothing is
// written or deleted through the link.
class GuardedFiles : public FileReplacer {
 public:
  virtual bool CreateFolder(const std::string& path, Protection protection) = 0;  // one level
  virtual bool RemoveFolder(const std::string& path) = 0;                         // only when empty
  virtual bool RemoveFile(const std::string& path) = 0;
  // Gives a file another name in the same folder, never over an existing
  // file (the move itself, not a copy); the file keeps its name unless Moved.
  virtual MoveResult Rename(const std::string& from, const std::string& to) = 0;
  // The whole content of a file that is itself no link and has no other name
  // (a hard link: its other name may lie in a folder the user cannot read,
  // and the content would be written where they can); nullopt when refused.
  // EFOpenError "Cannot open file "%s". %s" when it cannot be opened.
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) = 0;
  // A replacement for `path` (see TReplacementFile), its new file made in the
  // held folder and moved over the target through its own handle, still open.
  // It takes the replaced file's security descriptor and attributes; a file
  // that did not exist gets `protection`. EFCreateError "Cannot create file
  // "%s". %s" naming `path`, with the reason "Access is denied." when refused.
  virtual std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path, Protection protection) = 0;
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) final {
    return CreateReplacement(path, Protection::Inherited);
  }
  // The link that an operation on `path` would meet and refuse (the path up
  // to and including it): one another user made on the way, or any at `path`
  // itself; nullopt when there is none. The walk ends at the first name that
  // is missing.
  virtual std::optional<std::string> RefusedLink(const std::string& path) = 0;
  // Whether the folder at `path` is itself a cloud placeholder (a synced
  // folder), looked at without following a link there.
  virtual bool IsCloudPlaceholder(const std::string& path) = 0;
};

// The checked writes as a target of ExtractToFile, giving a new file `protection`.
class ProtectedFiles : public FileReplacer {
 public:
  ProtectedFiles(GuardedFiles& files, Protection protection) : files_(files), protection_(protection) {}
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) override {
    return files_.CreateReplacement(path, protection_);
  }

 private:
  GuardedFiles& files_;
  Protection protection_;
};

class Platform : public FileSystem {
 public:
  // Registry. A path with a leading "\" counts from the root.
  // nullptr when the key cannot be opened with that access.
  virtual std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path, KeyAccess access) = 0;
  virtual bool KeyExists(RootKey root, const std::string& path) = 0;

  // Folders and environment. Folders carry no trailing separator.
  virtual std::string WindowsDirectory() = 0;
  // nullopt when the variable is not set. The whole value, however long.
  virtual std::optional<std::string> EnvironmentVariable(const std::string& name) = 0;
  // A variable as the machine sets it for every process, never as this
  // process inherited it: an elevated process inherits the current user's own
  // variables (HKCU\Environment), which any program of that user can set.
  // ProgramFiles is the shell's Program Files folder (CSIDL_PROGRAM_FILES: the
  // x86 one for a 32-bit process); the others come from the machine's own
  // environment. nullopt when the machine does not set it.
  virtual std::optional<std::string> MachineEnvironmentVariable(const std::string& name) = 0;
  // The current user's desktop folder (CSIDL_DESKTOPDIRECTORY); empty when the
  // shell cannot give it.
  virtual std::string DesktopDirectory() = 0;
  // The current user's profile folder, as the machine records it for the
  // account (never from the environment, which the user may set); empty when
  // unknown.
  virtual std::string ProfileDirectory() = 0;
  // Full path of the running executable.
  virtual std::string ModuleFileName() = 0;

  // Files and folders. Results that callers ignore are still reported.
  virtual bool FileExists(const std::string& path) = 0;  // exists and is not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool CreateFolder(const std::string& path) = 0;  // one level
  virtual bool RemoveFolder(const std::string& path) = 0;  // only when empty
  virtual bool RemoveFile(const std::string& path) = 0;
  // Asks Windows to delete a file, or a folder once it is empty, at the next
  // restart (a running program's own file, for one); false when it cannot.
  virtual bool RemoveAtRestart(const std::string& path) = 0;
  // Whole content of an existing file; EFOpenError "Cannot open file "%s". %s".
  virtual std::vector<uint8_t> ReadFile(const std::string& path) = 0;
  // CreateReplacement (in a folder only administrators can change): the new
  // file is made in the target's folder, opened once, and moved over the
  // target through its own handle, still open, as GuardedFiles' is; it takes
  // the replaced file's security descriptor and attributes.

  // Writes and deletes where another user may have put a link (see GuardedFiles).
  virtual GuardedFiles& Guarded() = 0;

  // Shell link through CLSID_ShellLink, IShellLinkA and IPersistStream: saved
  // into memory and written through Guarded()'s replacement (a file save by
  // name would follow a link on the way, with no handle to check). Raises
  // EOleSysError when the link object cannot be created and EIntfCastError
  // "Interface not supported" when an interface is missing; the setters' and
  // the save's failures, a refusal among them, are ignored.
  virtual void CreateShellLink(const std::string& target, const std::string& arguments,
                               const std::string& workingFolder, const std::string& linkPath) = 0;

  // Starts a program without waiting for it (show state SW_SHOWNORMAL), with
  // `currentFolder` as its current folder (never the installer's own, which is
  // usually Downloads). The application is named explicitly, so a path with
  // blanks cannot start another program. Its environment is the machine's
  // (every user's variables, never the current user's own: HKCU\Environment
  // can name where an elevated program unpacks and loads DLLs from, its
  // windir, PATH, ProgramFiles), with `variables` set over it, passed wide;
  // a program that cannot be given it is not started.
  virtual void StartProgram(const std::string& path, const std::string& currentFolder,
                            const std::vector<std::pair<std::string, std::string>>& variables) = 0;
  // A new folder that only administrators and the system may use, to the
  // files in it too; nothing it holds inherits the permissions of the folder
  // it is in. Created exclusively: EFCreateError "Cannot create file "%s". %s"
  // when something is there or it cannot be made.
  virtual void CreatePrivateDirectory(const std::string& path) = 0;
  // Removes a folder and everything in it, a link in it removed itself and
  // never followed. What is in use is asked to go at the next restart, then
  // the folders that hold it; true when everything went now.
  virtual bool RemoveDirectoryTree(const std::string& path) = 0;

  // The fixed file version; nullopt when the file has no version information.
  virtual std::optional<FileVersion> ReadFileVersion(const std::string& path) = 0;
  // The running executable's own fixed file version, from its image in
  // memory (its RT_VERSION resource): a file put in its place after it
  // started is never read. nullopt when it carries none.
  virtual std::optional<FileVersion> ReadOwnVersion() = 0;

  // Modal message dialog centred on the screen; returns kIdOk, kIdYes, kIdNo,
  // or kIdCancel when closed otherwise or while the application is ending.
  virtual int MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) = 0;
  // Dispatches the window messages already waiting; does not wait for more.
  virtual void ProcessMessages() = 0;
  // Once the main window has been asked to close, dialogs answer at once.
  virtual bool Terminating() = 0;

  // How many sessions of other users are signed in on this machine, active
  // or disconnected (a shared PC, a Remote Desktop server): a restart ends
  // them. 0 when it cannot be told.
  virtual int OtherUserSessions() = 0;
  // Asks Windows to restart the computer (shutdown privilege taken first).
  virtual void RestartWindows() = 0;

  // The executable's RT_RCDATA resource of that name (language neutral), whose
  // bytes live as long as the program (the mapped image).
  virtual std::optional<ByteRange> FindRcData(const std::string& name) = 0;
};

}  // namespace platform
