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
  for (const std::string& part : path.parts) {
    std::error_code error;
    fs::path next = host / part;
    if (fs::is_directory(host, error)) {
      for (const auto& entry : fs::directory_iterator(host, error)) {
        if (SameName(entry.path().filename().string(), part)) {
          next = entry.path();
          break;
        }
      }
    }
    host = next;
  }
  return host.string();
}

fs::file_status Machine::Status(const WinPath& path) const {
  std::error_code error;
  return fs::status(Resolve(path), error);
}

bool Machine::IsFile(const WinPath& path) const { return !path.trailingSeparator && fs::is_regular_file(Status(path)); }

bool Machine::IsFolder(const WinPath& path) const { return fs::is_directory(Status(path)); }

uint32_t Machine::TagOf(const WinPath& path) const {
  if (path.parts.empty()) return 0;  // a drive's root
  std::error_code error;
  const bool link = fs::is_symlink(fs::symlink_status(Resolve(path), error));
  // A link's recorded kind counts while it is one; a placeholder's tag on
  // what is no link.
  const auto it = reparseTags.find(path.Key());
  const uint32_t recorded = it == reparseTags.end() ? 0 : it->second;
  if (link) return IsNameSurrogate(recorded) ? recorded : kReparseTagSymlink;
  return IsNameSurrogate(recorded) ? 0 : recorded;
}

const char* Machine::Rename(const WinPath& source, const WinPath& target, bool replace) {
  if (source.parts.empty() || target.parts.empty()) return reason::kInvalidName;
  if (!IsFile(source)) return reason::kFileNotFound;
  if (!IsFolder(target.Parent())) return reason::kPathNotFound;
  if (LockOf(source) == FileLock::Exclusive || OpenOf(source).exclusive || OpenOf(source).readers)
    return reason::kSharingViolation;
  const bool sameFile = source.Key() == target.Key();
  if (!sameFile && fs::exists(Status(target))) {
    if (!replace) return reason::kFileExists;
    if (IsFolder(target)) return reason::kAccessDenied;
    if (const char* why = WriteRefusal(target)) return why;
  }
  const std::string sourceHost = Resolve(source);
  std::string targetHost = Resolve(target);
  std::error_code error;
  if (!sameFile && fs::exists(targetHost)) fs::remove(targetHost, error);
  // The new name takes the case it is given, as on Windows.
  targetHost = (fs::path(targetHost).parent_path() / target.parts.back()).string();
  fs::rename(sourceHost, targetHost, error);
  if (error) return reason::kAccessDenied;
  const auto lock = locks.find(source.Key());
  if (lock != locks.end() && !sameFile) {
    locks[target.Key()] = lock->second;
    locks.erase(source.Key());
  }
  return nullptr;
}

size_t Machine::Allow(size_t count) {
  if (!diskSpace) return count;
  const size_t allowed = static_cast<size_t>(std::min<uint64_t>(*diskSpace, count));
  *diskSpace -= allowed;
  return allowed;
}

}  // namespace host_detail
}  // namespace platform
