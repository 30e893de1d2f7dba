// Writes and deletes where another user may have put a junction, a symbolic
// link or a mount point: the folders from the volume root down are opened one
// by one without following a reparse point, their tags read from the handles,
// and held open without delete sharing until the act is done; what is made,
// opened or deleted at the end is checked through its own handle to lie in
// the folder that was checked.
#include "platform/win32/win32_files.h"

#include <algorithm>
#include <vector>

#include "framework/errors.h"
#include "platform/paths.h"
#include "platform/win32/win32_platform.h"

namespace platform {
namespace {

constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The attributes of an open file or folder, and whether it is a name
// surrogate (a junction, a mount point, a symbolic link). A cloud
// placeholder is a reparse point too, but none. A reparse point whose tag
// cannot be read counts as one.
bool ReadAttributes(HANDLE handle, DWORD& attributes, bool& surrogate) {
  FILE_ATTRIBUTE_TAG_INFO tag = {};
  if (GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) {
    attributes = tag.FileAttributes;
    surrogate = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
    return true;
  }
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(handle, &information)) return false;
  attributes = information.dwFileAttributes;
  surrogate = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
  return true;
}

// Where the handle's file is now, as the system resolved it: without the
// "\\?\" (or "\\?\UNC\") prefix that GetFinalPathNameByHandle adds and without
// a trailing separator, so two such paths compare. Empty when unknown (some
// network file systems cannot normalise: the name as opened then serves).
// UTF-16 in a u16string: a std::wstring would link the C++ library's
// whole wide string in.
std::u16string FinalPath(HANDLE handle) {
  for (const DWORD form : {DWORD{FILE_NAME_NORMALIZED}, DWORD{FILE_NAME_OPENED}}) {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
      const DWORD length = GetFinalPathNameByHandleW(handle, reinterpret_cast<wchar_t*>(&path[0]),
                                                     static_cast<DWORD>(path.size()), form | VOLUME_NAME_DOS);
      if (length == 0) {
        path.clear();
        break;
      }
      if (length < path.size()) {
        path.resize(length);
        break;
      }
      path.resize(length + 1);
    }
    if (path.empty()) continue;
    if (path.compare(0, 8, u"\\\\?\\UNC\\") == 0) {
      path = u"\\\\" + path.substr(8);
    } else if (path.compare(0, 4, u"\\\\?\\") == 0) {
      path = path.substr(4);
    }
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    return path;
  }
  return std::u16string();
}

bool SamePath(const std::u16string& a, const std::u16string& b) {
  return !a.empty() && CompareStringOrdinal(reinterpret_cast<const wchar_t*>(a.data()), static_cast<int>(a.size()),
                                            reinterpret_cast<const wchar_t*>(b.data()), static_cast<int>(b.size()),
                                            TRUE) == CSTR_EQUAL;
}

// The folders from a target's volume root down to its folder, each checked
// to be no name surrogate and held open without delete sharing: nobody can
// rename, delete or replace one of them until this goes. (A folder that is
// not empty cannot be made a junction or mount point either; only the last
// one may be empty, hence the checks of what is made or opened in it.)
class HeldFolders {
 public:
  enum class Result { Held, Refused, Failed };

