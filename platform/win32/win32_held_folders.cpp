// The walk of every checked act, and the links it follows: a name surrogate
// on the way is followed when its owner is one a standard user cannot give,
// its target read from its reparse data and walked with the same checks.
#include "platform/win32/win32_held_folders.h"

#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <cstring>

#include "framework/paths.h"
#include "platform/win32/win32_files.h"
#include "platform/win32/win32_nt_files.h"

namespace platform {
namespace {

// Links one walk follows: past them, a loop or a chain too long to trust.
constexpr int kMaxLinks = 16;

// A folder on the way: enough to open names inside it and to read its tag.
// FILE_TRAVERSE (FILE_EXECUTE's bit) is an access the sharing check counts,
// so the missing delete sharing keeps anyone from renaming or deleting it
// while it is held; and the system's own junctions, which nobody may list,
// may still be passed through.
const OpenByName kFolderOnTheWay = {FILE_TRAVERSE | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN,
                                    FILE_DIRECTORY_FILE};
// A link met there, opened again as itself to read who made it and where it leads.
const OpenByName kLinkItself = {READ_CONTROL | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_OPEN, 0};

// Administrators, SYSTEM, TrustedInstaller.
const char* const kTrustedOwners[] = {"S-1-5-32-544", "S-1-5-18",
                                      "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"};

bool Separator(char16_t c) { return c == u'\\' || c == u'/'; }
bool Letter(char16_t c) { return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

// A name the walk takes as it is: "." and ".." would leave the folder, and a
// colon names a stream.
bool PlainName(const std::u16string& name) {
  return name != u"." && name != u".." && name.find(u':') == std::u16string::npos;
}

// A name on the way, and where the given name that led to it ends in the
// given path (to tell which one met a refused link).
struct Step {
  std::u16string name;
  size_t given;
};

// Where a walk starts, and the names it takes from there.
struct Place {
  std::u16string root;  // "C:\", "\\server\share\" or "\\?\Volume{...}\"
  std::vector<Step> names;
};

// The names of `text` from `at` on, each marked with `given`, or with where
// it ends when that is npos; empty ones (doubled or trailing separators)
// skipped.
std::vector<Step> Steps(const std::u16string& text, size_t at, size_t given) {
  std::vector<Step> steps;
  while (at < text.size()) {
    size_t end = at;
    while (end < text.size() && !Separator(text[end])) ++end;
    if (end > at) steps.push_back({text.substr(at, end - at), given == std::u16string::npos ? end : given});
    at = end + 1;
  }
  return steps;
}

// "server\share" of `text` from `at`: the root "\\server\share\" and where
// the names below it start; false when either part is missing, or when the
// server is "." or "?" (a device path, which could name any place).
bool ShareRoot(const std::u16string& text, size_t at, std::u16string& root, size_t& names) {
  size_t server = at;
  while (server < text.size() && !Separator(text[server])) ++server;
  size_t share = server + 1;
  while (share < text.size() && !Separator(text[share])) ++share;
  const std::u16string name = text.substr(at, server - at);
  if (name.empty() || name == u"." || name == u"?" || server >= text.size() || share == server + 1) return false;
  root = u"\\\\" + name + u"\\" + text.substr(server + 1, share - server - 1) + u"\\";
  names = share;
  return true;
}

bool TrustedOwner(HANDLE handle) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                      &descriptor) != ERROR_SUCCESS)
    return false;
  const UniqueLocal ownedDescriptor(descriptor);
  char* text = nullptr;
  if (!owner || !ConvertSidToStringSidA(owner, &text)) return false;
  const UniqueLocal ownedText(text);
  for (const char* trusted : kTrustedOwners)
    if (std::strcmp(text, trusted) == 0) return true;
  return false;
}

