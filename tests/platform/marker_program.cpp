// Started by the tests: leaves "<its own path>.ran" behind to show it ran,
// holding the current folder it was started in. Written under another name
// and renamed, so the file is complete once it is there.
#include "platform/win32/handles.h"

int main() {
  char path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  char partial[MAX_PATH + 16] = {};
  lstrcpyA(partial, path);
  lstrcatA(partial, ".part");
  char folder[MAX_PATH + 1] = {};
  const DWORD folderLength = GetCurrentDirectoryA(sizeof folder, folder);
  if (folderLength == 0 || folderLength > MAX_PATH) return 1;
  platform::UniqueHandle file(
      CreateFileA(partial, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return 1;
  DWORD written = 0;
  WriteFile(file.get(), folder, folderLength, &written, nullptr);
  file.reset();  // closed before it is renamed
  return MoveFileA(partial, path) ? 0 : 1;
}
