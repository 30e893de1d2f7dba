// The host machine: registry nodes in memory, drives as folders under a fresh
// temporary folder, names matched without regard to case as Windows does.
#include "platform/host/host_platform.h"

#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "framework/errors.h"
#include "framework/messages.h"
#include "storage/pe_image.h"

namespace fs = std::filesystem;

namespace platform {

// The system's reasons, as Windows words them (FormatMessage, English).
namespace reason {
constexpr char kFileNotFound[] = "The system cannot find the file specified.";
constexpr char kPathNotFound[] = "The system cannot find the path specified.";
constexpr char kAccessDenied[] = "Access is denied.";
constexpr char kSharingViolation[] = "The process cannot access the file because it is being used by another process.";
constexpr char kInvalidName[] = "The filename, directory name, or volume label syntax is incorrect.";
constexpr char kFileExists[] = "The file exists.";
}  // namespace reason

namespace {

// Upper case in code page 1252, as Windows compares file and key names.
char FoldChar(char c) {
  const auto b = static_cast<unsigned char>(c);
  if (b >= 'a' && b <= 'z') return static_cast<char>(b - 0x20);
  if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return static_cast<char>(b - 0x20);
  switch (b) {
    case 0x9A:
      return static_cast<char>(0x8A);
    case 0x9C:
      return static_cast<char>(0x8C);
    case 0x9E:
      return static_cast<char>(0x8E);
    case 0xFF:
      return static_cast<char>(0x9F);
    default:
      return c;
  }
}

std::string Fold(const std::string& text) {
  std::string result = text;
  std::transform(result.begin(), result.end(), result.begin(), FoldChar);
  return result;
}

bool SameName(const std::string& a, const std::string& b) { return Fold(a) == Fold(b); }

// A Windows path made full: drive, components without "." and "..".
struct WinPath {
  char drive = 'C';
  std::vector<std::string> parts;
  bool trailingSeparator = false;

  std::string Full() const {
    std::string full{drive, ':', '\\'};
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i) full += '\\';
      full += parts[i];
    }
    if (trailingSeparator && !parts.empty()) full += '\\';
    return full;
  }
  std::string Key() const {
    WinPath copy = *this;
    copy.trailingSeparator = false;
    return Fold(copy.Full());
  }
  WinPath Parent() const {
    WinPath parent = *this;
    if (!parent.parts.empty()) parent.parts.pop_back();
    parent.trailingSeparator = false;
    return parent;
  }
};

bool InvalidNameChar(char c) {
  return static_cast<unsigned char>(c) < 32 || c == '<' || c == '>' || c == ':' || c == '"' || c == '|' || c == '?' ||
         c == '*';
}

// Relative paths count from the root of drive C:, the process's fixed
// current folder. UNC paths are not part of this machine.
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

struct RegValue {
  std::string name;
  uint32_t type;
  std::vector<uint8_t> data;
};

struct KeyNode {
  std::string name;
  std::vector<std::shared_ptr<KeyNode>> children;  // sorted as Windows enumerates them
  std::vector<RegValue> values;                    // in creation order
  KeyPermission permission = KeyPermission::Full;
  bool deleted = false;
};

void MarkDeleted(KeyNode& node) {
  node.deleted = true;
  for (auto& child : node.children) MarkDeleted(*child);
}

// Key paths: a leading "\" is optional; an empty component names no key.
std::optional<std::vector<std::string>> ParseKeyPath(const std::string& path) {
  std::vector<std::string> parts;
  size_t pos = path.empty() || path[0] != '\\' ? 0 : 1;
  if (pos >= path.size()) return parts;
  while (true) {
    size_t end = path.find('\\', pos);
    if (end == std::string::npos) end = path.size();
    if (end == pos) {
      if (end == path.size()) break;  // a trailing "\"
      return std::nullopt;
    }
    parts.push_back(path.substr(pos, end - pos));
    if (end == path.size()) break;
    pos = end + 1;
  }
  return parts;
}

}  // namespace

