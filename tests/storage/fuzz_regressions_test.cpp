// Inputs kept for each fuzzer, replayed through the same calls: the ones that
// once made it fail, a few picked from its corpus for the reader paths they
// reach (cov-*), and edge streams made by hand (named after what they hold).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "framework/errors.h"
#include "storage/exes.h"
#include "storage/form_reader.h"
#include "storage/form_tree.h"
#include "storage/pe_image.h"
#include "tests/support/host_files.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Load(const fs::path& path) {
  const std::string bytes = ReadHostFile(path);
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

// The inputs of one target; a folder that is missing or empty fails the test,
// which would otherwise pass without replaying anything.
std::vector<fs::path> Inputs(const char* target) {
  std::vector<fs::path> inputs;
  const fs::path dir = fs::path(INSTALADOR_TEST_DATA) / "fuzz-regressions" / target;
  if (fs::is_directory(dir))
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.is_regular_file() && entry.path().filename().string().rfind('.', 0) != 0)
        inputs.push_back(entry.path());
  EXPECT_FALSE(inputs.empty()) << "no inputs in " << dir;
  return inputs;
}

TEST(FuzzRegressions, FormReaderInputsFailCleanly) {
  for (const fs::path& path : Inputs("form_reader_fuzz")) {
    const std::vector<uint8_t> bytes = Load(path);
    TFormExe form;
    try {
      FormStreamReader(bytes.data(), bytes.size()).ReadRootComponent(form);
    } catch (const Exception&) {
    }
    try {
      size_t used = 0;
      const FormObject tree = ParseFormTree(bytes.data(), bytes.size(), &used);
      const std::vector<uint8_t> again = WriteFormTree(tree);
      EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + used), again) << path;
    } catch (const Exception&) {
    }
  }
}

TEST(FuzzRegressions, PeInputsFailCleanly) {
  for (const fs::path& path : Inputs("pe_image_fuzz")) {
    const std::vector<uint8_t> bytes = Load(path);
    try {
      FindRcDataResource(bytes.data(), bytes.size(), "TFORMEXE");
    } catch (const EFormatError&) {
    }
    ReadFixedFileVersion(bytes.data(), bytes.size());
  }
}

}  // namespace
