// Started by the tests: leaves "<its own path>.ran" behind to show it ran,
// holding the current folder it was started in, its TEMP, and its
// INSTALADOR_USER_ONLY (or "unset"), one a line. Written under another name
// and renamed, so the file is complete once it is there.
#include <initializer_list>

#include "platform/win32/handles.h"

int main() {
  char path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  char partial[MAX_PATH + 16] = {};
  lstrcpyA(partial, path);
  lstrcatA(partial, ".part");
  char record[3 * (MAX_PATH + 1)] = {};
  const DWORD folderLength = GetCurrentDirectoryA(MAX_PATH + 1, record);
  if (folderLength == 0 || folderLength > MAX_PATH) return 1;
  for (const char* name : {"TEMP", "INSTALADOR_USER_ONLY"}) {
    lstrcatA(record, "\n");
    char value[MAX_PATH + 1] = {};
    const DWORD valueLength = GetEnvironmentVariableA(name, value, sizeof value);
    lstrcatA(record, valueLength > 0 && valueLength <= MAX_PATH ? value : "unset");
  }
  platform::UniqueHandle file(
      CreateFileA(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 1;
  DWORD written = 0;
  WriteFile(file.get(), record, static_cast<DWORD>(lstrlenA(record)), &written, nullptr);
  file.reset();  // closed before it is renamed
  return MoveFileA(partial, path) ? 0 : 1;
}