namespace host_detail {

struct OpenCount {
  int exclusive = 0;
  int readers = 0;
};

struct Machine {
  std::string root;
  std::shared_ptr<KeyNode> localMachine = std::make_shared<KeyNode>();
  std::shared_ptr<KeyNode> currentUser = std::make_shared<KeyNode>();
  std::map<std::string, FileLock> locks;  // by folded full path
  std::map<std::string, OpenCount> open;  // streams this process holds
  std::optional<uint64_t> diskSpace;

  std::shared_ptr<KeyNode> Root(RootKey root) { return root == RootKey::LocalMachine ? localMachine : currentUser; }

  FileLock LockOf(const WinPath& path) const {
    const auto it = locks.find(path.Key());
    return it == locks.end() ? FileLock::None : it->second;
  }
  OpenCount OpenOf(const WinPath& path) const {
    const auto it = open.find(path.Key());
    return it == open.end() ? OpenCount{} : it->second;
  }
  // Whether writing, deleting or replacing is refused, and why.
  const char* WriteRefusal(const WinPath& path) const {
    const FileLock lock = LockOf(path);
    const OpenCount count = OpenOf(path);
    if (lock == FileLock::Exclusive || count.exclusive || count.readers) return reason::kSharingViolation;
    if (lock == FileLock::Running) return reason::kSharingViolation;
    if (lock == FileLock::ReadOnly) return reason::kAccessDenied;
    return nullptr;
  }
  const char* ReadRefusal(const WinPath& path) const {
    if (LockOf(path) == FileLock::Exclusive || OpenOf(path).exclusive) return reason::kSharingViolation;
    return nullptr;
  }

  // The host path: each existing component found without regard to case.
  std::string Resolve(const WinPath& path) const {
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
  fs::file_status Status(const WinPath& path) const {
    std::error_code error;
    return fs::status(Resolve(path), error);
  }
  // A trailing separator names a folder, never a file.
  bool IsFile(const WinPath& path) const { return !path.trailingSeparator && fs::is_regular_file(Status(path)); }
  bool IsFolder(const WinPath& path) const { return fs::is_directory(Status(path)); }

  // Renames a file in one step, over an existing one only with `replace`. A
  // running program or a read-only file may be renamed, a file held open may not.
  bool Rename(const WinPath& source, const WinPath& target, bool replace) {
    if (source.parts.empty() || target.parts.empty()) return false;
    if (!IsFile(source) || !IsFolder(target.Parent())) return false;
    if (LockOf(source) == FileLock::Exclusive || OpenOf(source).exclusive || OpenOf(source).readers) return false;
    const bool sameFile = source.Key() == target.Key();
    if (!sameFile && fs::exists(Status(target))) {
      if (!replace || IsFolder(target) || WriteRefusal(target)) return false;
    }
    const std::string sourceHost = Resolve(source);
    std::string targetHost = Resolve(target);
    std::error_code error;
    if (!sameFile && fs::exists(targetHost)) fs::remove(targetHost, error);
    // The new name takes the case it is given, as on Windows.
    targetHost = (fs::path(targetHost).parent_path() / target.parts.back()).string();
    fs::rename(sourceHost, targetHost, error);
    if (error) return false;
    const auto lock = locks.find(source.Key());
    if (lock != locks.end() && !sameFile) {
      locks[target.Key()] = lock->second;
      locks.erase(source.Key());
    }
    return true;
  }

  // Bytes a write may still add; a full disk writes what fits.
  size_t Allow(size_t count) {
    if (!diskSpace) return count;
    const size_t allowed = static_cast<size_t>(std::min<uint64_t>(*diskSpace, count));
    *diskSpace -= allowed;
    return allowed;
  }
};

}  // namespace host_detail

namespace {

using host_detail::Machine;

class HostFileStream : public TStdioFileStream {
 public:
  HostFileStream(std::shared_ptr<Machine> machine, std::string key, std::string hostPath, std::FILE* file,
                 bool writable)
      : TStdioFileStream(file),
        machine_(std::move(machine)),
        key_(std::move(key)),
        hostPath_(std::move(hostPath)),
        writable_(writable) {
    auto& count = machine_->open[key_];
    (writable_ ? count.exclusive : count.readers)++;
  }
  ~HostFileStream() override {
    auto& count = machine_->open[key_];
    (writable_ ? count.exclusive : count.readers)--;
    if (!count.exclusive && !count.readers) machine_->open.erase(key_);
  }

