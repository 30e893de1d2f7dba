// The test machine of the Windows build: the real Win32Platform, a scratch
// folder under the user's temporary folder, registry keys in the 32-bit view.
#include "tests/platform/test_machine.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <stdexcept>
#include <vector>

#include "platform/win32/handles.h"
#include "platform/win32/win32_platform.h"

namespace {

HKEY RootHandle(platform::RootKey root) {
  return root == platform::RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
std::string Subkey(const std::string& path) { return !path.empty() && path[0] == '\\' ? path.substr(1) : path; }

bool KeyPresent(platform::RootKey root, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(RootHandle(root), Subkey(path).c_str(), 0, KEY_READ | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
    return false;
  const platform::UniqueKey owner(key);
  return true;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA data;
  const platform::UniqueFind find(FindFirstFileA((folder + "\\*").c_str(), &data));
  if (find.valid()) {
    do {
      const std::string name = data.cFileName;
      if (name == "." || name == "..") continue;
      const std::string path = folder + "\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(find.get(), &data));
  }
  RemoveDirectoryA(folder.c_str());
}

std::string TemporaryFolder() {
  char buffer[MAX_PATH + 1] = {};
  GetTempPathA(sizeof buffer, buffer);
  char longName[MAX_PATH + 1] = {};
  std::string folder = GetLongPathNameA(buffer, longName, sizeof longName) ? longName : buffer;
  while (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

class Win32TestMachine : public TestMachine {
 public:
  ~Win32TestMachine() override {
    for (auto it = createdKeys_.rbegin(); it != createdKeys_.rend(); ++it) DeleteKeyTree(it->first, it->second);
    for (const std::string& folder : scratch_) RemoveTree(folder);
  }

  platform::Platform& Platform() override { return platform_; }

  std::string ScratchFolder() override {
    static unsigned counter = 0;
    for (;;) {
      const std::string folder =
          TemporaryFolder() + "\\instalador-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++counter);
      if (CreateDirectoryA(folder.c_str(), nullptr)) {
        scratch_.push_back(folder);
        return folder;
      }
      if (GetLastError() != ERROR_ALREADY_EXISTS) throw std::runtime_error("cannot create " + folder);
    }
  }

  void SetString(platform::RootKey root, const std::string& key, const std::string& name, const std::string& value,
                 bool expandable) override {
    SetValue(root, key, name, expandable ? REG_EXPAND_SZ : REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
  }
  void SetDword(platform::RootKey root, const std::string& key, const std::string& name, uint32_t value) override {
    SetValue(root, key, name, REG_DWORD, &value, sizeof value);
  }
  void CreateKey(platform::RootKey root, const std::string& key) override { Create(root, key); }

  void DeleteKeyTree(platform::RootKey root, const std::string& key) override {
    const std::string path = Subkey(key);
    const size_t split = path.find_last_of('\\');
    const std::string parentPath = split == std::string::npos ? std::string() : path.substr(0, split);
    const std::string leaf = split == std::string::npos ? path : path.substr(split + 1);
    HKEY parent = nullptr;
    if (RegOpenKeyExA(RootHandle(root), parentPath.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &parent) !=
        ERROR_SUCCESS)
      return;
    const platform::UniqueKey owner(parent);
    RegDeleteTreeA(parent, leaf.c_str());
    RegDeleteKeyExA(parent, leaf.c_str(), KEY_WOW64_32KEY, 0);
  }

  void WriteFile(const std::string& path, const std::string& bytes) override {
    platform::UniqueHandle file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) throw std::runtime_error("cannot write " + path);
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    file.reset();
    if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + path);
  }

  std::string ReadFile(const std::string& path) override {
    const auto bytes = platform_.ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  std::optional<Link> ReadLink(const std::string& linkPath) override {
    if (GetFileAttributesA(linkPath.c_str()) == INVALID_FILE_ATTRIBUTES) return std::nullopt;
    platform::ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA, link.outVoid())))
      return std::nullopt;
    platform::ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.outVoid()))) return std::nullopt;
    std::wstring wide(MAX_PATH * 2, L'\0');
    wide.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, &wide[0], static_cast<int>(wide.size()))));
    if (FAILED(file->Load(wide.c_str(), STGM_READ))) return std::nullopt;
    char target[MAX_PATH * 2] = {}, arguments[MAX_PATH * 2] = {}, folder[MAX_PATH * 2] = {};
    link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH);
    link->GetArguments(arguments, sizeof arguments);
    link->GetWorkingDirectory(folder, sizeof folder);
    return Link{target, arguments, folder};
  }

 private:
  platform::UniqueKey Create(platform::RootKey root, const std::string& key) {
    // Remember the topmost key this machine brings into being, to remove it.
    const std::string path = Subkey(key);
    for (size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      const std::string prefix = path.substr(0, end);
      if (!KeyPresent(root, prefix)) {
        createdKeys_.emplace_back(root, prefix);
        break;
      }
    }
    HKEY handle = nullptr;
    if (RegCreateKeyExA(RootHandle(root), path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
      throw std::runtime_error("cannot create registry key " + key);
    return platform::UniqueKey(handle);
  }

  void SetValue(platform::RootKey root, const std::string& key, const std::string& name, DWORD type, const void* data,
                DWORD size) {
    const LONG status =
        RegSetValueExA(Create(root, key).get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    if (status != ERROR_SUCCESS) throw std::runtime_error("cannot set registry value " + name);
  }

  platform::ComInitialization com_;
  platform::Win32Platform platform_;
  std::vector<std::string> scratch_;
  std::vector<std::pair<platform::RootKey, std::string>> createdKeys_;
};

}  // namespace

std::unique_ptr<TestMachine> MakeTestMachine() { return std::make_unique<Win32TestMachine>(); }

std::string TestRunKey() {
  static const std::string key =
      "\\SOFTWARE\\InstaladorTests\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
  return key;
}
