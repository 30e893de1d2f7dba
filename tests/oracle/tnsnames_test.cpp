// The tnsnames.ora text editing: line splitting, the corpus of real-looking
// files with their expected results, and generated files whose other entries
// must all survive the edit.
#include "oracle/tnsnames.h"

#include <gtest/gtest.h>

#include "tests/support/host_files.h"
#include "tests/support/row_name.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <random>

namespace {

constexpr char kHost[] = "10.20.30.40";
const std::string kAppended =
    "Tramidex = (DESCRIPTION =(ADDRESS_LIST =(ADDRESS = (PROTOCOL = TCP)(HOST = 10.20.30.40)(PORT = 1521)))"
    "(CONNECT_DATA = (SID = vardo)))";
const std::string kSetByName =
    "Tramidex =(DESCRIPTION =(ADDRESS_LIST =(ADDRESS = (PROTOCOL = TCP)(HOST = 10.20.30.40)(PORT = 1521)))"
    "(CONNECT_DATA = (SID = vardo)))";

TEST(NetServiceLines, FormsAreExact) {
  EXPECT_EQ(tnsnames::AppendedLine(kHost), kAppended);
  EXPECT_EQ(tnsnames::SetByNameLine(kHost), kSetByName);
  EXPECT_EQ(tnsnames::StoredFileLine(kHost),
            "Tramidex = (DESCRIPTION = (ADDRESS_LIST = (ADDRESS = (PROTOCOL = TCP)(HOST = 10.20.30.40)"
            "(PORT = 1521)) ) (CONNECT_DATA = (SID = vardo) ) )");
}

struct SplitCase {
  const char* name;
  std::string text;
  std::vector<std::string> lines;
};

class SplitLinesTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLinesTest, Splits) { EXPECT_EQ(tnsnames::SplitLines(GetParam().text), GetParam().lines); }