  void SetSize(int64_t size) override {
    if (!writable_ || size < 0) throw EStreamError(msg::kStreamWriteError);
    std::fflush(File());
    std::error_code error;
    fs::resize_file(hostPath_, static_cast<uintmax_t>(size), error);
    if (error) throw EStreamError(msg::kStreamWriteError);
    if (Position() > size) SetPosition(size);
  }
  size_t Write(const void* buffer, size_t count) override {
    if (!writable_) return 0;
    // The machine may let only part through: a disk that fills up.
    const size_t allowed = machine_->Allow(count);
    const size_t written = std::fwrite(buffer, 1, allowed, File());
    std::fflush(File());
    return written;
  }

 private:
  std::shared_ptr<Machine> machine_;
  std::string key_;
  std::string hostPath_;
  bool writable_;
};

class HostKey : public RegistryKey {
 public:
  explicit HostKey(std::shared_ptr<KeyNode> node) : node_(std::move(node)) {}

  std::optional<std::string> ReadString(const std::string& valueName) override {
    if (node_->deleted) return std::nullopt;
    for (const RegValue& value : node_->values) {
      if (!SameName(value.name, valueName)) continue;
      if (value.type != kRegSz && value.type != kRegExpandSz)
        throw ERegistryException(Format(msg::kInvalidRegType, valueName.c_str()));
      const auto nul = std::find(value.data.begin(), value.data.end(), 0);
      return std::string(value.data.begin(), nul);
    }
    return std::nullopt;
  }
  std::vector<std::string> SubkeyNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const auto& child : node_->children) names.push_back(child->name);
    return names;
  }
  std::vector<std::string> ValueNames() override {
    std::vector<std::string> names;
    if (node_->deleted) return names;
    for (const RegValue& value : node_->values) names.push_back(value.name);
    return names;
  }

 private:
  std::shared_ptr<KeyNode> node_;
};

// Finds a key, and the most restrictive permission on the way down to it
// (rights are inherited from the parent keys).
std::shared_ptr<KeyNode> FindKey(std::shared_ptr<KeyNode> node, const std::string& path,
                                 KeyPermission* permission = nullptr) {
  const auto parts = ParseKeyPath(path);
  if (!parts) return nullptr;
  KeyPermission effective = node->permission;
  for (const std::string& part : *parts) {
    const auto it = std::find_if(node->children.begin(), node->children.end(),
                                 [&](const auto& child) { return SameName(child->name, part); });
    if (it == node->children.end()) return nullptr;
    node = *it;
    effective = std::max(effective, node->permission);
  }
  if (permission) *permission = effective;
  return node;
}

[[noreturn]] void ThrowCreate(const std::string& path, const char* why) {
  throw EFCreateError(Format(msg::kFCreateError, path.c_str(), why));
}
[[noreturn]] void ThrowOpen(const std::string& path, const char* why) {
  throw EFOpenError(Format(msg::kFOpenError, path.c_str(), why));
}

constexpr char kLinkHeader[] = "[host shell link]";

}  // namespace

HostPlatform::HostPlatform() : machine_(std::make_shared<Machine>()) {
  std::string pattern = (fs::temp_directory_path() / "instalador-host-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the host machine's folder");
  machine_->root = pattern;
  AddDrive('C');
  for (const char* folder : {"C:\\windows", "C:\\windows\\Temp", "C:\\Program Files", "C:\\users", "C:\\users\\tester",
                             "C:\\users\\tester\\Desktop"})
    CreateDirectory(folder);
  // What every Windows process finds in its environment.
  SetEnvironmentVariable("ProgramFiles", "C:\\Program Files");
  SetEnvironmentVariable("SystemDrive", "C:");
  SetEnvironmentVariable("SystemRoot", "C:\\windows");
  SetEnvironmentVariable("windir", "C:\\windows");
  SetEnvironmentVariable("USERPROFILE", "C:\\users\\tester");
}

