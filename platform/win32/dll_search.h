// The first call of every program's entry: DLLs are looked for in the system
// folder only. An elevated program started from Downloads would otherwise load
// a DLL that someone left beside it, for itself or for a system component
// (the shell link object, OLE picture loading, theming) that loads one later.
#pragma once

#include <string>

#include <windows.h>

namespace platform {

// The system folder; empty when Windows cannot give it.
inline std::string SystemFolder() {
  char folder[MAX_PATH + 1] = "";
  const UINT length = GetSystemDirectoryA(folder, sizeof folder);
  return length > 0 && length <= MAX_PATH ? std::string(folder, length) : std::string();
}

// A system DLL that is not a KnownDLL, loaded at run time by its full path in
// the system folder, its own dependencies from there too: never imported,
// since an imported one would be looked for beside the program first. Null
// when it cannot be loaded.
inline HMODULE LoadSystemLibrary(const char* name) {
  const std::string folder = SystemFolder();
  if (folder.empty()) return nullptr;
  return LoadLibraryExA((folder + "\\" + name).c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

// userenv.dll (the machine's environment), loaded once by its full path; null
// when it cannot be.
inline HMODULE Userenv() {
  static const HMODULE userenv = LoadSystemLibrary("userenv.dll");
  return userenv;
}

// False on a Windows without SetDefaultDllDirectories (Vista, or 7 without
// the update that brings it): there the program's own folder stays first for
// every later load by name, and no preloading can cover what the system's
// components load. The caller then says so and ends.
inline bool RestrictDllSearchToSystemFolder() {
  // Looked up, not imported: a Windows without it must still start, to say so.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  const bool restricted = setDefaultDllDirectories && setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  // Without it, the current folder at least leaves the search for the box
  // that says so.
  if (!restricted) SetDllDirectoryA("");

  // The visual-styles DLL, loaded by name by the common controls once a themed
  // control appears, is taken now from the system folder by its full path,
  // after the one DLL of its own that is not a KnownDLL: a later load by name
  // then finds them loaded. Not every loader honours the restriction for the
  // dependencies of a side-by-side DLL (Wine's does not); without the call it
  // keeps the refusal's own box from taking them from the program's folder.
  const std::string folder = SystemFolder();
  if (folder.empty()) return restricted;
  for (const char* name : {"\\msimg32.dll", "\\uxtheme.dll"}) {
    // Its own dependencies from the system folder too.
    LoadLibraryExA((folder + name).c_str(), nullptr,
                   restricted ? LOAD_LIBRARY_SEARCH_SYSTEM32 : LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  return restricted;
}

}  // namespace platform
