// Windows operations behind the platform interface. Every handle, key and COM
// reference is held by a small owner so that errors leave nothing open.
#include "platform/win32/win32_platform.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <limits>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/win32/message_dialog.h"
#include "storage/pe_image.h"

namespace platform {
namespace {

class UniqueKey {
 public:
  explicit UniqueKey(HKEY key = nullptr) : key_(key) {}
  ~UniqueKey() {
    if (key_) RegCloseKey(key_);
  }
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_;
};

class UniqueHandle {
 public:
  explicit UniqueHandle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  void reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }

 private:
  HANDLE handle_;
};

class UniqueFind {
 public:
  explicit UniqueFind(HANDLE handle) : handle_(handle) {}
  ~UniqueFind() {
    if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
  }
  UniqueFind(const UniqueFind&) = delete;
  UniqueFind& operator=(const UniqueFind&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

class UniqueView {
 public:
  explicit UniqueView(const void* view) : view_(view) {}
  ~UniqueView() {
    if (view_) UnmapViewOfFile(view_);
  }
  UniqueView(const UniqueView&) = delete;
  UniqueView& operator=(const UniqueView&) = delete;
  const uint8_t* get() const { return static_cast<const uint8_t*>(view_); }

 private:
  const void* view_;
};

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (ptr_) ptr_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return ptr_; }
  T* get() const { return ptr_; }
  void** out() { return reinterpret_cast<void**>(&ptr_); }

 private:
  T* ptr_ = nullptr;
};

HKEY RootHandle(RootKey root) { return root == RootKey::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// A leading "\" counts from the root, which is where RegOpenKeyExA starts anyway.
std::string SubkeyPath(const std::string& path) { return !path.empty() && path[0] == '\\' ? path.substr(1) : path; }

HKEY OpenWithAccess(RootKey root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  // The 32-bit view whatever this build's word size.
  if (RegOpenKeyExA(RootHandle(root), SubkeyPath(path).c_str(), 0, access | KEY_WOW64_32KEY, &key) != ERROR_SUCCESS)
    return nullptr;
  return key;
}

class Win32Key : public RegistryKey {
 public:
  explicit Win32Key(HKEY key) : key_(key) {}

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

[[noreturn]] void ThrowCreate(const std::string& path, DWORD error) {
  throw EFCreateError(Format(msg::kFCreateError, FullPath(path).c_str(), SystemErrorText(error).c_str()));
}
[[noreturn]] void ThrowOpen(const std::string& path, DWORD error) {
  throw EFOpenError(Format(msg::kFOpenError, FullPath(path).c_str(), SystemErrorText(error).c_str()));
}

class Win32FileStream : public TStream {
 public:
  explicit Win32FileStream(HANDLE file) : file_(file) {}

  int64_t Size() const override {
    LARGE_INTEGER size;
    return GetFileSizeEx(file_.get(), &size) ? size.QuadPart : 0;
  }
  void SetSize(int64_t size) override {
    const int64_t position = Position();
    LARGE_INTEGER to;
    to.QuadPart = size;
    if (!SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get()))
      throw EStreamError(msg::kStreamWriteError);
    SetPosition(std::min(position, size));
  }
  int64_t Position() const override {
    LARGE_INTEGER zero, position;
    zero.QuadPart = 0;
    return SetFilePointerEx(file_.get(), zero, &position, FILE_CURRENT) ? position.QuadPart : 0;
  }
  void SetPosition(int64_t position) override {
    LARGE_INTEGER to;
    to.QuadPart = position;
    SetFilePointerEx(file_.get(), to, nullptr, FILE_BEGIN);
  }
  size_t Read(void* buffer, size_t count) override {
    size_t total = 0;
    while (total < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
      DWORD got = 0;
      if (!::ReadFile(file_.get(), static_cast<char*>(buffer) + total, chunk, &got, nullptr) || got == 0) break;
      total += got;
    }
    return total;
  }
  size_t Write(const void* buffer, size_t count) override {
    size_t total = 0;
    while (total < count) {
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - total, 1u << 30));
      DWORD put = 0;
      if (!::WriteFile(file_.get(), static_cast<const char*>(buffer) + total, chunk, &put, nullptr) || put == 0) break;
      total += put;
    }
    return total;
  }

 private:
  UniqueHandle file_;
};