HostPlatform::~HostPlatform() {
  std::error_code error;
  fs::remove_all(machine_->root, error);
}

// --- Registry ---

void HostPlatform::CreateKey(RootKey root, const std::string& path) {
  const auto parts = ParseKeyPath(path);
  if (!parts) throw std::invalid_argument("bad key path: " + path);
  std::shared_ptr<KeyNode> node = machine_->Root(root);
  for (const std::string& part : *parts) {
    auto it = std::find_if(node->children.begin(), node->children.end(),
                           [&](const auto& child) { return SameName(child->name, part); });
    if (it == node->children.end()) {
      auto child = std::make_shared<KeyNode>();
      child->name = part;
      // Windows enumerates subkeys sorted by their upper-cased names.
      const std::string folded = Fold(part);
      it = std::find_if(node->children.begin(), node->children.end(),
                        [&](const auto& other) { return Fold(other->name) > folded; });
      it = node->children.insert(it, child);
    }
    node = *it;
  }
}

void HostPlatform::SetValue(RootKey root, const std::string& path, const std::string& name, uint32_t type,
                            const std::vector<uint8_t>& data) {
  CreateKey(root, path);
  const auto node = FindKey(machine_->Root(root), path);
  for (RegValue& value : node->values) {
    if (SameName(value.name, name)) {
      value.type = type;
      value.data = data;
      return;
    }
  }
  node->values.push_back(RegValue{name, type, data});
}

void HostPlatform::SetString(RootKey root, const std::string& path, const std::string& name, const std::string& value,
                             bool expandable) {
  std::vector<uint8_t> data(value.begin(), value.end());
  data.push_back(0);
  SetValue(root, path, name, expandable ? kRegExpandSz : kRegSz, data);
}

void HostPlatform::SetDword(RootKey root, const std::string& path, const std::string& name, uint32_t value) {
  SetValue(root, path, name, kRegDword,
           {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value >> 16),
            static_cast<uint8_t>(value >> 24)});
}

void HostPlatform::DeleteValue(RootKey root, const std::string& path, const std::string& name) {
  const auto node = FindKey(machine_->Root(root), path);
  if (!node) return;
  auto& values = node->values;
  values.erase(std::remove_if(values.begin(), values.end(), [&](const RegValue& v) { return SameName(v.name, name); }),
               values.end());
}

void HostPlatform::DeleteKeyTree(RootKey root, const std::string& path) {
  const auto parts = ParseKeyPath(path);
  if (!parts || parts->empty()) return;
  std::string parentPath;
  for (size_t i = 0; i + 1 < parts->size(); ++i) parentPath += "\\" + (*parts)[i];
  const auto parent = FindKey(machine_->Root(root), parentPath);
  if (!parent) return;
  auto& children = parent->children;
  for (auto it = children.begin(); it != children.end(); ++it) {
    if (SameName((*it)->name, parts->back())) {
      MarkDeleted(**it);
      children.erase(it);
      return;
    }
  }
}

void HostPlatform::SetKeyPermission(RootKey root, const std::string& path, KeyPermission permission) {
  CreateKey(root, path);
  FindKey(machine_->Root(root), path)->permission = permission;
}

std::unique_ptr<RegistryKey> HostPlatform::OpenKey(RootKey root, const std::string& path, KeyAccess access) {
  KeyPermission permission;
  auto node = FindKey(machine_->Root(root), path, &permission);
  if (!node || permission == KeyPermission::Denied) return nullptr;
  if (access == KeyAccess::AllAccess && permission != KeyPermission::Full) return nullptr;
  return std::make_unique<HostKey>(std::move(node));
}

bool HostPlatform::KeyExists(RootKey root, const std::string& path) {
  return OpenKey(root, path, KeyAccess::Read) != nullptr;
}

