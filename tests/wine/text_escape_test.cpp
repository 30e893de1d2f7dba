// The inspection tools' escaping: what scenarios grep for must mean one text only.
#include "tests/wine/text_escape.h"

#include <gtest/gtest.h>

namespace {

struct EscapeCase {
  const char* raw;
  const char* escaped;
};

const EscapeCase kCases[] = {
    {"Instalar", "Instalar"},
    {"M\xF3"
     "dulo de Captura",
     "M\\xF3dulo de Captura"},
    {"C:\\Program Files\\Vesko", "C:\\\\Program Files\\\\Vesko"},
    {"say \"hi\"", "say \\\"hi\\\""},
    {"line\r\nnext\tcol", "line\\r\\nnext\\tcol"},
    {"\x01\x7F\xFF", "\\x01\\x7F\\xFF"},
    {"", ""},
};

class EscapeTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeTest, EscapesAndComesBack) {
  EXPECT_EQ(EscapeText(GetParam().raw), GetParam().escaped);
  EXPECT_EQ(UnescapeText(GetParam().escaped), GetParam().raw);
}

INSTANTIATE_TEST_SUITE_P(Texts, EscapeTest, ::testing::ValuesIn(kCases));

TEST(UnescapeTest, IncompleteOrUnknownEscapesStayAsTheyAre) {
  const EscapeCase cases[] = {
      {"\\", "\\"}, {"a\\", "a\\"}, {"\\x", "\\x"}, {"\\x4", "\\x4"}, {"\\xG1", "\\xG1"}, {"\\q", "\\q"},
  };
  for (const EscapeCase& c : cases) EXPECT_EQ(UnescapeText(c.escaped), c.raw) << c.escaped;
}

TEST(UnescapeTest, HexEscapeAtTheVeryEnd) { EXPECT_EQ(UnescapeText("ab\\x41"), "abA"); }

}  // namespace