  // `path`: a full path of a file or folder below its volume root.
  Result Hold(const std::string& path) {
    if (!IsFullPath(path)) return Result::Refused;
    std::string root;
    size_t at = 0;
    if (path[1] == ':') {
      root = path.substr(0, 3);
      at = 3;
    } else {
      // "\\server\share\": the share's root, below which the walk starts.
      const size_t server = path.find_first_of("\\/", 2);
      const size_t share = server == std::string::npos ? server : path.find_first_of("\\/", server + 1);
      if (server == std::string::npos || server == 2 || share == server + 1) return Result::Refused;
      root = (share == std::string::npos ? path : path.substr(0, share)) + "\\";
      at = share == std::string::npos ? path.size() : share + 1;
    }
    std::vector<std::string> names;
    while (at < path.size()) {
      size_t end = path.find_first_of("\\/", at);
      if (end == std::string::npos) end = path.size();
      const std::string name = path.substr(at, end - at);
      at = end + 1;
      if (name.empty()) continue;
      if (name == "." || name == "..") return Result::Refused;
      names.push_back(name);
    }
    if (names.empty()) return Result::Refused;

    folder_ = root;
    std::u16string above;  // the final path of the level above, as held
    for (size_t i = 0; i < names.size(); ++i) {
      UniqueHandle held(CreateFileA(folder_.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, kNoFollow, nullptr));
      if (!held.valid()) {
        error_ = GetLastError();
        return Result::Failed;
      }
      DWORD attributes = 0;
      bool surrogate = false;
      if (!ReadAttributes(held.get(), attributes, surrogate)) {
        error_ = GetLastError();
        return Result::Failed;
      }
      if (surrogate) return Result::Refused;
      if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error_ = ERROR_PATH_NOT_FOUND;
        return Result::Failed;
      }
      // Found inside the level above as that one was checked: emptied since
      // (what it held renamed away), that one could have become a mount
      // point, and the open by path would have led elsewhere.
      const std::u16string final = FinalPath(held.get());
      if (i > 0 && !SamePath(final.substr(0, final.find_last_of(u'\\')), above)) return Result::Refused;
      above = final;
      if (i + 1 == names.size()) folderFinal_ = final;
      folders_.push_back(std::move(held));
      if (i + 1 < names.size()) folder_ += names[i] + "\\";
    }
    target_ = folder_ + names.back();
    return Result::Held;
  }

  // The target's folder, with its trailing separator, and the target.
  const std::string& Folder() const { return folder_; }
  const std::string& Target() const { return target_; }
  // Why the walk failed when it was not refused.
  DWORD Error() const { return error_; }

  // Whether what `file` names lies in the target's folder, as checked: not
  // elsewhere through a mount point made on that folder since.
  bool Contains(HANDLE file) const {
    const std::u16string path = FinalPath(file);
    const size_t separator = path.find_last_of(u'\\');
    return separator != std::u16string::npos && SamePath(path.substr(0, separator), folderFinal_);
  }

 private:
  std::vector<UniqueHandle> folders_;
  std::string folder_, target_;
  std::u16string folderFinal_;
  DWORD error_ = ERROR_ACCESS_DENIED;
};

// The target opened without following a link there, with `access`; checked
// to be no name surrogate, a folder or not as asked, and to lie in the held
// folder. Invalid when it cannot be opened or is refused (`refused` says which).
UniqueHandle OpenChecked(const HeldFolders& held, DWORD access, DWORD share, bool folder, bool& refused) {
  refused = false;
  UniqueHandle target(CreateFileA(held.Target().c_str(), access, share, nullptr, OPEN_EXISTING,
                                  folder ? kNoFollow : FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!target.valid()) return target;
  DWORD attributes = 0;
  bool surrogate = false;
  if (!ReadAttributes(target.get(), attributes, surrogate) || surrogate ||
      ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) != folder || !held.Contains(target.get())) {
    refused = true;
    target.reset();
  }
  return target;
}

}  // namespace

bool Win32GuardedFiles::CreateDirectory(const std::string& path, Protection) {
  HeldFolders held;
  if (held.Hold(path) != HeldFolders::Result::Held) return false;
  if (!CreateDirectoryA(held.Target().c_str(), nullptr)) return false;
  // Made where it was checked: the empty folder it went into may have become
  // a mount point in between. One made elsewhere is deleted again, through
  // its own handle.
  const UniqueHandle made(CreateFileA(held.Target().c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                      nullptr, OPEN_EXISTING, kNoFollow, nullptr));
  if (!made.valid()) return false;
  if (held.Contains(made.get())) return true;
  DeleteThroughHandle(made.get());
  return false;
}

bool Win32GuardedFiles::Delete(const std::string& path, bool folder) {
  HeldFolders held;
  if (held.Hold(path) != HeldFolders::Result::Held) return false;
  bool refused = false;
  // Deleted through this handle, which names the checked file or folder
  // itself (never a link's target), once the last handle to it closes.
  const UniqueHandle target =
      OpenChecked(held, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, folder, refused);
  if (!target.valid()) return false;
  return DeleteThroughHandle(target.get());
}

bool Win32GuardedFiles::RemoveDirectory(const std::string& path) { return Delete(path, true); }