// --- Environment ---

void HostPlatform::SetEnvironmentVariable(const std::string& name, std::optional<std::string> value) {
  if (value) {
    environment_[Fold(name)] = *value;
  } else {
    environment_.erase(Fold(name));
  }
}

std::optional<std::string> HostPlatform::EnvironmentVariable(const std::string& name) {
  const auto it = environment_.find(Fold(name));
  if (it == environment_.end()) return std::nullopt;
  return it->second;
}

// --- Files and folders ---

std::string HostPlatform::HostPath(const std::string& windowsPath) {
  const auto path = ParsePath(windowsPath);
  if (!path) throw std::invalid_argument("not a Windows path: " + windowsPath);
  return machine_->Resolve(*path);
}

void HostPlatform::AddDrive(char letter) {
  std::error_code error;
  fs::create_directories(fs::path(machine_->root) / std::string(1, static_cast<char>(std::toupper(letter))), error);
}

void HostPlatform::SetFileLock(const std::string& path, FileLock lock) {
  const auto parsed = ParsePath(path);
  if (!parsed) throw std::invalid_argument("not a Windows path: " + path);
  if (lock == FileLock::None) {
    machine_->locks.erase(parsed->Key());
  } else {
    machine_->locks[parsed->Key()] = lock;
  }
}

void HostPlatform::SetDiskSpace(std::optional<uint64_t> bytes) { machine_->diskSpace = bytes; }

void HostPlatform::WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::FILE* file = std::fopen(HostPath(path).c_str(), "wb");
  if (!file) throw std::runtime_error("cannot write " + path);
  const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  std::fclose(file);
  if (written != bytes.size()) throw std::runtime_error("cannot write " + path);
}

bool HostPlatform::FileExists(const std::string& path) {
  const auto parsed = ParsePath(path);
  return parsed && machine_->IsFile(*parsed);
}

bool HostPlatform::DirectoryExists(const std::string& path) {
  const auto parsed = ParsePath(path);
  return parsed && machine_->IsFolder(*parsed);
}

bool HostPlatform::CreateDirectory(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) return false;
  if (!machine_->IsFolder(parsed->Parent()) || fs::exists(machine_->Status(*parsed))) return false;
  std::error_code error;
  return fs::create_directory(machine_->Resolve(*parsed), error);
}

bool HostPlatform::RemoveDirectory(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || !machine_->IsFolder(*parsed)) return false;
  const std::string host = machine_->Resolve(*parsed);
  std::error_code error;
  if (!fs::is_empty(host, error) || error) return false;
  return fs::remove(host, error);
}

bool HostPlatform::DeleteFile(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || !machine_->IsFile(*parsed) || machine_->WriteRefusal(*parsed)) return false;
  std::error_code error;
  return fs::remove(machine_->Resolve(*parsed), error);
}

std::unique_ptr<TStream> HostPlatform::CreateFileStream(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  const std::string full = parsed->Full();
  if (!machine_->IsFolder(parsed->Parent())) ThrowCreate(full, reason::kPathNotFound);
  if (machine_->IsFolder(*parsed)) ThrowCreate(full, reason::kAccessDenied);
  if (const char* why = machine_->WriteRefusal(*parsed)) ThrowCreate(full, why);
  const std::string host = machine_->Resolve(*parsed);
  std::FILE* file = std::fopen(host.c_str(), "w+b");
  if (!file) ThrowCreate(full, reason::kAccessDenied);
  return std::make_unique<HostFileStream>(machine_, parsed->Key(), host, file, true);
}

std::unique_ptr<TStream> HostPlatform::OpenFileStream(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowOpen(path, reason::kInvalidName);
  const std::string full = parsed->Full();
  if (!machine_->IsFolder(parsed->Parent())) ThrowOpen(full, reason::kPathNotFound);
  if (machine_->IsFolder(*parsed)) ThrowOpen(full, reason::kAccessDenied);
  if (!machine_->IsFile(*parsed)) ThrowOpen(full, reason::kFileNotFound);
  if (const char* why = machine_->ReadRefusal(*parsed)) ThrowOpen(full, why);
  const std::string host = machine_->Resolve(*parsed);
  std::FILE* file = std::fopen(host.c_str(), "rb");
  if (!file) ThrowOpen(full, reason::kAccessDenied);
  return std::make_unique<HostFileStream>(machine_, parsed->Key(), host, file, false);
}