std::string FolderOf(const std::string& path) {
  const size_t separator = path.find_last_of("\\/");
  if (separator == std::string::npos) return ".";
  if (separator == 0 || (separator == 2 && path[1] == ':')) return path.substr(0, separator + 1);
  return path.substr(0, separator);
}

std::string TrimLineBreak(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

}  // namespace

std::string SystemErrorText(DWORD code) {
  char* text = nullptr;
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0 || !text) return std::string();
  std::string result(text, length);
  LocalFree(text);
  return TrimLineBreak(result);
}

std::string FullPath(const std::string& path) {
  const DWORD needed = GetFullPathNameA(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::string buffer(needed, '\0');
  const DWORD length = GetFullPathNameA(path.c_str(), needed, &buffer[0], nullptr);
  if (length == 0 || length >= needed) return path;
  buffer.resize(length);
  return buffer;
}

ComInitialization::ComInitialization() { succeeded_ = SUCCEEDED(CoInitialize(nullptr)); }

ComInitialization::~ComInitialization() {
  if (succeeded_) CoUninitialize();
}

// --- Registry ---

std::unique_ptr<RegistryKey> Win32Platform::OpenKey(RootKey root, const std::string& path, KeyAccess access) {
  HKEY key = nullptr;
  if (access == KeyAccess::AllAccess) {
    key = OpenWithAccess(root, path, KEY_ALL_ACCESS);
  } else {
    // Narrower rights for keys whose owners grant less than KEY_READ.
    for (REGSAM rights : {REGSAM{KEY_READ}, REGSAM{0x20009}, REGSAM{KEY_QUERY_VALUE}}) {
      key = OpenWithAccess(root, path, rights);
      if (key) break;
    }
  }
  if (!key) return nullptr;
  return std::make_unique<Win32Key>(key);
}

bool Win32Platform::KeyExists(RootKey root, const std::string& path) {
  UniqueKey key(OpenWithAccess(root, path, 0x20009));
  return key.get() != nullptr;
}

// --- Folders and environment ---

std::string Win32Platform::WindowsDirectory() {
  const UINT needed = GetWindowsDirectoryA(nullptr, 0);
  std::string buffer(needed + 1, '\0');
  GetWindowsDirectoryA(&buffer[0], needed + 1);
  buffer.resize(buffer.find('\0'));
  if (buffer.size() > 3 && buffer.back() == '\\') buffer.pop_back();
  return buffer;
}

std::optional<std::string> Win32Platform::EnvironmentVariable(const std::string& name) {
  SetLastError(ERROR_SUCCESS);
  DWORD needed = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  for (;;) {
    if (needed == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::string buffer(needed, '\0');
    const DWORD length = GetEnvironmentVariableA(name.c_str(), &buffer[0], needed);
    if (length < needed) {
      buffer.resize(length);
      return buffer;
    }
    needed = length;  // it grew in between
  }
}

std::string Win32Platform::DesktopDirectory() {
  char buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathA(nullptr, buffer, CSIDL_DESKTOPDIRECTORY, FALSE)) return std::string();
  return buffer;
}

std::string Win32Platform::ModuleFileName() {
  std::string buffer(MAX_PATH, '\0');
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length < buffer.size()) {
      buffer.resize(length);
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// --- Files and folders ---

bool Win32Platform::FileExists(const std::string& path) {
  // FindFirstFileA would match a wildcard against other files.
  if (path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA data;
  const HANDLE handle = FindFirstFileA(path.c_str(), &data);
  UniqueFind find(handle);
  return find.valid() && !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::DirectoryExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Win32Platform::CreateDirectory(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool Win32Platform::RemoveDirectory(const std::string& path) { return RemoveDirectoryA(path.c_str()) != 0; }

bool Win32Platform::DeleteFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

std::unique_ptr<TStream> Win32Platform::CreateFileStream(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowCreate(path, GetLastError());
  return std::make_unique<Win32FileStream>(file);
}

std::unique_ptr<TStream> Win32Platform::OpenFileStream(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowOpen(path, GetLastError());
  return std::make_unique<Win32FileStream>(file);
}

std::vector<uint8_t> Win32Platform::ReadFile(const std::string& path) {
  auto stream = OpenFileStream(path);
  return ReadAll(*stream);
}

std::unique_ptr<TStream> Win32Platform::CreateNewFileStream(const std::string& path) {
  const HANDLE file =
      CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) ThrowCreate(path, GetLastError());
  return std::make_unique<Win32FileStream>(file);
}

std::unique_ptr<TReplacementFile> Win32Platform::CreateReplacement(const std::string& path) {
  // Beside the target, so the final move is a rename on one volume, and the
  // new file takes the folder's permissions as a file made there would.
  const std::string folder = FolderOf(path);
  const std::string separator = folder.back() == '\\' || folder.back() == '/' ? "" : "\\";
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = folder + separator + "~ins" + UnpredictableName() + ".tmp";
    file = CreateFileA(temporary.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    const DWORD error = GetLastError();
    if ((error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) || attempt >= 8) ThrowCreate(path, error);
  }
  return std::make_unique<TReplacementFile>(
      std::make_unique<Win32FileStream>(file),
      [file, temporary, path](std::unique_ptr<TStream> stream) {
        const bool flushed = FlushFileBuffers(file) != 0;
        const DWORD flushError = GetLastError();
        stream.reset();
        if (!flushed) ThrowCreate(path, flushError);
        if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
          ThrowCreate(path, GetLastError());
      },
      [temporary] { DeleteFileA(temporary.c_str()); });
}

bool Win32Platform::MoveFile(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_WRITE_THROUGH) != 0;
}

bool Win32Platform::DeleteFileAtRestart(const std::string& path) {
  return MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) != 0;
}

// --- Shell links, programs, versions ---

void Win32Platform::CreateShellLink(const std::string& target, const std::string& arguments,
                                    const std::string& workingFolder, const std::string& linkPath) {
  ComPtr<IUnknown> object;
  const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                           IID_IUnknown, object.out());
  if (FAILED(created)) {
    std::string text = SystemErrorText(static_cast<DWORD>(created));
    if (text.empty()) text = Format(msg::kOleError, static_cast<unsigned>(created));
    throw EOleSysError(text);
  }
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  if (FAILED(object->QueryInterface(IID_IShellLinkA, link.out())) ||
      FAILED(object->QueryInterface(IID_IPersistFile, file.out())))
    throw EIntfCastError(msg::kInterfaceNotSupported);
  // The setters' and the save's results do not matter: a link that cannot be
  // written is skipped.
  link->SetArguments(arguments.c_str());
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  const int length = MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
  if (length <= 0) return;
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, &wide[0], length);
  file->Save(wide.c_str(), FALSE);
}

