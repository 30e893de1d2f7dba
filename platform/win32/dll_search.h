// The first call of every program's entry: DLLs are looked for in the system
// folder only. An elevated program started from Downloads would otherwise load
// a DLL that someone left beside it, for itself or for a system component
// (the shell link object, OLE picture loading, theming) that loads one later.
#pragma once

#include "platform/win32/windows_api.h"

namespace platform {

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
  char folder[MAX_PATH + 1] = "";
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  for (const char* name : {"\\msimg32.dll", "\\uxtheme.dll"}) {
    char path[MAX_PATH + 16] = "";
    lstrcpyA(path, folder);
    lstrcatA(path, name);
    // Its own dependencies from the system folder too.
    LoadLibraryExA(path, nullptr, restricted ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
  }
}

}  // namespace platform