std::vector<uint8_t> HostPlatform::ReadFile(const std::string& path) {
  auto stream = OpenFileStream(path);
  return ReadAll(*stream);
}

std::unique_ptr<TStream> HostPlatform::CreateNewFileStream(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  const std::string full = parsed->Full();
  if (!machine_->IsFolder(parsed->Parent())) ThrowCreate(full, reason::kPathNotFound);
  // A file or a folder: whatever is there stays, and is not used.
  if (fs::exists(machine_->Status(*parsed))) ThrowCreate(full, reason::kFileExists);
  return CreateFileStream(path);
}

std::unique_ptr<TReplacementFile> HostPlatform::CreateReplacement(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  const WinPath target = *parsed;
  const std::string full = target.Full();
  if (!machine_->IsFolder(target.Parent())) ThrowCreate(full, reason::kPathNotFound);
  WinPath temporary = target.Parent();
  temporary.parts.push_back("~ins" + UnpredictableName() + ".tmp");
  const std::string temporaryPath = temporary.Full();
  std::unique_ptr<TStream> file = CreateNewFileStream(temporaryPath);
  const std::shared_ptr<Machine> machine = machine_;
  return std::make_unique<TReplacementFile>(
      std::move(file),
      [machine, temporary, target, full](std::unique_ptr<TStream> stream) {
        stream.reset();
        if (machine->IsFolder(target)) ThrowCreate(full, reason::kAccessDenied);
        if (const char* why = machine->WriteRefusal(target)) ThrowCreate(full, why);
        if (!machine->Rename(temporary, target, true)) ThrowCreate(full, reason::kAccessDenied);
      },
      [machine, temporary] {
        std::error_code error;
        fs::remove(machine->Resolve(temporary), error);
      });
}

bool HostPlatform::MoveFile(const std::string& from, const std::string& to) {
  const auto source = ParsePath(from);
  const auto target = ParsePath(to);
  return source && target && machine_->Rename(*source, *target, false);
}

bool HostPlatform::DeleteFileAtRestart(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || deletionsAtRestartRefused_) return false;
  deletionsAtRestart_.push_back(parsed->Full());
  return true;
}

