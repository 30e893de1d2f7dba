// The host machine's checked writes and deletes, as on Windows: the walk from
// the drive's root finds each folder inside the one found before it, by one
// name (as through the handle of the one above), looks at its tag without
// following it, and holds it (a held folder cannot be swapped, see MakeLink);
// the act is made inside the last folder the same way. A link on the way is
// followed to its target only when an administrator made it.
#include <deque>
#include <system_error>

#include "framework/errors.h"
#include "framework/paths.h"
#include "platform/host/host_machine.h"

namespace fs = std::filesystem;

namespace platform {
namespace host_detail {

namespace {

// More links on one way than any real folder needs: a loop.
constexpr int kMostLinksFollowed = 16;

std::string SecurityFor(Protection protection) {
  return protection == Protection::UsersReadOnly ? kUsersReadOnlySecurity : "";
}

}  // namespace

// The folders a walk holds open: nobody can remove or rename them until it
// goes. Where the target's folder was found, on the host and as a Windows path.
class HostGuardedFiles::Held {
 public:
  explicit Held(std::shared_ptr<Machine> machine) : machine_(std::move(machine)) {}
  ~Held() {
    for (const std::string& key : keys_) {
      if (--machine_->held[key] == 0) machine_->held.erase(key);
    }
  }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;

  void Hold(const std::string& key) {
    ++machine_->held[key];
    keys_.push_back(key);
  }
  WinPath Target() const {
    WinPath target = folder;
    target.parts.push_back(name);
    return target;
  }
  // The target itself, found in the held folder by its one name.
  std::string Entry() const { return Machine::Entry(folderHost, name); }

  std::string given;       // the path as the caller named it, for messages
  WinPath folder;          // the target's folder, links on the way followed
  std::string folderHost;  // that folder on the host, a real folder
  std::string name;        // the target's own name

