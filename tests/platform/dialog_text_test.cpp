// Line joins in dialog texts: each join shows as exactly one break.
#include "platform/dialog_text.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogText, EveryJoinBecomesOneBreak) {
  const struct {
    const char* text;
    const char* shown;
  } cases[] = {
      {"a\nb", "a\r\nb"},
      {"a\r\nb", "a\r\nb"},
      {"a\n\rb", "a\r\nb"},  // LF CR, as the restart question joins its lines
      {"a\rb", "a\r\nb"},
      {"a\n\nb", "a\r\n\r\nb"},
      {"a\r\n\r\nb", "a\r\n\r\nb"},
      {"a\n\r\nb", "a\r\n\r\nb"},
      {"trailing\n", "trailing\r\n"},
      {"", ""},
      {"no break \xF3", "no break \xF3"},
  };
  for (const auto& c : cases) EXPECT_EQ(platform::NormalizeLineBreaks(c.text), c.shown) << c.text;
}

}  // namespace
