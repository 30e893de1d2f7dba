// Reads a shell link (.lnk) back the way the shell does and prints its target, arguments and working folder.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "tests/wine/text_escape.h"

namespace {

class ComInitialization {
 public:
  ComInitialization() : result_(CoInitialize(nullptr)) {}
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  ~ComInitialization() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  HRESULT result() const { return result_; }

 private:
  HRESULT result_;
};

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (pointer_) pointer_->Release();
  }
  Interface** Out() { return &pointer_; }
  Interface* operator->() const { return pointer_; }

 private:
  Interface* pointer_ = nullptr;
};

int Fail(const char* what, HRESULT result) {
  std::fprintf(stderr, "lnkread: %s failed (HRESULT 0x%08lX)\n", what, static_cast<unsigned long>(result));
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fputs("usage: lnkread LINK.lnk\n", stderr);
    return 2;
  }
  ComInitialization com;
  if (FAILED(com.result())) return Fail("CoInitialize", com.result());

  ComPtr<IShellLinkA> link;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                    reinterpret_cast<void**>(link.Out()));
  if (FAILED(result)) return Fail("CoCreateInstance(ShellLink)", result);
  ComPtr<IPersistFile> file;
  result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out()));
  if (FAILED(result)) return Fail("QueryInterface(IPersistFile)", result);

  wchar_t widePath[MAX_PATH * 2] = L"";
  if (!MultiByteToWideChar(CP_ACP, 0, argv[1], -1, widePath, MAX_PATH * 2)) return Fail("path conversion", E_INVALIDARG);
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
