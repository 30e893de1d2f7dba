// The payload tool end to end: build, list, extract reproduce the files;
// untrusted file names, damaged payloads and executables give clear errors.
#include "tools/payload_tool.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "storage/form_tree.h"
#include "tests/support/host_files.h"
#include "tests/support/pe_builder.h"

namespace fs = std::filesystem;

namespace {

class PayloadToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    files_ = {{"Pliegorama.exe", std::string(5000, 'P') + std::string("\x00\x01\xFF", 3)},
              {"tnsnames.ora", "LUMENTRA =\r\n  (DESCRIPTION = (HOST = 192.0.2.10))\r\n"},
              {"OracleXEClient.exe", std::string(200000, '\0') + "end"},
              {"DesInstalador.exe", ""}};
    for (const auto& [name, content] : files_) Write(dir_ / name, content);
  }
  static void Write(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
  }

  int Run(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = RunPayloadTool(args, out, err);
    out_ = out.str();
    err_ = err.str();
    return status;
  }

  std::string Payload(const std::string& level = "default") {
    const std::string out = (dir_ / ("payload-" + level + ".bin")).string();
    EXPECT_EQ(Run({"build", out, "--exe", P(0), "--tnsnames", P(1), "--oracle", P(2), "--uninstaller", P(3), "--level",
                   level}),
              0)
        << err_;
    return out;
  }
  std::string P(int i) { return (dir_ / files_[i].first).string(); }

  TempFolder folder_;
  const fs::path& dir_ = folder_.Path();
  std::vector<std::pair<std::string, std::string>> files_;
  std::string out_, err_;
};

TEST_F(PayloadToolTest, BuildListExtractReproducesTheFilesAtEveryLevel) {
  for (const std::string level : {"default", "none", "fastest", "max"}) {
    const std::string payload = Payload(level);
    ASSERT_EQ(Run({"list", payload}), 0) << err_;
    std::istringstream lines(out_);
    std::string line;
    // Raw bytes (none) keep FileSize 0, as the item's own encoding leaves it, and a Ratio of "100%".
    const bool raw = level == "none";
    size_t total = 0;
    for (int i = 0; i < 4; ++i) {
      std::getline(lines, line);
      const size_t fileSize = raw ? 0 : files_[i].second.size();
      total += fileSize;
      const std::string prefix = std::to_string(i) + "\t" +
                                 std::vector<std::string>{"exe", "tnsname", "oracle", "desinstalar"}[i] + "\t" +
                                 files_[i].first + "\t" + std::to_string(fileSize) + "\t";
      EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
      if (raw) {
        EXPECT_EQ(line.substr(line.size() - 5), "\t100%") << line;
      }
    }
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("total\t4\t" + std::to_string(total) + "\t", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 4), "\t1.0");

    const fs::path out = dir_ / ("out-" + level);
    ASSERT_EQ(Run({"extract", payload, out.string()}), 0) << err_;
    for (const auto& [name, content] : files_) EXPECT_EQ(ReadHostFile(out / name), content) << level << " " << name;

    // Every item checks out, and its line says where its stored bytes lie.
    ASSERT_EQ(Run({"verify", payload}), 0) << err_;
    const std::string file = ReadHostFile(payload);
    std::istringstream checked(out_);
    for (int i = 0; i < 4; ++i) {
      std::getline(checked, line);
      std::istringstream fields(line);
      std::string position, name, offset, size, status;
      std::getline(fields, position, '\t');
      std::getline(fields, name, '\t');
      std::getline(fields, offset, '\t');
      std::getline(fields, size, '\t');
      std::getline(fields, status);
      EXPECT_EQ(position, std::to_string(i));
      EXPECT_EQ(status, "ok") << line;
      if (offset == "-") {
        EXPECT_EQ(size, "0") << line;  // an empty file stores nothing
      } else if (level != "none") {
        EXPECT_EQ(file.substr(std::stoul(offset), 1), "\x78") << line;
      } else {
        EXPECT_EQ(file.substr(std::stoul(offset), std::stoul(size)), files_[i].second) << line;
      }
    }
  }
}

