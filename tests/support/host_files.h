// What native tests do with the host's own files: a new folder of their own,
// removed again with all it holds, and a file's whole content.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "framework/streams.h"

// The whole content of a file; "" when it cannot be read.
inline std::string ReadHostFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A new, empty folder under the system's temporary folder, under a name no
// other test (nor another run of this one) takes; removed with all it holds
// when this goes, also when the test fails.
class TempFolder {
 public:
  TempFolder() : path_(std::filesystem::temp_directory_path() / ("instalador-test-" + UnpredictableName())) {
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};
