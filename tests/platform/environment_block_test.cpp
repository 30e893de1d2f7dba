// Environment blocks: entries read back, variables set over them without
// regard to case, and Windows' order (by upper-cased name, unit by unit).
#include "platform/environment_block.h"

#include <gtest/gtest.h>

namespace {

using platform::EnvironmentEntries;
using platform::WithVariables;

std::u16string Block(std::initializer_list<std::u16string> entries) {
  std::u16string block;
  for (const std::u16string& entry : entries) block += entry + u'\0';
  return block + u'\0';
}

TEST(EnvironmentBlock, VariablesSetOverTheBaseInWindowsOrder) {
  const struct {
    const char* what;
    std::u16string base;
    std::vector<std::pair<std::u16string, std::u16string>> variables;
    std::u16string expected;
  } cases[] = {
      {"sorted by upper-cased name",
       Block({u"windir=C:\\windows", u"Path=C:\\w", u"TEMP=C:\\t", u"ComSpec=c"}),
       {},
       Block({u"ComSpec=c", u"Path=C:\\w", u"TEMP=C:\\t", u"windir=C:\\windows"})},
      {"replaced whatever its case",
       Block({u"temp=C:\\windows\\temp", u"TMP=C:\\windows\\temp", u"OS=Windows_NT"}),
       {{u"TEMP", u"C:\\P\\~t"}, {u"TMP", u"C:\\P\\~t"}},
       Block({u"OS=Windows_NT", u"TEMP=C:\\P\\~t", u"TMP=C:\\P\\~t"})},
      {"added when missing", Block({u"A=1"}), {{u"TEMP", u"x"}}, Block({u"A=1", u"TEMP=x"})},
      {"letter case does not sort",
       Block({u"PATHEXT=.exe", u"Path=C:\\w"}),
       {},
       Block({u"Path=C:\\w", u"PATHEXT=.exe"})},
      {"names, not values, are compared", Block({u"A-B=1", u"A=2"}), {}, Block({u"A=2", u"A-B=1"})},
      {"hidden per-drive entries first",
       Block({u"A=1", u"=C:=C:\\x", u"_U=2"}),
       {},
       Block({u"=C:=C:\\x", u"A=1", u"_U=2"})},
      {"wide values kept",
       Block({u"USERPROFILE=C:\\users\\\u0141ukasz"}),
       {},
       Block({u"USERPROFILE=C:\\users\\\u0141ukasz"})},
      {"an empty block ends with two NULs", std::u16string(2, u'\0'), {}, std::u16string(2, u'\0')},
  };
  for (const auto& c : cases) EXPECT_EQ(WithVariables(c.base, c.variables), c.expected) << c.what;
}

TEST(EnvironmentBlock, EntriesStopAtTheEmptyString) {
  EXPECT_EQ(EnvironmentEntries(Block({u"A=1", u"B=2"}) + u"C=3"), (std::vector<std::u16string>{u"A=1", u"B=2"}));
  EXPECT_EQ(EnvironmentEntries(u"A=1"), std::vector<std::u16string>{u"A=1"});
  EXPECT_TRUE(EnvironmentEntries(std::u16string()).empty());
}

}  // namespace