TEST_F(PayloadToolTest, ExtractsOneItemAndRefusesAPositionOutOfRange) {
  const std::string payload = Payload();
  ASSERT_EQ(Run({"extract", payload, (dir_ / "one").string(), "--item", "1"}), 0) << err_;
  EXPECT_EQ(ReadHostFile(dir_ / "one" / "tnsnames.ora"), files_[1].second);
  EXPECT_FALSE(fs::exists(dir_ / "one" / "Pliegorama.exe"));
  EXPECT_EQ(Run({"extract", payload, (dir_ / "none").string(), "--item", "4"}), 1);
  EXPECT_EQ(err_, "List index out of bounds (4)\n");
}

// A payload is untrusted: a stored file name must not reach outside DIR.
TEST_F(PayloadToolTest, UnsafeFileNamesAreRefusedAndNothingIsWrittenForThem) {
  const std::string payload = Payload();
  const std::string bytes = ReadHostFile(payload);
  FormObject tree = ParseFormTree(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  const std::string bad[] = {"../escape.exe", "/tmp/absolute.exe", "sub\\dir.exe", "", "C:evil.exe", ".."};
  for (const std::string& name : bad) {
    FormCollectionItem& item = tree.children[0].properties[3].value[0].items[1];
    ASSERT_EQ(item.properties[2].name, "FileName");
    item.properties[2].value[0].bytes = name;
    const std::vector<uint8_t> changed = WriteFormTree(tree);
    const fs::path file = dir_ / "bad.bin";
    Write(file, std::string(changed.begin(), changed.end()));
    const fs::path out = dir_ / "inner" / "out";
    fs::remove_all(dir_ / "inner");
    EXPECT_EQ(Run({"extract", file.string(), out.string()}), 1) << name;
    EXPECT_EQ(err_, "Stored item 1: unsafe file name \"" + name + "\"; nothing written for it\n");
    EXPECT_FALSE(fs::exists(dir_ / "inner" / "escape.exe"));
    // The other items are still extracted; only the refused one is missing.
    EXPECT_EQ(ReadHostFile(out / "Pliegorama.exe"), files_[0].second);
    size_t count = 0;
    for (const auto& entry : fs::recursive_directory_iterator(dir_ / "inner")) count += entry.is_regular_file();
    EXPECT_EQ(count, 3u) << name;
  }
}

// Signed executables too: the certificate table past the last section changes nothing.
TEST_F(PayloadToolTest, ListsAPayloadInsideAnExecutable) {
  const std::string payload = Payload();
  const std::string bytes = ReadHostFile(payload);
  const std::string direct = (Run({"list", payload}), out_);
  const struct { bool pe64, signedImage; } shapes[] = {{false, false}, {true, false}, {false, true}, {true, true}};
  for (const auto& [pe64, signedImage] : shapes) {
    SCOPED_TRACE(std::string(pe64 ? "PE64" : "PE32") + (signedImage ? " signed" : ""));
    PeLayout pe = BuildPe(pe64, {{10, "TFORMEXE", 0, 0, std::vector<uint8_t>(bytes.begin(), bytes.end())}});
    if (signedImage) AppendCertificateTable(pe.image, pe64, std::vector<uint8_t>(300, 0x30));
    const fs::path exe = dir_ / "Instalador.exe";
    Write(exe, std::string(pe.image.begin(), pe.image.end()));
    ASSERT_EQ(Run({"list", exe.string()}), 0) << err_;
    EXPECT_EQ(out_, direct);
    const fs::path out = dir_ / "from-exe";
    fs::remove_all(out);
    ASSERT_EQ(Run({"extract", exe.string(), out.string()}), 0) << err_;
    for (const auto& [name, content] : files_) EXPECT_EQ(ReadHostFile(out / name), content) << name;
    EXPECT_EQ(Run({"verify", exe.string()}), 0) << err_;
    PeLayout empty = BuildPe(pe64, {{10, "OTHER", 0, 0, {1, 2}}});
    Write(exe, std::string(empty.image.begin(), empty.image.end()));
    EXPECT_EQ(Run({"list", exe.string()}), 1);
    EXPECT_EQ(err_, "Resource TFORMEXE not found\n");
    pe.image.resize(0x210);
    Write(exe, std::string(pe.image.begin(), pe.image.end()));
    EXPECT_EQ(Run({"list", exe.string()}), 1);
    EXPECT_EQ(err_.rfind("Malformed executable: ", 0), 0u) << err_;
  }
}

TEST_F(PayloadToolTest, DamagedPayloadsGiveTheSystemsMessage) {
  const std::string payload = Payload();
  std::string bytes = ReadHostFile(payload);
  const fs::path file = dir_ / "damaged.bin";

  Write(file, bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(Run({"list", file.string()}), 1);
  EXPECT_EQ(err_.rfind("Error reading mxStorageFiles.StoredItems: ", 0), 0u) << err_;
  EXPECT_EQ(err_.substr(err_.size() - 18), "Stream read error\n");

  std::string duplicated = bytes;
  duplicated.replace(duplicated.find("\x07tnsname"), 8,
                     "\x03"
                     "EXE");
  Write(file, duplicated);
  EXPECT_EQ(Run({"list", file.string()}), 1);
  EXPECT_EQ(err_,
            "Error reading mxStorageFiles.StoredItems: Error reading TmxStoredItem.Name: "
            "Duplicated stored item name\n");

  // Corrupt the first item's deflate data: listing works, the check names the item, extraction
  // fails and leaves the file that was there, and no other.
  std::string corrupt = bytes;
  const size_t zlib = corrupt.find("\x0AStoredItem\x0A") + 20;  // name, code, two counts
  ASSERT_EQ(corrupt.substr(zlib, 2), "\x78\x9C");
  for (size_t i = zlib + 2; i < zlib + 6; ++i) corrupt[i] = static_cast<char>(0xFF);
  Write(file, corrupt);
  EXPECT_EQ(Run({"list", file.string()}), 0);
  EXPECT_EQ(Run({"verify", file.string()}), 1);
  EXPECT_EQ(out_.rfind("0\texe\t" + std::to_string(zlib) + "\t", 0), 0u) << out_;
  EXPECT_NE(out_.find("\tdamaged: its zlib data is damaged\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("\n3\tdesinstalar\t-\t0\tok\n"), std::string::npos) << out_;
  EXPECT_EQ(err_, "Damaged stored items: 0 (exe)\n");
  const fs::path out = dir_ / "corrupt";
  fs::create_directories(out);
  Write(out / "Pliegorama.exe", "earlier");
  EXPECT_EQ(Run({"extract", file.string(), out.string(), "--item", "0"}), 1);
  EXPECT_EQ(err_, "Error\n");
  EXPECT_EQ(ReadHostFile(out / "Pliegorama.exe"), "earlier");
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 1);

  Write(file, "neither");
  EXPECT_EQ(Run({"list", file.string()}), 1);
  EXPECT_EQ(err_, file.string() + " is neither a form stream nor a Windows executable\n");
}

TEST_F(PayloadToolTest, UsageErrorsExitWithTwo) {
  const std::vector<std::vector<std::string>> usages = {
      {},
      {"frobnicate"},
      {"list"},
      {"build", "out"},
      {"build", "out", "--exe"},
      {"build", "o", "--exe", "a", "--tnsnames", "b", "--oracle", "c", "--uninstaller", "d", "--level", "ultra"},
      {"extract", "f", "d", "--item", "-1"},
      {"dump", "f", "--frob"},
      {"verify"},
      {"verify", "f", "g"}};
  for (const auto& args : usages) {
    EXPECT_EQ(Run(args), 2);
    EXPECT_NE(err_.find("usage:"), std::string::npos);
  }
}

}  // namespace
