// The host machine's shared state: names folded as Windows folds them, Windows
// paths parsed and found on the host without regard to case, the file locks
// and open streams that refuse an operation, and the disk's free space.
#include "platform/host/host_machine.h"

#include <algorithm>
#include <cctype>
#include <system_error>

#include "framework/text_case.h"

namespace fs = std::filesystem;

namespace platform {
namespace host_detail {

namespace {

bool InvalidNameChar(char c) {
  return static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

}  // namespace

// --- Paths ---

std::string WinPath::Full() const {
  std::string full{drive, ':', '\\'};
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) full += '\\';
    full += parts[i];
  }
  if (trailingSeparator && !parts.empty()) full += '\\';
  return full;
}

std::string WinPath::Key() const {
  WinPath copy = *this;
  copy.trailingSeparator = false;
  return Fold(copy.Full());
}

WinPath WinPath::Parent() const {
  WinPath parent = *this;
  if (!parent.parts.empty()) parent.parts.pop_back();
  parent.trailingSeparator = false;
  return parent;
}

std::optional<WinPath> ParsePath(const std::string& input) {
  std::string path = input;
  std::replace(path.begin(), path.end(), '/', '\\');
  if (path.empty()) return std::nullopt;
  WinPath result;
  size_t pos = 0;
  if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
    result.drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
    pos = 2;
  } else if (path.compare(0, 2, "\\\\") == 0) {
    return std::nullopt;
  }
  result.trailingSeparator = path.back() == '\\';
  while (pos < path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(pos, end - pos);
    pos = end + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!result.parts.empty()) result.parts.pop_back();
      continue;
    }
    if (std::any_of(part.begin(), part.end(), InvalidNameChar)) return std::nullopt;
    result.parts.push_back(part);
  }
  return result;
}

// --- Locks and open streams ---

FileLock Machine::LockOf(const WinPath& path) const {
  const auto it = locks.find(path.Key());
  return it == locks.end() ? FileLock::None : it->second;
}

OpenCount Machine::OpenOf(const WinPath& path) const {
  const auto it = open.find(path.Key());
  return it == open.end() ? OpenCount{} : it->second;
}

const char* Machine::WriteRefusal(const WinPath& path) const {
  const FileLock lock = LockOf(path);
  const OpenCount count = OpenOf(path);
  if (lock == FileLock::Exclusive || lock == FileLock::Running || count.exclusive || count.readers)
    return reason::kSharingViolation;
  if (lock == FileLock::ReadOnly) return reason::kAccessDenied;
  return nullptr;
}

const char* Machine::ReadRefusal(const WinPath& path) const {
  if (LockOf(path) == FileLock::Exclusive || OpenOf(path).exclusive) return reason::kSharingViolation;
  return nullptr;
}

// --- Files on the host ---

std::string Machine::Resolve(const WinPath& path) const {
  fs::path host = fs::path(root) / std::string(1, path.drive);
  WinPath walked = path;
  walked.parts.clear();
  walked.trailingSeparator = false;
  for (const std::string& part : path.parts) {
    host = Entry(host.string(), part);
    walked.parts.push_back(part);
    // A mount point set on a folder leads elsewhere, as a link does.
    const auto it = reparse.find(walked.Key());
    if (it != reparse.end() && it->second.onFolder) {
      const std::optional<WinPath> target = ParsePath(it->second.target);
      if (target && target->Key() != walked.Key()) host = Resolve(*target);
    }
  }
  return host.string();
}

std::string Machine::Entry(const std::string& folderHost, const std::string& name) {
  std::error_code error;
  if (fs::is_directory(folderHost, error)) {
    for (const auto& entry : fs::directory_iterator(folderHost, error)) {
      if (SameName(entry.path().filename().string(), name)) return entry.path().string();
    }
  }
  return (fs::path(folderHost) / name).string();
}

fs::file_status Machine::Status(const WinPath& path) const {
  std::error_code error;
  return fs::status(Resolve(path), error);
}

bool Machine::IsFile(const WinPath& path) const { return !path.trailingSeparator && fs::is_regular_file(Status(path)); }

bool Machine::IsFolder(const WinPath& path) const { return fs::is_directory(Status(path)); }

uint32_t Machine::TagAt(const std::string& entryHost, const std::string& key) const {
  std::error_code error;
  const bool link = fs::is_symlink(fs::symlink_status(entryHost, error));
  // A link's recorded kind counts while it is one, and a mount point set on
  // a folder; a placeholder's tag on what is no link.
  const auto it = reparse.find(key);
  const Reparse recorded = it == reparse.end() ? Reparse{} : it->second;
  if (link) return IsNameSurrogate(recorded.tag) ? recorded.tag : kReparseTagSymlink;
  if (recorded.onFolder) return recorded.tag;
  return IsNameSurrogate(recorded.tag) ? 0 : recorded.tag;
}

uint32_t Machine::TagOf(const WinPath& path) const {
  if (path.parts.empty()) return 0;  // a drive's root
  return TagAt(Entry(Resolve(path.Parent()), path.parts.back()), path.Key());
}

const char* Machine::RenameIn(const std::string& folderHost, const WinPath& folder, const std::string& from,
                              const std::string& to, bool replace) {
  WinPath source = folder, target = folder;
  source.parts.push_back(from);
  target.parts.push_back(to);
  const std::string sourceHost = Entry(folderHost, from);
  std::string targetHost = Entry(folderHost, to);
  std::error_code error;
  if (!fs::is_regular_file(fs::symlink_status(sourceHost, error))) return reason::kFileNotFound;
  if (LockOf(source) == FileLock::Exclusive || OpenOf(source).exclusive || OpenOf(source).readers)
    return reason::kSharingViolation;
  const bool sameFile = source.Key() == target.Key();
  if (!sameFile && fs::exists(fs::symlink_status(targetHost, error))) {
    if (!replace) return reason::kFileExists;
    if (fs::is_directory(fs::symlink_status(targetHost, error))) return reason::kAccessDenied;
    if (const char* why = WriteRefusal(target)) return why;
  }
  // The new name takes the case it is given, as on Windows.
  if (!sameFile) fs::remove(targetHost, error);
  targetHost = (fs::path(folderHost) / to).string();
  fs::rename(sourceHost, targetHost, error);
  if (error) return reason::kAccessDenied;
  if (!sameFile) {
    // What the file carries goes with it; the name it replaced carries nothing now.
    const auto move = [&](auto& map) {
      map.erase(target.Key());
      const auto it = map.find(source.Key());
      if (it == map.end()) return;
      map[target.Key()] = it->second;
      map.erase(it);
    };
    move(locks);
    move(security);
    move(attributes);
  }
  return nullptr;
}

void Machine::Made(const std::string& key, const std::string& sddl) {
  if (sddl.empty()) {
    security.erase(key);
  } else {
    security[key] = sddl;
  }
  attributes.erase(key);
  locks.erase(key);
}

size_t Machine::Allow(size_t count) {
  if (!diskSpace) return count;
  const size_t allowed = static_cast<size_t>(std::min<uint64_t>(*diskSpace, count));
  *diskSpace -= allowed;
  return allowed;
}

}  // namespace host_detail
}  // namespace platform