std::vector<std::string> HostPlatform::AllPaths() {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& drive : fs::directory_iterator(machine_->root, error)) {
    const std::string letter = drive.path().filename().string();
    for (auto it = fs::recursive_directory_iterator(drive.path(), error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
      std::string path = letter + ":\\" + fs::relative(it->path(), drive.path(), error).string();
      std::replace(path.begin(), path.end(), '/', '\\');
      paths.push_back(Fold(path));
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

void HostPlatform::Restart() {
  // Every process has ended: nothing holds a file any more.
  for (auto it = machine_->locks.begin(); it != machine_->locks.end();) {
    it = it->second == FileLock::ReadOnly ? std::next(it) : machine_->locks.erase(it);
  }
  for (const std::string& path : deletionsAtRestart_) {
    const WinPath parsed = *ParsePath(path);
    std::error_code error;
    if (machine_->IsFile(parsed)) {
      fs::remove(machine_->Resolve(parsed), error);
    } else if (machine_->IsFolder(parsed) && fs::is_empty(machine_->Resolve(parsed), error)) {
      fs::remove(machine_->Resolve(parsed), error);
    }
  }
  deletionsAtRestart_.clear();
}

// --- Shell links, programs, versions ---

void HostPlatform::CreateShellLink(const std::string& target, const std::string& arguments,
                                   const std::string& workingFolder, const std::string& linkPath) {
  if (shellLinkFailure_ == ShellLinkFailure::CannotCreate) throw EOleSysError("Class not registered.");
  if (shellLinkFailure_ == ShellLinkFailure::NoInterface) throw EIntfCastError(msg::kInterfaceNotSupported);
  // Like IPersistFile::Save whose result nobody tests: a link that cannot be
  // written is simply not there.
  const auto parsed = ParsePath(linkPath);
  if (!parsed || parsed->parts.empty() || !machine_->IsFolder(parsed->Parent()) || machine_->IsFolder(*parsed) ||
      machine_->WriteRefusal(*parsed))
    return;
  std::FILE* file = std::fopen(machine_->Resolve(*parsed).c_str(), "wb");
  if (!file) return;
  const std::string content = std::string(kLinkHeader) + "\n" + target + "\n" + arguments + "\n" + workingFolder + "\n";
  std::fwrite(content.data(), 1, content.size(), file);
  std::fclose(file);
}

std::optional<ShellLinkRecord> HostPlatform::ReadShellLink(const std::string& linkPath) {
  if (!FileExists(linkPath)) return std::nullopt;
  const std::vector<uint8_t> bytes = ReadFile(linkPath);
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t byte : bytes) {
    if (byte == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line += static_cast<char>(byte);
    }
  }
  if (lines.size() != 4 || lines[0] != kLinkHeader) return std::nullopt;
  return ShellLinkRecord{lines[1], lines[2], lines[3]};
}

void HostPlatform::StartProgram(const std::string& path, const std::string& currentFolder) {
  // Nothing starts from a missing file; a started program holds its file
  // until a test lifts the lock (the program has ended).
  if (!FileExists(path)) return;
  startedPrograms_.push_back(path);
  startedProgramFolders_.push_back(currentFolder);
  SetFileLock(path, FileLock::Running);
  if (startHook_) startHook_(path);
}

std::optional<FileVersion> HostPlatform::ReadFileVersion(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || !machine_->IsFile(*parsed) || machine_->ReadRefusal(*parsed)) return std::nullopt;
  const std::vector<uint8_t> bytes = ReadFile(path);
  const std::optional<PeFileVersion> version = ReadFixedFileVersion(bytes.data(), bytes.size());
  if (versionReadHook_) versionReadHook_(path);
  if (!version) return std::nullopt;
  return FileVersion{version->major, version->minor, version->release, version->build};
}

// --- Dialogs, messages, resources ---

void HostPlatform::QueueDialogAnswers(std::initializer_list<int> answers) {
  dialogAnswers_.insert(dialogAnswers_.end(), answers.begin(), answers.end());
}

int HostPlatform::MessageDialog(const std::string& text, DialogType type, DialogButtons buttons) {
  DialogRecord record{text, type, buttons, kIdCancel};
  if (!terminating_) {
    if (!dialogAnswers_.empty()) {
      record.answer = dialogAnswers_.front();
      dialogAnswers_.pop_front();
    } else if (dialogCallback_) {
      record.answer = dialogCallback_(record);
    } else {
      throw std::logic_error("unscripted message dialog: " + text);
    }
    // Only what the dialog's buttons and its close box can give.
    const bool possible = record.answer == kIdCancel || (buttons == DialogButtons::Ok && record.answer == kIdOk) ||
                          (buttons == DialogButtons::YesNo && (record.answer == kIdYes || record.answer == kIdNo));
    if (!possible) throw std::logic_error("impossible dialog answer " + std::to_string(record.answer) + ": " + text);
  }
  dialogs_.push_back(record);
  return record.answer;
}

void HostPlatform::ProcessMessages() {
  ++processMessagesCalls_;
  if (processMessagesHook_) processMessagesHook_();
}

void HostPlatform::SetResource(const std::string& name, std::vector<uint8_t> bytes) {
  resources_[Fold(name)] = std::move(bytes);
}

std::optional<ByteRange> HostPlatform::FindResource(const std::string& name) {
  const auto it = resources_.find(Fold(name));
  if (it == resources_.end()) return std::nullopt;
  return ByteRange{it->second.data(), it->second.size()};
}

}  // namespace platform
