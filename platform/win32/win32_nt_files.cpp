// ntdll's file functions, looked up at run time (ntdll is a KnownDLL, always
// loaded; looking them up keeps them out of the import table), and the acts
// they make by one name inside a held folder.
#include "platform/win32/win32_nt_files.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace platform {
namespace {

constexpr NTSTATUS kStatusNotImplemented = static_cast<NTSTATUS>(0xC0000002);
constexpr NTSTATUS kStatusNameInvalid = static_cast<NTSTATUS>(0xC0000033);

struct NtFunctions {
  using CreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
  using SetInformationFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
  using ToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);
  CreateFileFunction createFile = nullptr;
  SetInformationFunction setInformation = nullptr;
  ToDosErrorFunction toDosError = nullptr;
};

template <typename Function>
void LookUp(HMODULE module, const char* name, Function& function) {
  function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

const NtFunctions& Nt() {
  static const NtFunctions functions = [] {
    NtFunctions found;
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    if (ntdll) {
      LookUp(ntdll, "NtCreateFile", found.createFile);
      LookUp(ntdll, "NtSetInformationFile", found.setInformation);
      LookUp(ntdll, "RtlNtStatusToDosError", found.toDosError);
    }
    return found;
  }();
  return functions;
}

// A counted string over `name`, which must outlive it.
UNICODE_STRING Counted(const std::u16string& name) {
  UNICODE_STRING counted;
  counted.Length = static_cast<USHORT>(name.size() * sizeof(char16_t));
  counted.MaximumLength = counted.Length;
  counted.Buffer = reinterpret_cast<PWSTR>(const_cast<char16_t*>(name.data()));
  return counted;
}

// One name: no separator, no stream, never "." or "..", and short enough to count.
bool OneName(const std::u16string& name) {
  return !name.empty() && name.size() < 32768 && name != u"." && name != u".." &&
         name.find_first_of(u"\\/:") == std::u16string::npos;
}

}  // namespace

NTSTATUS OpenInFolder(HANDLE folder, const std::u16string& name, const OpenByName& how, UniqueHandle& opened) {
  opened.reset();
  if (!Nt().createFile) return kStatusNotImplemented;
  // A name with a separator would be a path again, and ".." leaves the folder.
  if (!OneName(name)) return kStatusNameInvalid;
  UNICODE_STRING counted = Counted(name);
  OBJECT_ATTRIBUTES attributes = {};
  attributes.Length = sizeof attributes;
  attributes.RootDirectory = folder;
  attributes.ObjectName = &counted;
  attributes.Attributes = OBJ_CASE_INSENSITIVE;
  attributes.SecurityDescriptor = how.security;
  IO_STATUS_BLOCK status = {};
  HANDLE handle = nullptr;
  const NTSTATUS result = Nt().createFile(
      &handle, how.access | SYNCHRONIZE, &attributes, &status, nullptr, FILE_ATTRIBUTE_NORMAL, how.share,
      how.disposition, how.options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
  if (result >= 0) opened.reset(handle);
  return result;
}

NTSTATUS RenameInFolder(HANDLE file, HANDLE folder, const std::u16string& name, bool replace) {
  if (!Nt().setInformation) return kStatusNotImplemented;
  if (!OneName(name)) return kStatusNameInvalid;
  // FILE_RENAME_INFORMATION, laid out as FILE_RENAME_INFO is. Given to
  // NtSetInformationFile itself: SetFileInformationByHandle in some versions
  // takes the name for a path of the current folder's.
  const size_t bytes = name.size() * sizeof(char16_t);
  std::vector<uint8_t> buffer(std::max(sizeof(FILE_RENAME_INFO), offsetof(FILE_RENAME_INFO, FileName) + bytes));
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = replace ? TRUE : FALSE;
  rename->RootDirectory = folder;
  rename->FileNameLength = static_cast<DWORD>(bytes);
  std::copy(name.begin(), name.end(),
            reinterpret_cast<char16_t*>(buffer.data() + offsetof(FILE_RENAME_INFO, FileName)));
  IO_STATUS_BLOCK status = {};
  return Nt().setInformation(file, &status, buffer.data(), static_cast<ULONG>(buffer.size()), FileRenameInformation);
}

DWORD DosError(NTSTATUS status) {
  if (!Nt().toDosError) return ERROR_ACCESS_DENIED;
  const DWORD error = Nt().toDosError(status);
  return error != 0 ? error : ERROR_ACCESS_DENIED;
}

bool ReadTag(HANDLE handle, FileTag& tag) {
  FILE_ATTRIBUTE_TAG_INFO information = {};
  if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information)) {
    tag.attributes = information.FileAttributes;
    tag.tag = information.ReparseTag;
    return true;
  }
  // Some file systems cannot give the tag: a reparse point there counts as
  // a name surrogate, and is judged as one.
  BY_HANDLE_FILE_INFORMATION fallback = {};
  if (!GetFileInformationByHandle(handle, &fallback)) return false;
  tag.attributes = fallback.dwFileAttributes;
  tag.tag = 0xFFFFFFFF;
  return true;
}

}  // namespace platform
