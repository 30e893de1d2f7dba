// DesInstalador.exe: removes the Sistema de Lumentra from this computer. Run
// with "/finish" it is the short-lived copy that deletes the uninstaller's own
// file once the uninstaller has ended.
#include <cstdlib>
#include <cstring>
#include <string>

// Before <windows.h>: its macros (ANSI_CHARSET, DeleteFile, ...) would rename
// names these headers declare.
#include "installer/form_instalador.h"
#include "uninstaller/uninstall.h"

#include "platform/win32/win32_platform.h"

namespace {

constexpr char kFinishSwitch[] = "/finish";
constexpr DWORD kWaitForUninstallerMs = 60 * 1000;
constexpr int kDeleteAttempts = 50;
constexpr DWORD kDeletePauseMs = 200;

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = nullptr) : handle_(handle) {}
  ~UniqueHandle() {
    if (handle_) CloseHandle(handle_);
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }

 private:
  HANDLE handle_;
};

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// The temporary folder, with its trailing backslash; empty when there is none.
std::string TempFolder() {
  char folder[MAX_PATH + 1] = "";
  const DWORD length = GetTempPathA(sizeof folder, folder);
  return length == 0 || length > MAX_PATH ? std::string() : std::string(folder, length);
}

// The long, full form of a path, so names given in 8.3 form or relative compare equal.
std::string LongPath(const std::string& path) {
  char full[MAX_PATH + 1] = "";
  const DWORD fullLength = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
  if (fullLength == 0 || fullLength > MAX_PATH) return path;
  char longer[MAX_PATH + 1] = "";
  const DWORD longLength = GetLongPathNameA(full, longer, sizeof longer);
  if (longLength == 0 || longLength > MAX_PATH) return full;
  return longer;
}

bool SamePath(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

// Copies the uninstaller to the temporary folder and starts the copy, which
// waits on an inherited handle of this process before it deletes anything.
class Win32SelfRemoval : public uninstall::SelfRemoval {
 public:
  explicit Win32SelfRemoval(platform::Platform& system) : system_(system) {}

  bool IsRunningFrom(const std::string& path) override {
    return SamePath(LongPath(system_.ModuleFileName()), LongPath(path));
  }

  bool Schedule(const uninstall::Remainder& remainder) override {
    const std::string tempFolder = TempFolder();
    if (tempFolder.empty()) return false;
    const std::string copy = tempFolder + "DesInstalador-" + std::to_string(GetCurrentProcessId()) + ".exe";
    if (!CopyFileA(system_.ModuleFileName().c_str(), copy.c_str(), FALSE)) return false;

    UniqueHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.out(), SYNCHRONIZE,
                         TRUE, 0)) {
      DeleteFileA(copy.c_str());
      return false;
    }
    std::string commandLine = Quoted(copy) + " " + kFinishSwitch + " " +
                              std::to_string(reinterpret_cast<uintptr_t>(self.get())) + " " +
                              Quoted(remainder.uninstaller);
    for (const std::string& folder : remainder.folders) commandLine += " " + Quoted(folder);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // Started in the temporary folder: a process whose current folder is the product folder
    // would keep that folder from being removed.
    if (!CreateProcessA(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, tempFolder.c_str(),
                        &startup, &process)) {
      DeleteFileA(copy.c_str());
      return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }

 private:
  platform::Platform& system_;
};

// argv: copy, "/finish", handle of the uninstaller's process, its file, folders.
int Finish(platform::Platform& system, int argc, char** argv) {
  if (argc < 4) return uninstall::kIncomplete;
  UniqueHandle uninstallerProcess(reinterpret_cast<HANDLE>(std::strtoull(argv[2], nullptr, 10)));
  WaitForSingleObject(uninstallerProcess.get(), kWaitForUninstallerMs);
  uninstall::Remainder remainder{argv[3], {}};
  for (int i = 4; i < argc; ++i) remainder.folders.push_back(argv[i]);
  const bool removed =
      uninstall::FinishRemoval(system, remainder, kDeleteAttempts, [] { Sleep(kDeletePauseMs); });
  // This copy cannot delete itself either: it goes at the next restart.
  MoveFileExA(system.ModuleFileName().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return removed ? uninstall::kUninstalled : uninstall::kIncomplete;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  platform::Win32Platform system;
  // Started from its link, the current folder is the product folder, which is to be removed.
  const std::string tempFolder = TempFolder();
  if (!tempFolder.empty()) SetCurrentDirectoryA(tempFolder.c_str());
  if (__argc >= 2 && std::strcmp(__argv[1], kFinishSwitch) == 0) return Finish(system, __argc, __argv);
  TFormInstalador form(system);
  Win32SelfRemoval selfRemoval(system);
  return uninstall::RunUninstaller(form, selfRemoval);
}
