// The host machine's shell links, program starts and file versions: links kept
// as small text files, starts recorded (with the environment they were given)
// and played by a test's hook, versions read
// by the portable PE reader (the running program's from the block a test gives).
#include "platform/host/host_platform.h"

#include <cstdio>

#include "framework/errors.h"
#include "framework/messages.h"
#include "platform/environment_block.h"
#include "platform/host/host_machine.h"
#include "storage/pe_image.h"

namespace platform {

using host_detail::ParsePath;

namespace {

constexpr char kLinkHeader[] = "[host shell link]";

// Code page 1252 to UTF-16, as the system converts the installer's ANSI texts.
std::u16string Utf16(const std::string& text) {
  static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                     0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
  std::u16string wide;
  for (const char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    wide += byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : static_cast<char16_t>(byte);
  }
  return wide;
}

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
    Guarded().ReplaceContent(linkPath, std::vector<uint8_t>(content.begin(), content.end()));
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

void HostPlatform::StartProgram(const std::string& path, const std::string& currentFolder,
                                const std::vector<std::pair<std::string, std::string>>& variables) {
  // Nothing starts from a missing file; a started program holds its file
  // until a test lifts the lock (the program has ended).
  if (!FileExists(path)) return;
  startedPrograms_.push_back(path);
  startedProgramFolders_.push_back(currentFolder);
  // The machine's variables, as the system's environment block lists them.
  std::u16string machine;
  for (const auto& entry : machineEnvironment_)
    machine += Utf16(entry.second.first + "=" + entry.second.second) + u'\0';
  std::vector<std::pair<std::u16string, std::u16string>> wide;
  for (const auto& [name, value] : variables) wide.emplace_back(Utf16(name), Utf16(value));
  startedProgramEnvironments_.push_back(WithVariables(machine + u'\0', wide));
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