uint16_t Read16(const uint8_t* at) {
  uint16_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
uint32_t Read32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

// What a junction, mount point or symbolic link leads to: its substitute
// name, and whether that counts from the link's own folder.
struct LinkText {
  std::u16string target;
  bool relative = false;
};

// The reparse data (REPARSE_DATA_BUFFER, which MinGW does not declare): the
// tag, the data's length and a reserved word, then for a mount point the
// substitute and print names' offsets and lengths (in bytes, counted from
// the path buffer that follows them), for a symbolic link the same and its
// flags. Anything else is no link the walk follows.
std::optional<LinkText> ReadLink(HANDLE link) {
  std::vector<uint8_t> buffer(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  if (!DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, buffer.data(), static_cast<DWORD>(buffer.size()),
                       &size, nullptr))
    return std::nullopt;
  constexpr size_t kHeader = 8;
  if (size < kHeader || size > buffer.size()) return std::nullopt;
  const uint32_t tag = Read32(&buffer[0]);
  const size_t length = Read16(&buffer[4]);
  if (length > size - kHeader) return std::nullopt;
  const uint8_t* data = &buffer[kHeader];
  size_t fixed = 0;
  LinkText text;
  if (tag == IO_REPARSE_TAG_MOUNT_POINT) {
    fixed = 8;
  } else if (tag == IO_REPARSE_TAG_SYMLINK) {
    fixed = 12;
    if (length >= fixed) text.relative = (Read32(data + 8) & SYMLINK_FLAG_RELATIVE) != 0;
  } else {
    return std::nullopt;
  }
  if (length < fixed) return std::nullopt;
  const size_t offset = Read16(data), bytes = Read16(data + 2), room = length - fixed;
  if (offset > room || bytes > room - offset || bytes == 0 || bytes % 2 != 0) return std::nullopt;
  text.target.resize(bytes / 2);
  std::memcpy(&text.target[0], data + fixed + offset, bytes);
  return text;
}

// A full path as given: its root and its names.
std::optional<Place> Parse(const std::u16string& path) {
  Place place;
  size_t at = 0;
  if (path.size() >= 3 && Letter(path[0]) && path[1] == u':' && Separator(path[2])) {
    place.root = path.substr(0, 2) + u"\\";
    at = 3;
  } else if (path.size() < 3 || !Separator(path[0]) || !Separator(path[1]) || !ShareRoot(path, 2, place.root, at)) {
    return std::nullopt;
  }
  place.names = Steps(path, at, std::u16string::npos);
  for (const Step& step : place.names)
    if (!PlainName(step.name)) return std::nullopt;
  return place;
}

// Where the link at names[index] (in `folder`) leads, the names after it
// appended; nullopt when it is refused.
std::optional<Place> Follow(HANDLE folder, const Place& at, size_t index) {
  UniqueHandle link;
  FileTag tag;
  if (OpenInFolder(folder, at.names[index].name, kLinkItself, link) < 0 || !ReadTag(link.get(), tag) ||
      !tag.Surrogate() || !TrustedOwner(link.get()))
    return std::nullopt;
  const std::optional<LinkText> text = ReadLink(link.get());
  if (!text) return std::nullopt;
  const std::u16string& target = text->target;
  const size_t given = at.names[index].given;  // the names it brings stand for the link's
  Place place;
  size_t from = 0;
  if (text->relative) {
    // Against the folder the link stands in (from its volume's root when it
    // starts with a separator), never above the root.
    place.root = at.root;
    if (!Separator(target[0])) place.names.assign(at.names.begin(), at.names.begin() + index);
  } else if (target.compare(0, 4, u"\\??\\") != 0) {
    return std::nullopt;
  } else if (target.size() >= 6 && Letter(target[4]) && target[5] == u':' &&
             (target.size() == 6 || Separator(target[6]))) {
    place.root = target.substr(4, 2) + u"\\";
    from = 6;
  } else if (target.compare(4, 4, u"UNC\\") == 0) {
    if (!ShareRoot(target, 8, place.root, from)) return std::nullopt;
  } else if (target.compare(4, 7, u"Volume{") == 0) {
    from = target.find(u'\\', 4);
    if (from == std::u16string::npos) from = target.size();
    if (target[from - 1] != u'}') return std::nullopt;
    place.root = u"\\\\?\\" + target.substr(4, from - 4) + u"\\";
  } else {
    return std::nullopt;
  }
  for (Step& step : Steps(target, from, given)) {
    if (text->relative && step.name == u".") continue;
    if (text->relative && step.name == u"..") {
      if (place.names.empty()) return std::nullopt;
      place.names.pop_back();
      continue;
    }
    if (!PlainName(step.name)) return std::nullopt;
    place.names.push_back(std::move(step));
  }
  place.names.insert(place.names.end(), at.names.begin() + index + 1, at.names.end());
  return place;
}

}  // namespace

HeldFolders::Result HeldFolders::Hold(const std::string& path) {
  path_ = path;
  given_ = Utf16(path);
  std::optional<Place> place;
  if (IsFullPath(path)) place = Parse(given_);
  if (!place || place->names.empty()) return Result::Refused;
  const auto fail = [this](DWORD error) {
    error_ = error;
    return Result::Failed;
  };
  int links = 0;
  for (bool followed = true; followed;) {
    followed = false;
    // The volume root, by its path: the only one the walk opens so.
    UniqueHandle root(CreateFileW(Wide(place->root), FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    FileTag tag;
    if (!root.valid() || !ReadTag(root.get(), tag)) return fail(GetLastError());
    if (tag.Surrogate()) return Result::Refused;
    if (!tag.Folder()) return fail(ERROR_PATH_NOT_FOUND);
    folders_.push_back(std::move(root));
    for (size_t i = 0; i + 1 < place->names.size(); ++i) {
      UniqueHandle level;
      const NTSTATUS status = OpenInFolder(Folder(), place->names[i].name, kFolderOnTheWay, level);
      if (status == kStatusNameNotFound || status == kStatusPathNotFound || status == kStatusNotADirectory)
        return fail(ERROR_PATH_NOT_FOUND);
      if (status < 0) return fail(DosError(status));
      if (!ReadTag(level.get(), tag)) return fail(GetLastError());
      if (tag.Surrogate()) {
        std::optional<Place> next;
        if (++links <= kMaxLinks) next = Follow(Folder(), *place, i);
        if (!next) {
          refusedAt_ = place->names[i].given;
          return Result::Refused;
        }
        // Held while the walk goes on at its target: nobody can swap it.
        folders_.push_back(std::move(level));
        place = std::move(next);
        followed = true;
        break;
      }
      folders_.push_back(std::move(level));
    }
  }
  name_ = place->names.back().name;
  return Result::Held;
}

std::optional<std::string> HeldFolders::RefusedAt() const {
  if (!refusedAt_) return std::nullopt;
  return Ansi(given_.substr(0, *refusedAt_)).value_or(path_);
}

}  // namespace platform
