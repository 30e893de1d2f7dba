// The registry on real Windows: keys opened in the 32-bit view with the
// narrowest rights that still read them, strings and names read whatever their
// length.
#include "platform/win32/win32_platform.h"

#include <algorithm>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/win32/handles.h"

namespace platform {
namespace {

HKEY RootHandle(RootKey root) { return root == RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// A leading "\" counts from the root, which is where RegOpenKeyExA starts anyway.
std::string SubkeyPath(const std::string& path) { return !path.empty() && path[0] == '\\' ? path.substr(1) : path; }

UniqueKey OpenWithAccess(RootKey root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  // The 32-bit view whatever this build's word size.
  if (RegOpenKeyExA(RootHandle(root), SubkeyPath(path).c_str(), 0, access | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
    return UniqueKey();
  return UniqueKey(key);
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(UniqueKey key) : key_(std::move(key)) {}

  std::optional<std::string> ReadString(const std::string& valueName) override {
    for (;;) {
      DWORD type = 0, size = 0;
      LONG status = RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
      if (status != ERROR_SUCCESS) return std::nullopt;
      if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(Format(msg::kInvalidRegType, valueName.c_str()));
      std::string buffer(size + 1, '\0');
      DWORD got = size;
      status =
          RegQueryValueExA(key_.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]), &got);
      if (status == ERROR_MORE_DATA) continue;  // it grew in between
      if (status != ERROR_SUCCESS) return std::nullopt;
      if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw ERegistryException(Format(msg::kInvalidRegType, valueName.c_str()));
      buffer.resize(std::min<size_t>(got, size));
      return buffer.substr(0, buffer.find('\0'));
    }
  }

  std::vector<std::string> SubkeyNames() override {
    return Enumerate([this](DWORD index, char* name, DWORD* length) {
      return RegEnumKeyExA(key_.get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

  std::vector<std::string> ValueNames() override {
    return Enumerate([this](DWORD index, char* name, DWORD* length) {
      return RegEnumValueA(key_.get(), index, name, length, nullptr, nullptr, nullptr, nullptr);
    });
  }

 private:
  template <typename EnumFunction>
  std::vector<std::string> Enumerate(EnumFunction enumerate) {
    std::vector<std::string> names;
    std::string buffer(256, '\0');
    for (DWORD index = 0;;) {
      DWORD length = static_cast<DWORD>(buffer.size());
      const LONG status = enumerate(index, &buffer[0], &length);
      if (status == ERROR_MORE_DATA && buffer.size() < 65536) {
        buffer.resize(buffer.size() * 2);
        continue;
      }
      if (status != ERROR_SUCCESS) break;
      names.emplace_back(buffer.data(), length);
      ++index;
    }
    return names;
  }

  UniqueKey key_;
};

}  // namespace

std::unique_ptr<RegistryKey> Win32Platform::OpenKey(RootKey root, const std::string& path, KeyAccess access) {
  UniqueKey key;
  if (access == KeyAccess::AllAccess) {
    key = OpenWithAccess(root, path, KEY_ALL_ACCESS);
  } else {
    // Narrower rights for keys whose owners grant less than KEY_READ.
    for (REGSAM rights : {REGSAM{KEY_READ}, REGSAM{0x20009}, REGSAM{KEY_QUERY_VALUE}}) {
      key = OpenWithAccess(root, path, rights);
      if (key.valid()) break;
    }
  }
  if (!key.valid()) return nullptr;
  return std::make_unique<Win32Key>(std::move(key));
}

bool Win32Platform::KeyExists(RootKey root, const std::string& path) {
  return OpenWithAccess(root, path, 0x20009).valid();
}

}  // namespace platform
