// The host machine as a whole: a fresh temporary folder with drive C: and the
// folders and environment every Windows process finds, and the running
// program's own resources.
#include "platform/host/host_platform.h"

#include <stdlib.h>

#include <stdexcept>
#include <system_error>

#include "platform/host/host_machine.h"

namespace fs = std::filesystem;

namespace platform {

using host_detail::Fold;

HostPlatform::HostPlatform()
    : machine_(std::make_shared<host_detail::Machine>()),
      guarded_(std::make_unique<host_detail::HostGuardedFiles>(machine_)) {
  std::string pattern = (fs::temp_directory_path() / "instalador-host-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create the host machine's folder");
  machine_->root = pattern;
  AddDrive('C');
  for (const char* folder : {"C:\\windows", "C:\\windows\\Temp", "C:\\Program Files", "C:\\users", "C:\\users\\tester",
                             "C:\\users\\tester\\Desktop"})
    CreateFolder(folder);
  // What every Windows process finds in its environment: the machine's
  // variables, and the user's own profile folder.
  for (const auto& [name, value] : {std::pair<const char*, const char*>{"ProgramFiles", "C:\\Program Files"},
                                    {"SystemDrive", "C:"},
                                    {"SystemRoot", "C:\\windows"},
                                    {"windir", "C:\\windows"}}) {
    SetEnvironmentVariable(name, value);
    SetMachineEnvironmentVariable(name, value);
  }
  SetEnvironmentVariable("USERPROFILE", "C:\\users\\tester");
}

HostPlatform::~HostPlatform() {
  std::error_code error;
  fs::remove_all(machine_->root, error);
}

// --- Environment ---

namespace {

void Set(std::map<std::string, std::pair<std::string, std::string>>& variables, const std::string& name,
         const std::optional<std::string>& value) {
  if (value) {
    variables[Fold(name)] = {name, *value};
  } else {
    variables.erase(Fold(name));
  }
}

std::optional<std::string> Get(const std::map<std::string, std::pair<std::string, std::string>>& variables,
                               const std::string& name) {
  const auto it = variables.find(Fold(name));
  if (it == variables.end()) return std::nullopt;
  return it->second.second;
}

}  // namespace

void HostPlatform::SetEnvironmentVariable(const std::string& name, std::optional<std::string> value) {
  Set(environment_, name, value);
}

std::optional<std::string> HostPlatform::EnvironmentVariable(const std::string& name) {
  return Get(environment_, name);
}

void HostPlatform::SetMachineEnvironmentVariable(const std::string& name, std::optional<std::string> value) {
  Set(machineEnvironment_, name, value);
}

std::optional<std::string> HostPlatform::MachineEnvironmentVariable(const std::string& name) {
  return Get(machineEnvironment_, name);
}

// --- Resources ---

void HostPlatform::SetResource(const std::string& name, std::vector<uint8_t> bytes) {
  resources_[Fold(name)] = std::move(bytes);
}

std::optional<ByteRange> HostPlatform::FindRcData(const std::string& name) {
  const auto it = resources_.find(Fold(name));
  if (it == resources_.end()) return std::nullopt;
  return ByteRange{it->second.data(), it->second.size()};
}

}  // namespace platform
