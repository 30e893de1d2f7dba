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

// A read-only byte range that lives as long as the program (a mapped resource).
struct ByteRange {
  const uint8_t* data = nullptr;
  size_t size = 0;
};

// Files and folders where another user may have put a junction, a symbolic
// link or a mount point, which would turn an elevated write or delete there
// into one anywhere on the disk: under an Oracle home (at the root of a drive
// every user may change it), in the Start-menu group and the desktop folder.
// Each operation first walks from the volume root: no folder on the way (for
// a network folder, from its share down) and not its target may be a name
// surrogate (a cloud placeholder is none), each read through a handle and
// held open without delete sharing until the act is done, so that nobody can
// swap one in between; what it makes is checked through its own handle to
// lie in the folder that was checked. A path that is no full path (a \\?\ or
// \\.\ one among them) is refused too. What is refused fails as a file that
// cannot be written: false, nullopt, or the error, and nothing is written or
// deleted through the link.
class GuardedFiles : public FileReplacer {
 public:
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level
  virtual bool RemoveDirectory(const std::string& path) = 0;  // only when empty
  virtual bool DeleteFile(const std::string& path) = 0;
  // Gives a file another name in the same folder, never over an existing
  // file (the move itself, not a copy); false when it could not or when
  // refused, and then the file keeps its name.
  virtual bool MoveFile(const std::string& from, const std::string& to) = 0;
  // The whole content of a file that is itself no link and has no other name
  // (a hard link: its other name may lie in a folder the user cannot read,
  // and the content would be written where they can); nullopt when refused.
  // EFOpenError "Cannot open file "%s". %s" when it cannot be opened.
  virtual std::optional<std::vector<uint8_t>> ReadFile(const std::string& path) = 0;
  // CreateReplacement: EFCreateError "Cannot create file "%s". %s" naming
  // `path`, with the reason "Access is denied." when refused.
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
  // Full path of the running executable.
  virtual std::string ModuleFileName() = 0;

  // Files and folders. Results that callers ignore are still reported.
  virtual bool FileExists(const std::string& path) = 0;  // exists and is not a folder
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool CreateDirectory(const std::string& path) = 0;  // one level
  virtual bool RemoveDirectory(const std::string& path) = 0;  // only when empty
  virtual bool DeleteFile(const std::string& path) = 0;
  // Asks Windows to delete a file, or a folder once it is empty, at the next
  // restart (a running program's own file, for one); false when it cannot.
  virtual bool DeleteFileAtRestart(const std::string& path) = 0;
  // Whole content of an existing file; EFOpenError "Cannot open file "%s". %s".
  virtual std::vector<uint8_t> ReadFile(const std::string& path) = 0;
  // Creates a file that must not exist yet (CREATE_NEW), for reading and
  // writing with no sharing: whatever stood at that path cannot be taken
  // over. Raises EFCreateError "Cannot create file "%s". %s" when something
  // is there or the file cannot be made.
  virtual std::unique_ptr<TStream> CreateNewFileStream(const std::string& path) = 0;
  // Moves `from` to `to` in one step (same volume), never over an existing
  // file; false when it could not. A running program's file may be moved.
  virtual bool MoveFile(const std::string& from, const std::string& to) = 0;

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

  // Asks Windows to restart the computer (shutdown privilege taken first).
  virtual void RestartWindows() = 0;

  // The executable's RT_RCDATA resource of that name (language neutral).
  virtual std::optional<ByteRange> FindResource(const std::string& name) = 0;
};

}  // namespace platform
