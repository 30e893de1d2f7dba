// The host machine's files: drives as folders, file streams that count against
// the disk's free space, locks held by other processes, the links and
// placeholders other users make, replacement files, moves and the deletions
// Windows makes at its next start.
#include "platform/host/host_platform.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/native_files.h"
#include "platform/host/host_machine.h"

namespace fs = std::filesystem;

namespace platform {

using host_detail::Machine;
using host_detail::ParsePath;
using host_detail::ThrowCreate;
using host_detail::ThrowOpen;
using host_detail::WinPath;
namespace reason = host_detail::reason;

namespace {

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

}  // namespace

namespace host_detail {

[[noreturn]] void ThrowCreate(const std::string& path, const char* why) {
  throw EFCreateError(Format(msg::kFCreateError, path.c_str(), why));
}
[[noreturn]] void ThrowOpen(const std::string& path, const char* why) {
  throw EFOpenError(Format(msg::kFOpenError, path.c_str(), why));
}

}  // namespace host_detail

// --- The machine's drives, and what other processes do ---

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

void HostPlatform::MakeLink(const std::string& path, const std::string& target, LinkKind kind, LinkOwner owner) {
  const auto link = ParsePath(path);
  const auto to = ParsePath(target);
  if (!link || link->parts.empty() || !to) throw std::invalid_argument("not a Windows path: " + path);
  host_detail::Reparse& made = machine_->reparse[link->Key()];
  made = {kind == LinkKind::Junction ? kReparseTagMountPoint : kReparseTagSymlink, owner, to->Full(), false};
  // A folder held open cannot be removed or renamed: it becomes the mount point itself.
  if (machine_->held.count(link->Key())) {
    made.onFolder = true;
    return;
  }
  const std::string host = (fs::path(HostPath(link->Parent().Full())) / link->parts.back()).string();
  std::error_code error;
  fs::remove_all(HostPath(path), error);
  fs::create_symlink(HostPath(target), host, error);
  if (error) throw std::runtime_error("cannot link " + path + ": " + error.message());
}

void HostPlatform::SetReparseTag(const std::string& path, uint32_t tag) {
  const auto parsed = ParsePath(path);
  if (!parsed) throw std::invalid_argument("not a Windows path: " + path);
  machine_->reparse[parsed->Key()].tag = tag;
}

void HostPlatform::MakeHardLink(const std::string& existing, const std::string& path) {
  const auto link = ParsePath(path);
  if (!link || link->parts.empty()) throw std::invalid_argument("not a Windows path: " + path);
  std::error_code error;
  fs::create_hard_link(HostPath(existing), fs::path(HostPath(link->Parent().Full())) / link->parts.back(), error);
  if (error) throw std::runtime_error("cannot link " + path + ": " + error.message());
}

void HostPlatform::SetGuardedStepHook(std::function<void(GuardedStep step, const std::string& folder)> hook) {
  machine_->guardedStepHook = std::move(hook);
}

namespace {

std::string KeyOf(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed) throw std::invalid_argument("not a Windows path: " + path);
  return parsed->Key();
}

}  // namespace

std::string HostPlatform::SecurityOf(const std::string& path) {
  const auto it = machine_->security.find(KeyOf(path));
  return it == machine_->security.end() ? std::string() : it->second;
}

void HostPlatform::SetSecurity(const std::string& path, const std::string& sddl) {
  machine_->security[KeyOf(path)] = sddl;
}

uint32_t HostPlatform::AttributesOf(const std::string& path) {
  const auto it = machine_->attributes.find(KeyOf(path));
  return it == machine_->attributes.end() ? 0 : it->second;
}

void HostPlatform::SetAttributes(const std::string& path, uint32_t attributes) {
  machine_->attributes[KeyOf(path)] = attributes;
}

GuardedFiles& HostPlatform::Guarded() { return *guarded_; }

std::vector<std::string> HostPlatform::AllPaths() {
  std::vector<std::string> paths;
  std::error_code error;
  for (const auto& drive : fs::directory_iterator(machine_->root, error)) {
    const std::string letter = drive.path().filename().string();
    for (auto it = fs::recursive_directory_iterator(drive.path(), error); it != fs::recursive_directory_iterator();
         it.increment(error)) {
      // Lexically: a link is listed where it stands, not where it leads.
      std::string path = letter + ":\\" + it->path().lexically_relative(drive.path()).string();
      std::replace(path.begin(), path.end(), '/', '\\');
      paths.push_back(host_detail::Fold(path));
    }
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

// --- Files and folders ---

bool HostPlatform::FileExists(const std::string& path) {
  const auto parsed = ParsePath(path);
  return parsed && machine_->IsFile(*parsed);
}

bool HostPlatform::DirectoryExists(const std::string& path) {
  const auto parsed = ParsePath(path);
  return parsed && machine_->IsFolder(*parsed);
}

bool HostPlatform::CreateFolder(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) return false;
  if (!machine_->IsFolder(parsed->Parent()) || fs::exists(machine_->Status(*parsed))) return false;
  std::error_code error;
  if (!fs::create_directory(machine_->Resolve(*parsed), error)) return false;
  machine_->Forget(parsed->Key());
  return true;
}

bool HostPlatform::RemoveFolder(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || !machine_->IsFolder(*parsed)) return false;
  const std::string host = machine_->Resolve(*parsed);
  std::error_code error;
  if (!fs::is_empty(host, error) || error) return false;
  return fs::remove(host, error);
}

void HostPlatform::CreatePrivateDirectory(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  if (!machine_->IsFolder(parsed->Parent())) ThrowCreate(parsed->Full(), reason::kPathNotFound);
  if (fs::exists(machine_->Status(*parsed)) || !CreateFolder(path)) ThrowCreate(parsed->Full(), reason::kFileExists);
  machine_->Made(parsed->Key(), kPrivateFolderSecurity);
}

