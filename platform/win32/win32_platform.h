// The platform on real Windows: ANSI entry points, the registry's 32-bit view,
// the shell's link object, and the installer's own message dialog. Implemented
// by job: win32_registry.cpp, win32_files.cpp (with win32_nt_files.cpp for
// acts by one name), win32_guarded_files.cpp (with win32_held_folders.cpp),
// win32_programs.cpp, and win32_platform.cpp for the rest.
#pragma once

#include <windows.h>
#include "platform/platform.h"

namespace platform {

// Writes and deletes where another user may have put a link: each walks from
// the volume root with handles held, then acts by one name inside the last
// (win32_held_folders.cpp, win32_guarded_files.cpp).
class Win32GuardedFiles : public GuardedFiles {
 public:
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
  bool Delete(const std::string& path, bool folder);
};

class Win32Platform : public Platform {
 public:
  Win32Platform() = default;
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The application's main window owns the dialogs (and is disabled while
  // one runs); none until it exists.
  void SetMainWindow(HWND window) { mainWindow_ = window; }
  // Set by the main window once it has been asked to close.
  void SetTerminating(bool terminating) { terminating_ = terminating; }

  std::unique_ptr<TStream> CreateFileStream(const std::string& path) override;
  std::unique_ptr<TStream> OpenFileStream(const std::string& path) override;
  std::unique_ptr<TReplacementFile> CreateReplacement(const std::string& path) override;
  std::unique_ptr<RegistryKey> OpenKey(RootKey root, const std::string& path, KeyAccess access) override;
  bool KeyExists(RootKey root, const std::string& path) override;
  std::string WindowsDirectory() override;
  std::optional<std::string> EnvironmentVariable(const std::string& name) override;
  std::optional<std::string> MachineEnvironmentVariable(const std::string& name) override;
  std::string DesktopDirectory() override;
  std::string ProfileDirectory() override;
  std::string ModuleFileName() override;
  bool FileExists(const std::string& path) override;
  bool DirectoryExists(const std::string& path) override;
  bool CreateFolder(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  bool RemoveFile(const std::string& path) override;
  bool RemoveAtRestart(const std::string& path) override;
  std::vector<uint8_t> ReadFile(const std::string& path) override;
  GuardedFiles& Guarded() override { return guarded_; }
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
  int OtherUserSessions() override;
  void RestartWindows() override;
  std::optional<ByteRange> FindRcData(const std::string& name) override;

 private:
  HWND mainWindow_ = nullptr;
  bool terminating_ = false;
  Win32GuardedFiles guarded_;
};

// The system's text for an error code (FormatMessage), without the line
// break it ends with; empty when the system has none.
std::string SystemErrorText(DWORD code);

// A path made full as GetFullPathNameA does; the path itself when it cannot.
std::string FullPath(const std::string& path);

}  // namespace platform