INSTANTIATE_TEST_SUITE_P(LineEnds, SplitLinesTest,
                         testing::Values(SplitCase{"empty", "", {}}, SplitCase{"crlf", "a\r\nb\r\n", {"a", "b"}},
                                         SplitCase{"lf", "a\nb\n", {"a", "b"}}, SplitCase{"cr", "a\rb\r", {"a", "b"}},
                                         SplitCase{"no_final_end", "a\r\nb", {"a", "b"}},
                                         SplitCase{"lf_cr_is_two_ends", "a\n\rb", {"a", "", "b"}},
                                         SplitCase{"blank_lines", "\r\n\n\r", {"", "", ""}},
                                         SplitCase{"stops_at_nul", std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
                                         SplitCase{"nul_after_end", std::string("a\r\n\0\0", 5), {"a"}},
                                         SplitCase{"high_bytes_kept", "instalaci\xF3n\r\n", {"instalaci\xF3n"}}),
                         RowName());

TEST(NetServiceText, TextAfterNulIsDetected) {
  EXPECT_FALSE(tnsnames::HasTextAfterNul("A = (x)\r\n"));
  EXPECT_FALSE(tnsnames::HasTextAfterNul(std::string("A = (x)\r\n\0\0\0", 12)));
  EXPECT_TRUE(tnsnames::HasTextAfterNul(std::string("A = (x)\0B = (y)", 15)));
}

std::string ReadDataFile(const std::string& name) {
  const std::string path = std::string(INSTALADOR_TEST_DATA) + "/tnsnames/" + name;
  EXPECT_TRUE(std::filesystem::exists(path)) << name;
  return ReadHostFile(path);
}

class CorpusTest : public testing::TestWithParam<const char*> {};

TEST_P(CorpusTest, EditGivesExpectedFile) {
  const std::string name = GetParam();
  const std::string input = ReadDataFile(name + ".ora");
  const std::string expected = ReadDataFile(name + ".expected");
  EXPECT_EQ(tnsnames::SetNetServiceEntry(input, kHost), expected);
}

INSTANTIATE_TEST_SUITE_P(Files, CorpusTest,
                         testing::Values("no_alias", "empty", "single_line_entry", "multi_line_entry", "lf_only",
                                         "cr_only", "no_final_line_end", "alias_in_comment", "alias_in_longer_name",
                                         "two_matching", "other_spacing", "name_line_only", "unbalanced_entry",
                                         "comments_inside_entry", "descriptor_on_name_line", "mixed_line_ends"),
                         [](const testing::TestParamInfo<const char*>& info) { return std::string(info.param); });

// Generated files: blocks of lines (entries, comments, blank lines) joined with
// a random line end. Whatever is not the product's entry must come back line
// for line; the product's entry becomes one set-by-name line in its place, or
// one line at the end when there is none.
struct GeneratedFile {
  std::string text;
  std::vector<std::string> expectedLines;
};

class FileGenerator {
 public:
  explicit FileGenerator(unsigned seed) : random_(seed) {}

  GeneratedFile Next() {
    std::vector<std::vector<std::string>> blocks;
    const int entries = Pick(0, 6);
    for (int i = 0; i < entries; ++i) {
      if (Pick(0, 2) == 0) blocks.push_back({Pick(0, 1) ? "" : "# " + Word() + " " + Word()});
      blocks.push_back(Entry(OtherName()));
    }
    bool mentioned = false;
    if (Pick(0, 4) == 0) {  // the alias where only the presence test sees it
      blocks.insert(blocks.begin() + Pick(0, static_cast<int>(blocks.size())),
                    Pick(0, 1) ? std::vector<std::string>{"# see Tramidex"} : Entry("TRAMIDEX_DEV"));
      mentioned = true;
    }
    size_t productBlock = blocks.size();
    if (Pick(0, 2) != 0) {
      productBlock = static_cast<size_t>(Pick(0, static_cast<int>(blocks.size())));
      const char* names[] = {"Tramidex ", "TRAMIDEX ", "tramidex "};
      blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(productBlock), Entry(names[Pick(0, 2)], false));
    }

    GeneratedFile file;
    const char* ends[] = {"\r\n", "\n", "\r"};
    const std::string end = ends[Pick(0, 2)];
    for (size_t b = 0; b < blocks.size(); ++b) {
      for (const std::string& line : blocks[b]) file.text += line + end;
      if (b == productBlock) {
        file.expectedLines.push_back(kSetByName);
      } else {
        file.expectedLines.insert(file.expectedLines.end(), blocks[b].begin(), blocks[b].end());
      }
    }
    if (productBlock == blocks.size()) file.expectedLines.push_back(mentioned ? kSetByName : kAppended);
    if (!file.text.empty() && Pick(0, 3) == 0) file.text.resize(file.text.size() - end.size());
    return file;
  }

 private:
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  std::string Word() {
    static const char* words[] = {"ORCL", "prod", "Reports", "XE", "sales_db", "PLSExtProc", "hr"};
    return words[Pick(0, 6)];
  }
  std::string OtherName() { return Word() + std::to_string(Pick(0, 99)) + " "; }

  std::string Address() {
    return "(ADDRESS = (PROTOCOL = TCP)(HOST = 192.168.0." + std::to_string(Pick(1, 254)) + ")(PORT = 1521))";
  }

  // An entry in one of the layouts people and Oracle's tools write.
  std::vector<std::string> Entry(const std::string& name, bool commentsInside = true) {
    switch (Pick(0, 2)) {
      case 0:
        return {name + "= (DESCRIPTION = " + Address() + "(CONNECT_DATA = (SID = " + Word() + ")))"};
      case 1: {
        std::vector<std::string> lines = {name + "=", "  (DESCRIPTION ="};
        if (commentsInside && Pick(0, 1)) lines.push_back("    # primary");
        lines.push_back("    (ADDRESS_LIST =");
        for (int i = Pick(1, 3); i > 0; --i) lines.push_back("      " + Address());
        lines.push_back("    )");
        lines.push_back("    (CONNECT_DATA =");
        lines.push_back("      (SERVICE_NAME = " + Word() + ")");
        lines.push_back("    )");
        lines.push_back("  )");
        return lines;
      }
      default:
        return {name + "=(DESCRIPTION =", "\t" + Address(), "\t(CONNECT_DATA = (SID = " + Word() + ")))"};
    }
  }

  std::mt19937 random_;
};

TEST(NetServiceProperty, OtherEntriesSurviveTheEdit) {
  FileGenerator generator(20240611);
  for (int i = 0; i < 2000; ++i) {
    const GeneratedFile file = generator.Next();
    const std::string edited = tnsnames::SetNetServiceEntry(file.text, kHost);
    ASSERT_EQ(edited, tnsnames::JoinLines(file.expectedLines)) << "file " << i << ":\n" << file.text;
    // A second run finds its own entry and puts it back in the same place.
    const std::string again = tnsnames::SetNetServiceEntry(edited, kHost);
    const std::vector<std::string> lines = tnsnames::SplitLines(again);
    ASSERT_EQ(lines.size(), file.expectedLines.size()) << "file " << i;
    ASSERT_EQ(std::count(lines.begin(), lines.end(), kSetByName), 1) << "file " << i;
  }
}

}  // namespace
