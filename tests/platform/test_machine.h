// A platform under test and what a test needs to prepare it: the host machine
// in native builds, the real Windows one (under Wine) in the Windows build.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/platform.h"

// A platform under test and what a test needs to prepare it.
class TestMachine {
 public:
  virtual ~TestMachine() = default;
  virtual platform::Platform& Platform() = 0;
  // A fresh, empty folder for this test, as a Windows path without trailing "\".
  virtual std::string ScratchFolder() = 0;
  // Registry preparation, in the 32-bit view; paths with a leading "\" count from the root.
  virtual void SetString(platform::RootKey root, const std::string& key, const std::string& name,
                         const std::string& value, bool expandable = false) = 0;
  virtual void SetDword(platform::RootKey root, const std::string& key, const std::string& name, uint32_t value) = 0;
  virtual void CreateKey(platform::RootKey root, const std::string& key) = 0;
  virtual void DeleteKeyTree(platform::RootKey root, const std::string& key) = 0;
  virtual void WriteFile(const std::string& path, const std::string& bytes) = 0;
  virtual std::string ReadFile(const std::string& path) = 0;
  // Reads a shell link back: target, arguments, working folder (Win32: IPersistFile::Load + IShellLinkA getters).
  struct Link {
    std::string target, arguments, workingFolder;
  };
  virtual std::optional<Link> ReadLink(const std::string& linkPath) = 0;
};

// Host build: HostPlatform; Windows build: Win32Platform. Keys the machine
// creates in the registry are removed again when it is destroyed (Windows).
std::unique_ptr<TestMachine> MakeTestMachine();

// A registry key path unique to this test run ("\SOFTWARE\InstaladorTests\<run>"),
// for tests that need keys of their own rather than the installer's fixed ones.
std::string TestRunKey();
