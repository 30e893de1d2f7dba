// A stand-in for a version.dll that someone left beside a program: it notes
// in C:\version-marker.log which program loaded it, and passes the three
// version functions on to the system's own, so the program works as before.
// Were it ever loaded into the installer or the uninstaller, the DLL search
// of an elevated program would be open to planting.
#include "platform/win32/handles.h"

namespace {

HMODULE SystemVersionDll() {
  static HMODULE module = [] {
    char path[MAX_PATH + 16] = "";
    const UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return HMODULE{};
    lstrcatA(path, "\\version.dll");
    return LoadLibraryA(path);
  }();
  return module;
}

template <typename Function>
Function SystemFunction(const char* name) {
  const HMODULE module = SystemVersionDll();
  return module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name))) : nullptr;
}

// Whether the program's own import table names version.dll (and not only a
// system DLL that the program imports: Wine's user32 imports it, Windows' does not).
bool ProgramImportsVersionDll() {
  const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return false;
  for (const auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), "version.dll") == 0) return true;
  }
  return false;
}

// One line: the program, this DLL's own path, and whether the loader brought
// it in while starting the program (for an import: the program's own, or a
// system DLL's) or later (LoadLibrary).
void NoteLoader(HINSTANCE self, bool atStartup) {
  char program[3 * MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, program, MAX_PATH);
  program[length] = '\0';
  lstrcatA(program, " loaded ");
  length = lstrlenA(program);
  const DWORD own = GetModuleFileNameA(self, program + length, MAX_PATH);
  program[length + own] = '\0';
  if (!atStartup) {
    lstrcatA(program, " later\r\n");
  } else if (ProgramImportsVersionDll()) {
    lstrcatA(program, " at start-up, imported by the program\r\n");
  } else {
    lstrcatA(program, " at start-up, for a system DLL\r\n");
  }
  const platform::UniqueHandle log(CreateFileA("C:\\version-marker.log", FILE_APPEND_DATA,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!log.valid()) return;
  DWORD written = 0;
  WriteFile(log.get(), program, lstrlenA(program), &written, nullptr);
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID reserved) {
  // The loader passes a non-null `reserved` for the DLLs it loads at start-up.
  if (reason == DLL_PROCESS_ATTACH) NoteLoader(self, reserved != nullptr);
  return TRUE;
}

// Exported under the system's names by marker_version.def.
BOOL WINAPI MarkerGetFileVersionInfoA(LPCSTR file, DWORD handle, DWORD size, LPVOID data) {
  using F = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
  const F f = SystemFunction<F>("GetFileVersionInfoA");
  return f ? f(file, handle, size, data) : FALSE;
}

DWORD WINAPI MarkerGetFileVersionInfoSizeA(LPCSTR file, LPDWORD handle) {
  using F = DWORD(WINAPI*)(LPCSTR, LPDWORD);
  const F f = SystemFunction<F>("GetFileVersionInfoSizeA");
  return f ? f(file, handle) : 0;
}

BOOL WINAPI MarkerVerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, PUINT length) {
  using F = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);
  const F f = SystemFunction<F>("VerQueryValueA");
  return f ? f(block, subBlock, buffer, length) : FALSE;
}

}  // extern "C"
