// The test machine of native builds: a fresh HostPlatform per test.
#include "tests/platform/test_machine.h"

#include "platform/host/host_platform.h"

namespace {

class HostTestMachine : public TestMachine {
 public:
  platform::Platform& Platform() override { return host_; }
  std::string ScratchFolder() override {
    const std::string folder = "C:\\scratch" + std::to_string(++scratchCount_);
    host_.CreateFolder(folder);
    return folder;
  }
  void SetString(platform::RootKey root, const std::string& key, const std::string& name, const std::string& value,
                 bool expandable) override {
    host_.SetString(root, key, name, value, expandable);
  }
  void SetDword(platform::RootKey root, const std::string& key, const std::string& name, uint32_t value) override {
    host_.SetDword(root, key, name, value);
  }
  void CreateKey(platform::RootKey root, const std::string& key) override { host_.CreateKey(root, key); }
  void DeleteKeyTree(platform::RootKey root, const std::string& key) override { host_.DeleteKeyTree(root, key); }
  void WriteFile(const std::string& path, const std::string& bytes) override { host_.WriteFileBytes(path, bytes); }
  std::string ReadFile(const std::string& path) override {
    const auto bytes = host_.ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }
  std::optional<Link> ReadLink(const std::string& linkPath) override {
    const auto link = host_.ReadShellLink(linkPath);
    if (!link) return std::nullopt;
    return Link{link->target, link->arguments, link->workingFolder};
  }

 private:
  platform::HostPlatform host_;
  int scratchCount_ = 0;
};

}  // namespace

std::unique_ptr<TestMachine> MakeTestMachine() { return std::make_unique<HostTestMachine>(); }

std::string TestRunKey() { return "\\SOFTWARE\\InstaladorTests\\host"; }
