// The host machine's shell links, program starts and file versions: links kept
// as small text files, starts recorded and played by a test's hook, versions read
// by the portable PE reader (the running program's from the block a test gives).
#include "platform/host/host_platform.h"

#include <cstdio>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/host/host_machine.h"
#include "storage/pe_image.h"

namespace platform {

using host_detail::ParsePath;

namespace {

constexpr char kLinkHeader[] = "[host shell link]";

}  // namespace

void HostPlatform::CreateShellLink(const std::string& target, const std::string& arguments,
                                   const std::string& workingFolder, const std::string& linkPath) {
  if (shellLinkFailure_ == ShellLinkFailure::CannotCreate) throw EOleSysError("Class not registered.");
  if (shellLinkFailure_ == ShellLinkFailure::NoInterface) throw EIntfCastError(msg::kInterfaceNotSupported);
  // Written through the checked replacement, as on Windows; like a save
  // whose result nobody tests, a link that cannot be written (or is refused)
  // is simply not there.
  const std::string content = std::string(kLinkHeader) + "\n" + target + "\n" + arguments + "\n" + workingFolder + "\n";
  try {
    Guarded().ReplaceFile(linkPath, std::vector<uint8_t>(content.begin(), content.end()));
  } catch (const Exception&) {
  }
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
  const std::optional<FileVersion> version = ReadFixedFileVersion(bytes.data(), bytes.size());
  if (versionReadHook_) versionReadHook_(path);
  return version;
}

std::optional<FileVersion> HostPlatform::ReadOwnVersion() {
  return ReadVersionBlock(ownVersionResource_.data(), ownVersionResource_.size());
}

}  // namespace platform
