// Replaces one language-neutral RT_RCDATA resource of an executable with a file's bytes, so
// scenarios can make installers that carry other files (for instance a newer product).
// Usage: setresource EXE NAME FILE
#include <windows.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: setresource EXE NAME FILE\n", stderr);
    return 2;
  }
  std::FILE* file = std::fopen(argv[3], "rb");
  if (!file) {
    std::fprintf(stderr, "cannot open %s\n", argv[3]);
    return 1;
  }
  std::vector<char> data;
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) data.insert(data.end(), buffer, buffer + n);
  std::fclose(file);

  HANDLE update = BeginUpdateResourceA(argv[1], FALSE);
  if (!update) {
    std::fprintf(stderr, "BeginUpdateResource failed: %lu\n", GetLastError());
    return 1;
  }
  const WORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
  if (!UpdateResourceA(update, MAKEINTRESOURCEA(10), argv[2], neutral, data.data(), static_cast<DWORD>(data.size()))) {
    std::fprintf(stderr, "UpdateResource failed: %lu\n", GetLastError());
    EndUpdateResourceA(update, TRUE);
    return 1;
  }
  if (!EndUpdateResourceA(update, FALSE)) {
    std::fprintf(stderr, "EndUpdateResource failed: %lu\n", GetLastError());
    return 1;
  }
  return 0;
}
