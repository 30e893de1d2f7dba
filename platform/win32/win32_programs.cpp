// Shell links, program starts and file versions on real Windows: the shell's
// link object saved into memory and written through the checked replacement,
// CreateProcessA with the application named on its own and the machine's
// environment, and the fixed version read by our own PE reader from a
// read-only view of the file, or of the running image from its loaded resource.
#include "platform/win32/win32_platform.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <winver.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/environment_block.h"
#include "platform/win32/dll_search.h"
#include "platform/win32/handles.h"
#include "platform/win32/win32_files.h"
#include "storage/pe_image.h"

namespace platform {

void Win32Platform::CreateShellLink(const std::string& target, const std::string& arguments,
                                    const std::string& workingFolder, const std::string& linkPath) {
  ComPtr<IUnknown> object;
  const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                                           IID_IUnknown, object.outVoid());
  if (FAILED(created)) {
    std::string text = SystemErrorText(static_cast<DWORD>(created));
    if (text.empty()) text = Format(msg::kOleError, static_cast<unsigned>(created));
    throw EOleSysError(text);
  }
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistStream> persist;
  if (FAILED(object->QueryInterface(IID_IShellLinkA, link.outVoid())) ||
      FAILED(object->QueryInterface(IID_IPersistStream, persist.outVoid())))
    throw EIntfCastError(msg::kInterfaceNotSupported);
  // The setters' and the save's results do not matter: a link that cannot be
  // written is skipped.
  link->SetArguments(arguments.c_str());
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  // Saved into memory, then written through the checked replacement:
  // IPersistFile::Save would write by name wherever a link on the way leads.
  ComPtr<IStream> memory;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, memory.out())) || FAILED(persist->Save(memory.get(), TRUE))) return;
  HGLOBAL global = nullptr;
  STATSTG status = {};
  if (FAILED(GetHGlobalFromStream(memory.get(), &global)) || FAILED(memory->Stat(&status, STATFLAG_NONAME)) ||
      status.cbSize.QuadPart > GlobalSize(global))
    return;
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(global));
  if (!bytes) return;
  const std::vector<uint8_t> content(bytes, bytes + static_cast<size_t>(status.cbSize.QuadPart));
  GlobalUnlock(global);
  const bool existed = FileExists(linkPath);
  try {
    guarded_.ReplaceContent(linkPath, content);
  } catch (const Exception&) {
    return;
  }
  // What IPersistFile::Save would have told the shell, so a desktop shows it.
  SHChangeNotify(existed ? SHCNE_UPDATEITEM : SHCNE_CREATE, SHCNF_PATHA, linkPath.c_str(), nullptr);
}

namespace {

// The machine's environment block: the system's variables, without a user's
// token (CreateEnvironmentBlock: userenv.dll, loaded by its full path).
std::optional<std::u16string> MachineEnvironmentBlock() {
  using CreateFunction = BOOL(WINAPI*)(LPVOID*, HANDLE, BOOL);
  using DestroyFunction = BOOL(WINAPI*)(LPVOID);
  const HMODULE userenv = Userenv();
  if (!userenv) return std::nullopt;
  const auto create =
      reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(GetProcAddress(userenv, "CreateEnvironmentBlock")));
  const auto destroy =
      reinterpret_cast<DestroyFunction>(reinterpret_cast<void*>(GetProcAddress(userenv, "DestroyEnvironmentBlock")));
  void* block = nullptr;
  if (!create || !destroy || !create(&block, nullptr, FALSE) || !block) return std::nullopt;
  // Up to the empty string that ends it.
  const auto* units = static_cast<const char16_t*>(block);
  size_t length = 0;
  while (units[length] != u'\0' || units[length + 1] != u'\0') ++length;
  const std::u16string copy(units, length + 2);
  destroy(block);
  return copy;
}

}  // namespace

void Win32Platform::StartProgram(const std::string& path, const std::string& currentFolder,
                                 const std::vector<std::pair<std::string, std::string>>& variables) {
  // Never the user's environment, which this elevated process inherited.
  const std::optional<std::u16string> machine = MachineEnvironmentBlock();
  if (!machine) return;
  std::vector<std::pair<std::u16string, std::u16string>> wide;
  for (const auto& [name, value] : variables) wide.emplace_back(Utf16(name), Utf16(value));
  std::u16string environment = WithVariables(*machine, wide);
  // The application is named on its own, and quoted on the command line, so a
  // path with blanks ("C:\Program Files\...") cannot start C:\Program.exe.
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process = {};
  if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                     &environment[0], currentFolder.c_str(), &startup, &process)) {
    // Not waited for: only the handles are given back.
    const UniqueHandle thread(process.hThread);
    const UniqueHandle started(process.hProcess);
  }
}

std::optional<FileVersion> Win32Platform::ReadFileVersion(const std::string& path) {
  // Read with our own PE reader over a read-only view of the file: the
  // system's version functions live in a DLL outside the KnownDLLs, which an
  // elevated program must not load. Only the pages the reader touches are read.
  // Opening fails for a missing file, a folder or a wildcard name alike.
  const UniqueHandle file(
      CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::nullopt;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0 ||
      static_cast<uint64_t>(size.QuadPart) > std::numeric_limits<size_t>::max())
    return std::nullopt;
  const UniqueHandle mapping(CreateFileMappingA(file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
  if (!mapping.valid()) return std::nullopt;
  const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, 0));
  if (!view.valid()) return std::nullopt;
  return ReadFixedFileVersion(static_cast<const uint8_t*>(view.get()), static_cast<size_t>(size.QuadPart));
}

std::optional<FileVersion> Win32Platform::ReadOwnVersion() {
  // The loaded image's resource, parsed by the same reader (the system's
  // version functions live outside the KnownDLLs).
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));  // RT_VERSION
  if (!resource) return std::nullopt;
  HGLOBAL loaded = LoadResource(nullptr, resource);
  const void* block = loaded ? LockResource(loaded) : nullptr;
  if (!block) return std::nullopt;
  return ReadVersionBlock(static_cast<const uint8_t*>(block), SizeofResource(nullptr, resource));
}

}  // namespace platform