bool HostPlatform::RemoveDirectoryTree(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || !machine_->IsFolder(*parsed)) return false;
  std::error_code error;
  std::vector<fs::directory_entry> entries;
  for (const auto& entry : fs::directory_iterator(machine_->Resolve(*parsed), error)) entries.push_back(entry);
  bool all = true;
  for (const fs::directory_entry& entry : entries) {
    const std::string child = parsed->Full() + "\\" + entry.path().filename().string();
    if (entry.is_symlink(error)) {
      // The link itself, never what it leads to.
      fs::remove(entry.path(), error);
    } else if (entry.is_directory(error)) {
      all = RemoveDirectoryTree(child) && all;
    } else {
      // A read-only file loses the attribute first, as its owner may do.
      if (machine_->LockOf(*ParsePath(child)) == FileLock::ReadOnly) SetFileLock(child, FileLock::None);
      if (!RemoveFile(child)) {
        all = false;
        RemoveAtRestart(child);
      }
    }
  }
  if (!RemoveFolder(path)) {
    all = false;
    RemoveAtRestart(path);
  }
  return all;
}

bool HostPlatform::RemoveFile(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || !machine_->IsFile(*parsed) || machine_->WriteRefusal(*parsed)) return false;
  std::error_code error;
  if (!fs::remove(machine_->Resolve(*parsed), error)) return false;
  machine_->Forget(parsed->Key());
  return true;
}

std::unique_ptr<TStream> HostPlatform::CreateFileStream(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  const std::string full = parsed->Full();
  if (!machine_->IsFolder(parsed->Parent())) ThrowCreate(full, reason::kPathNotFound);
  if (machine_->IsFolder(*parsed)) ThrowCreate(full, reason::kAccessDenied);
  if (const char* why = machine_->WriteRefusal(*parsed)) ThrowCreate(full, why);
  const std::string host = machine_->Resolve(*parsed);
  const bool existed = machine_->IsFile(*parsed);
  std::FILE* file = std::fopen(host.c_str(), "w+b");
  if (!file) ThrowCreate(full, reason::kAccessDenied);
  if (!existed) machine_->Forget(parsed->Key());
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

// --- Replacements, deletions at restart ---

namespace host_detail {

std::vector<uint8_t> ReadHostFile(const std::string& hostPath) {
  std::FILE* file = std::fopen(hostPath.c_str(), "rb");
  if (!file) throw std::runtime_error("cannot read " + hostPath);
  TStdioFileStream stream(file);
  return ReadAll(stream);
}

std::unique_ptr<TReplacementFile> MakeReplacement(const std::shared_ptr<Machine>& machine,
                                                  const std::string& folderHost, const WinPath& target,
                                                  const std::string& named, const std::string& sddl,
                                                  std::shared_ptr<const void> hold) {
  std::error_code error;
  if (!fs::is_directory(folderHost, error)) ThrowCreate(named, reason::kPathNotFound);
  const std::string name = target.parts.back();
  const WinPath folder = target.Parent();
  WinPath temporary = folder;
  temporary.parts.push_back(ReplacementTemporaryName());
  const std::string temporaryHost = (fs::path(folderHost) / temporary.parts.back()).string();
  std::FILE* file = std::fopen(temporaryHost.c_str(), "wx+b");  // exclusively: nothing there is taken over
  if (!file) ThrowCreate(named, reason::kAccessDenied);
  // What the replaced file carries goes to the new one; a new file gets `sddl`.
  const bool replaces = fs::is_regular_file(fs::symlink_status(Machine::Entry(folderHost, name), error));
  const auto security = machine->security.find(target.Key());
  const auto attributes = machine->attributes.find(target.Key());
  if (!replaces) {
    machine->Made(temporary.Key(), sddl);
  } else {
    machine->Made(temporary.Key(), security == machine->security.end() ? std::string() : security->second);
    if (attributes != machine->attributes.end()) machine->attributes[temporary.Key()] = attributes->second;
  }
  auto stream = std::make_unique<HostFileStream>(machine, temporary.Key(), temporaryHost, file, true);
  return std::make_unique<TReplacementFile>(
      std::move(stream),
      [machine, folderHost, folder, temporary, name, named, hold](std::unique_ptr<TStream> written) {
        // Moved by one name in the folder found before: a mount point made on
        // it since leads a path elsewhere, not this move. (On Windows through
        // the new file's own handle, still open; here its stream closes first,
        // so that the model's count of open files does not refuse the move.)
        written.reset();
        if (machine->guardedStepHook) machine->guardedStepHook(GuardedStep::Commit, folder.Full());
        if (const char* why = machine->RenameIn(folderHost, folder, temporary.parts.back(), name, true))
          ThrowCreate(named, why);
      },
      [machine, temporaryHost, temporary] {
        std::error_code ignored;
        fs::remove(temporaryHost, ignored);
        machine->Forget(temporary.Key());
      });
}

}  // namespace host_detail

std::unique_ptr<TReplacementFile> HostPlatform::CreateReplacement(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) ThrowCreate(path, reason::kInvalidName);
  // The folder is found once by its path (only administrators can change
  // it), then everything is done by one name in it.
  std::error_code error;
  const std::string folderHost = fs::canonical(machine_->Resolve(parsed->Parent()), error).string();
  if (error) ThrowCreate(parsed->Full(), reason::kPathNotFound);
  return host_detail::MakeReplacement(machine_, folderHost, *parsed, parsed->Full(), "", nullptr);
}

bool HostPlatform::RemoveAtRestart(const std::string& path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || deletionsAtRestartRefused_) return false;
  deletionsAtRestart_.push_back(parsed->Full());
  return true;
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

}  // namespace platform