bool Win32GuardedFiles::DeleteFile(const std::string& path) { return Delete(path, false); }

MoveResult Win32GuardedFiles::MoveFile(const std::string& from, const std::string& to) {
  return MoveFileOld(from, to) ? MoveResult::Moved : MoveResult::Failed;
}

std::optional<std::string> Win32GuardedFiles::RefusedLink(const std::string&) { return std::nullopt; }

bool Win32GuardedFiles::IsCloudPlaceholder(const std::string&) { return false; }

bool Win32GuardedFiles::MoveFileOld(const std::string& from, const std::string& to) {
  // The new name in the folder that is held, which nobody can swap: no
  // second walk to trust.
  const size_t separator = to.find_last_of("\\/");
  if (separator == std::string::npos || to.compare(0, separator + 1, from, 0, from.find_last_of("\\/") + 1) != 0)
    return false;
  HeldFolders held;
  if (held.Hold(from) != HeldFolders::Result::Held) return false;
  bool refused = false;
  const UniqueHandle source = OpenChecked(held, DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll, false, refused);
  if (!source.valid()) return false;
  // Renamed through this handle: the checked file itself, never a link's target.
  const std::u16string name = Utf16(held.Folder() + to.substr(separator + 1));
  if (name.empty()) return false;
  const size_t bytes = name.size() * sizeof(char16_t);
  std::vector<uint8_t> buffer(sizeof(FILE_RENAME_INFO) + bytes);
  auto* rename = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  rename->ReplaceIfExists = FALSE;
  rename->RootDirectory = nullptr;
  rename->FileNameLength = static_cast<DWORD>(bytes);
  std::copy(name.begin(), name.end(), reinterpret_cast<char16_t*>(rename->FileName));
  return SetFileInformationByHandle(source.get(), FileRenameInfo, rename, static_cast<DWORD>(buffer.size())) != 0;
}

std::optional<std::vector<uint8_t>> Win32GuardedFiles::ReadFile(const std::string& path) {
  HeldFolders held;
  switch (held.Hold(path)) {
    case HeldFolders::Result::Held:
      break;
    case HeldFolders::Result::Refused:
      return std::nullopt;
    case HeldFolders::Result::Failed:
      ThrowOpen(path, held.Error());
  }
  bool refused = false;
  UniqueHandle file = OpenChecked(held, GENERIC_READ, FILE_SHARE_READ, false, refused);
  if (!file.valid()) {
    if (refused) return std::nullopt;
    ThrowOpen(path, GetLastError());
  }
  // A hard link carries no tag: its other names are counted instead.
  BY_HANDLE_FILE_INFORMATION information = {};
  if (!GetFileInformationByHandle(file.get(), &information) || information.nNumberOfLinks > 1) return std::nullopt;
  Win32FileStream stream(file.release());
  return ReadAll(stream);
}

std::unique_ptr<TReplacementFile> Win32GuardedFiles::CreateReplacement(const std::string& path, Protection) {
  auto held = std::make_shared<HeldFolders>();
  switch (held->Hold(path)) {
    case HeldFolders::Result::Held:
      break;
    case HeldFolders::Result::Refused:
      ThrowCreate(path, ERROR_ACCESS_DENIED);
    case HeldFolders::Result::Failed:
      ThrowCreate(path, held->Error());
  }
  // A link at the target itself would be replaced by the final move, not
  // written through; it is refused all the same.
  {
    const UniqueHandle existing(CreateFileA(held->Target().c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                            OPEN_EXISTING, kNoFollow, nullptr));
    DWORD attributes = 0;
    bool surrogate = false;
    if (existing.valid() && (!ReadAttributes(existing.get(), attributes, surrogate) || surrogate))
      ThrowCreate(path, ERROR_ACCESS_DENIED);
  }
  // The new file is checked through its handle before anything is written:
  // one that landed elsewhere is deleted. The folders stay held until the
  // final move, and a folder holding the new file can no longer be made a
  // mount point.
  const std::shared_ptr<const HeldFolders> hold = held;
  return MakeReplacement(
      held->Target(), held->Folder(), [hold](HANDLE file) { return hold->Contains(file); }, hold);
}

}  // namespace platform
