// DesInstalador.exe: removes the Sistema de Lumentra from this computer.
#include <exception>
#include <string>

#include "installer/texts.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/message_dialog.h"
#include "platform/win32/startup_failure.h"
#include "platform/win32/win32_platform.h"
#include "uninstaller/uninstall.h"

namespace {

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

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!platform::RestrictDllSearchToSystemFolder()) {
    // The system's own box, before any window of ours; the caption of the
    // uninstaller's other error dialogs.
    MessageBoxA(nullptr, texts::kWindowsWithoutSafeDllSearch, platform::DialogCaption(platform::DialogType::Error),
                MB_OK | MB_ICONERROR | MB_TASKMODAL);
    return uninstall::kIncomplete;
  }
  try {
    platform::Win32Platform system;
    // Started from its link, the current folder is the product folder, which is
    // to be removed: the system folder is one nobody removes.
    const std::string systemFolder = platform::SystemFolder();
    if (!systemFolder.empty()) SetCurrentDirectoryA(systemFolder.c_str());

    const std::string self = LongPath(system.ModuleFileName());
    return uninstall::RunUninstaller(
        system, [&self](const std::string& path) { return lstrcmpiA(self.c_str(), LongPath(path).c_str()) == 0; });
  } catch (const std::exception& error) {
    // What was removed before the error is not undone; the rest stays for
    // another try, as when a file could not be removed.
    platform::ShowStartupFailure(error, texts::kStartupFailureCaption, texts::kStartupFailureFirstLine);
    return uninstall::kIncomplete;
  }
}
