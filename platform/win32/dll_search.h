// The first call of every program's entry: DLLs are looked for in the system
// folder only. An elevated program started from Downloads would otherwise load
// a DLL that someone left beside it, for itself or for a system component
// (the shell link object, OLE picture loading, theming) that loads one later.
#pragma once

#include <string>

#include "platform/win32/windows_api.h"

namespace platform {

// The system folder; empty when Windows cannot give it.
inline std::string SystemFolder() {
  char folder[MAX_PATH + 1] = "";
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string();
}

inline void RestrictDllSearchToSystemFolder() {
  // Looked up, not imported: a Windows without it must still start.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  const bool restricted = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, the current folder at least leaves the search.
  if (!restricted) SetDllDirectoryA("");

  // The visual-styles DLL, loaded by name by the common controls once a themed
  // control appears, is taken now from the system folder by its full path,
  // after the one DLL of its own that is not a KnownDLL: a later load by name
  // then finds them loaded. Not every loader honours the restriction for the
  // dependencies of a side-by-side DLL (Wine's does not), and a Windows
  // without the call has none.
  const std::string folder = SystemFolder();
  if (folder.empty()) return;
  for (const char* name : {"\\msimg32.dll", "\\uxtheme.dll"}) {
    // Its own dependencies from the system folder too.
    LoadLibraryExA((folder + name).c_str(), nullptr,
                   restricted ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

}  // namespace platform