void Win32Platform::StartProgram(const std::string& path, const std::string& currentFolder) {
  // The application is named on its own, and quoted on the command line, so a
  // path with blanks ("C:\Program Files\...") cannot start C:\Program.exe.
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                     currentFolder.empty() ? nullptr : currentFolder.c_str(), &startup, &process)) {
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
}

std::optional<FileVersion> Win32Platform::ReadFileVersion(const std::string& path) {
  // Read with our own PE reader over a read-only view of the file: the
  // system's version functions live in a DLL outside the KnownDLLs, which an
  // elevated program must not load. Only the pages the reader touches are read.
  if (!FileExists(path)) return std::nullopt;
  UniqueHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max())
    return std::nullopt;
  UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) return std::nullopt;
  UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.get()) return std::nullopt;
  const std::optional<PeFileVersion> version = ReadFixedFileVersion(view.get(), static_cast<size_t>(size.QuadPart));
  if (!version) return std::nullopt;
  return FileVersion{version->major, version->minor, version->release, version->build};
}

// --- Dialogs, messages, restart, resources ---

int Win32Platform::MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) {
  if (terminating_) return kIdCancel;
  return ShowMessageDialog(mainWindow_, text, type, buttons);
}

void Win32Platform::ProcessMessages() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // The main loop must still see it, or the application never ends.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

void Win32Platform::RestartWindows() {
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    UniqueHandle owner(token);
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (LookupPrivilegeValueA(nullptr, SE_SHUTDOWN_NAME, &privileges.Privileges[0].Luid))
      AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  }
  ExitWindowsEx(EWX_REBOOT,
                SHTDN_REASON_MAJOR_APPLICATION | SHTDN_REASON_MINOR_INSTALLATION | SHTDN_REASON_FLAG_PLANNED);
}

std::optional<ByteRange> Win32Platform::FindResource(const std::string& name) {
  HRSRC resource = FindResourceA(nullptr, name.c_str(), MAKEINTRESOURCEA(10));  // RT_RCDATA
  if (!resource) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) throw EResNotFound(Format(msg::kResNotFound, name.c_str()));
  return ByteRange{static_cast<const uint8_t*>(data), SizeofResource(nullptr, resource)};
}

}  // namespace platform
