// Reads a shell link (.lnk) back the way the shell does and prints its target, arguments and working
// folder; with --create it writes one, so scenarios can put a link in place before the installer runs.
#include "platform/win32/handles.h"

#include <shlobj.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "tests/wine/text_escape.h"

namespace {

int Fail(const char* what, HRESULT result) {
  std::fprintf(stderr, "lnkread: %s failed (HRESULT 0x%08lX)\n", what, static_cast<unsigned long>(result));
  return 1;
}

}  // namespace

int Create(IShellLinkA* link, IPersistFile* file, const wchar_t* linkPath, char** fields) {
  HRESULT result = link->SetPath(fields[0]);
  // S_FALSE: the target does not exist yet, which the link keeps anyway.
  if (FAILED(result)) return Fail("IShellLinkA::SetPath", result);
  if (FAILED(result = link->SetArguments(fields[1]))) return Fail("IShellLinkA::SetArguments", result);
  if (FAILED(result = link->SetWorkingDirectory(fields[2]))) return Fail("IShellLinkA::SetWorkingDirectory", result);
  if (FAILED(result = file->Save(linkPath, TRUE))) return Fail("IPersistFile::Save", result);
  return 0;
}

int main(int argc, char** argv) {
  const bool create = argc == 6 && std::string(argv[1]) == "--create";
  if (argc != 2 && !create) {
    std::fputs("usage: lnkread LINK.lnk\n       lnkread --create LINK.lnk TARGET ARGUMENTS WORKING_FOLDER\n", stderr);
    return 2;
  }
  const char* linkPath = create ? argv[2] : argv[1];
  _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, for bash
  const platform::ComInitialization com;
  if (!com.Succeeded()) return Fail("CoInitialize", com.Result());

  platform::ComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.outVoid());
  if (FAILED(result)) return Fail("CoCreateInstance(ShellLink)", result);
  platform::ComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, file.outVoid());
  if (FAILED(result)) return Fail("QueryInterface(IPersistFile)", result);

  wchar_t widePath[MAX_PATH * 2] = L"";
  if (!MultiByteToWideChar(CP_ACP, 0, linkPath, -1, widePath, MAX_PATH * 2))
    return Fail("path conversion", E_INVALIDARG);
  if (create) return Create(link.get(), file.get(), widePath, argv + 3);
  result = file->Load(widePath, STGM_READ);
  if (FAILED(result)) return Fail("IPersistFile::Load", result);

  char target[MAX_PATH * 2] = "", arguments[1024] = "", folder[MAX_PATH * 2] = "";
  // Raw path: the stored target, not one resolved against the current machine.
  link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
  link->GetArguments(arguments, sizeof arguments);
  link->GetWorkingDirectory(folder, sizeof folder);
  std::printf("target=%s\n", EscapeText(target).c_str());
  std::printf("arguments=%s\n", EscapeText(arguments).c_str());
  std::printf("workdir=%s\n", EscapeText(folder).c_str());
  return 0;
}
