// Texts of dialogs: each line join shows as exactly one break; the error box's
// closing period.
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

TEST(DialogText, ClosingPeriodWhenTheLastCharacterSortsAfterIt) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"Program Files Path Error", "Program Files Path Error."},
      {"Already closed.", "Already closed."},
      {"", ""},
      {"Cannot create file \"C:\\x\". Access is denied", "Cannot create file \"C:\\x\". Access is denied."},
      {"List index out of bounds (4)", "List index out of bounds (4)"},  // ')' sorts before '.'
      {"Wrong!", "Wrong!"},
      {"dash-", "dash-"},
      {"slash/", "slash/."},  // '/' is the first character after '.'
      {"digit 9", "digit 9."},
      {"ends in a line break\n", "ends in a line break\n"},
      {"instalaci\xF3n", "instalaci\xF3n."},  // code page 1252 bytes count as above '.'
  };
  for (const auto& c : cases) EXPECT_EQ(platform::ApplicationErrorText(c.message), c.shown) << c.message;
}

}  // namespace
