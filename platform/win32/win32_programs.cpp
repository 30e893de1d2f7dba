// Shell links, program starts and file versions on real Windows: the shell's
// link object, CreateProcessA with the application named on its own, and the
// fixed version read by our own PE reader from a read-only view of the file.
#include "platform/win32/win32_platform.h"

#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <limits>
#include <vector>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/win32/handles.h"
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
  ComPtr<IPersistFile> file;
  if (FAILED(object->QueryInterface(IID_IShellLinkA, link.outVoid())) ||
      FAILED(object->QueryInterface(IID_IPersistFile, file.outVoid())))
    throw EIntfCastError(msg::kInterfaceNotSupported);
  // The setters' and the save's results do not matter: a link that cannot be
  // written is skipped.
  link->SetArguments(arguments.c_str());
  link->SetPath(target.c_str());
  link->SetWorkingDirectory(workingFolder.c_str());
  const int length = MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, nullptr, 0);
  if (length <= 0) return;
  // A vector, not a std::wstring: the wide string's run-time code would be linked in for this one buffer.
  std::vector<wchar_t> wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide.data(), length);
  file->Save(wide.data(), FALSE);
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
  if (CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, currentFolder.c_str(),
                     &startup, &process)) {
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

}  // namespace platform