 private:
  std::shared_ptr<Machine> machine_;
  std::vector<std::string> keys_;
};

HostGuardedFiles::Walk HostGuardedFiles::Hold(const std::string& path, Held& held, std::string* refusedLink) const {
  // Relative and device paths are refused; the host knows no network.
  if (!IsFullPath(path)) return Walk::Refused;
  const std::optional<WinPath> given = ParsePath(path);
  if (!given || given->parts.empty()) return Walk::Refused;
  // A look for the link alone (refusedLink) holds nothing and lets nobody act.
  const auto step = [&](const WinPath& folder) {
    if (!refusedLink && machine_->guardedStepHook) machine_->guardedStepHook(GuardedStep::FolderHeld, folder.Full());
  };
  std::deque<std::string> names(given->parts.begin(), given->parts.end() - 1);
  WinPath folder{given->drive, {}, false};
  std::string folderHost = (fs::path(machine_->root) / std::string(1, folder.drive)).string();
  std::error_code error;
  if (!fs::is_directory(folderHost, error)) return Walk::Failed;
  step(folder);
  int followed = 0;
  while (!names.empty()) {
    WinPath next = folder;
    next.parts.push_back(names.front());
    names.pop_front();
    const std::string entry = Machine::Entry(folderHost, next.parts.back());
    if (IsNameSurrogate(machine_->TagAt(entry, next.Key()))) {
      const auto link = machine_->reparse.find(next.Key());
      const std::optional<WinPath> target =
          link == machine_->reparse.end() ? std::nullopt : ParsePath(link->second.target);
      if (!target || link->second.owner == LinkOwner::AnotherUser || ++followed > kMostLinksFollowed) {
        if (refusedLink) *refusedLink = next.Full();
        return Walk::Refused;
      }
      // An administrator's link: the walk goes on at its target, from the root.
      names.insert(names.begin(), target->parts.begin(), target->parts.end());
      folder = WinPath{target->drive, {}, false};
      folderHost = (fs::path(machine_->root) / std::string(1, folder.drive)).string();
      if (!fs::is_directory(folderHost, error)) return Walk::Failed;
      continue;
    }
    if (!fs::is_directory(fs::symlink_status(entry, error))) return Walk::Failed;
    folder = next;
    folderHost = entry;
    if (!refusedLink) held.Hold(folder.Key());
    step(folder);
  }
  held.given = given->Full();
  held.folder = folder;
  held.folderHost = folderHost;
  held.name = given->parts.back();
  return Walk::Held;
}

bool HostGuardedFiles::CreateFolder(const std::string& path, Protection protection) {
  Held held(machine_);
  std::error_code error;
  if (Hold(path, held) != Walk::Held || fs::exists(fs::symlink_status(held.Entry(), error))) return false;
  if (machine_->guardedStepHook) machine_->guardedStepHook(GuardedStep::Create, held.folder.Full());
  if (!fs::create_directory(fs::path(held.folderHost) / held.name, error) || error) return false;
  machine_->Made(held.Target().Key(), SecurityFor(protection));
  return true;
}

bool HostGuardedFiles::Delete(const std::string& path, bool folder) {
  Held held(machine_);
  if (Hold(path, held) != Walk::Held) return false;
  const std::string entry = held.Entry();
  const WinPath target = held.Target();
  // A link there is never deleted, nor followed.
  if (IsNameSurrogate(machine_->TagAt(entry, target.Key()))) return false;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(entry, error);
  if (folder ? !fs::is_directory(status) || !fs::is_empty(entry, error)
             : !fs::is_regular_file(status) || machine_->WriteRefusal(target))
    return false;
  if (!fs::remove(entry, error)) return false;
  machine_->Forget(target.Key());
  return true;
}

bool HostGuardedFiles::RemoveFolder(const std::string& path) { return Delete(path, true); }

bool HostGuardedFiles::RemoveFile(const std::string& path) { return Delete(path, false); }

MoveResult HostGuardedFiles::Rename(const std::string& from, const std::string& to) {
  // The new name is one name in the folder held: the move stays in it.
  const std::optional<WinPath> source = ParsePath(from), target = ParsePath(to);
  if (!source || !target || source->parts.empty() || target->parts.empty() ||
      source->Parent().Key() != target->Parent().Key())
    return MoveResult::Failed;
  Held held(machine_);
  if (Hold(from, held) != Walk::Held) return MoveResult::Failed;
  const std::string entry = held.Entry();
  std::error_code error;
  if (IsNameSurrogate(machine_->TagAt(entry, held.Target().Key())) ||
      !fs::is_regular_file(fs::symlink_status(entry, error)))
    return MoveResult::Failed;
  if (machine_->guardedStepHook) machine_->guardedStepHook(GuardedStep::Move, held.folder.Full());
  const char* why = machine_->RenameIn(held.folderHost, held.folder, held.name, target->parts.back(), false);
  if (!why) return MoveResult::Moved;
  return why == reason::kFileExists ? MoveResult::NameTaken : MoveResult::Failed;
}

std::optional<std::vector<uint8_t>> HostGuardedFiles::ReadFile(const std::string& path) {
  Held held(machine_);
  switch (Hold(path, held)) {
    case Walk::Held:
      break;
    case Walk::Refused:
      return std::nullopt;
    case Walk::Failed:
      ThrowOpen(path, reason::kPathNotFound);
  }
  const std::string entry = held.Entry();
  const WinPath target = held.Target();
  if (IsNameSurrogate(machine_->TagAt(entry, target.Key()))) return std::nullopt;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(entry, error);
  if (!fs::exists(status)) ThrowOpen(held.given, reason::kFileNotFound);
  if (fs::is_directory(status)) ThrowOpen(held.given, reason::kAccessDenied);
  if (const char* why = machine_->ReadRefusal(target)) ThrowOpen(held.given, why);
  // A hard link carries no tag: its other names are counted instead.
  if (fs::hard_link_count(entry, error) > 1 || error) return std::nullopt;
  return ReadHostFile(entry);
}

std::unique_ptr<TReplacementFile> HostGuardedFiles::CreateReplacement(const std::string& path, Protection protection) {
  auto held = std::make_shared<Held>(machine_);
  switch (Hold(path, *held)) {
    case Walk::Held:
      break;
    case Walk::Refused:
      ThrowCreate(path, reason::kAccessDenied);
    case Walk::Failed:
      ThrowCreate(path, reason::kPathNotFound);
  }
  // A link at the target would be replaced, not written through; refused all the same.
  if (IsNameSurrogate(machine_->TagAt(held->Entry(), held->Target().Key())))
    ThrowCreate(held->given, reason::kAccessDenied);
  return MakeReplacement(machine_, held->folderHost, held->Target(), held->given, SecurityFor(protection), held);
}

std::optional<std::string> HostGuardedFiles::RefusedLink(const std::string& path) {
  Held held(machine_);
  std::string link;
  switch (Hold(path, held, &link)) {
    case Walk::Held:
      break;
    case Walk::Refused:
      if (link.empty()) return std::nullopt;
      return link;
    case Walk::Failed:
      return std::nullopt;
  }
  if (!IsNameSurrogate(machine_->TagAt(held.Entry(), held.Target().Key()))) return std::nullopt;
  return held.Target().Full();
}

bool HostGuardedFiles::IsCloudPlaceholder(const std::string& path) {
  const std::optional<WinPath> parsed = ParsePath(path);
  return parsed && machine_->TagOf(*parsed) == kReparseTagCloud;
}

}  // namespace host_detail
}  // namespace platform
