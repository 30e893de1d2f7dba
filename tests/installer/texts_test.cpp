// The texts the user reads, pinned byte for byte in code page 1252: the line
// joins (LF CR in two texts, CR LF in the others), 0xF3 and 0xBF included.
#include "installer/texts.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "framework/errors.h"
#include "oracle/texts.h"
#include "uninstaller/texts.h"

namespace {

// "4C 61 ..": upper-case hex bytes separated by blanks.
std::string Hex(const std::string& text) {
  std::string hex;
  for (unsigned char c : text) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%s%02X", hex.empty() ? "" : " ", c);
    hex += byte;
  }
  return hex;
}

TEST(Texts, AreTheGoldenBytes) {
  struct Golden {
    const char* what;
    const char* text;
    const char* hex;
  };
  // The box as it reads for an XE client whose home is unknown.
  const std::string notPlaced = Format(texts::kNetServiceEntryNotPlaced, texts::kXEHomeUnknown, "%s", "%s");
  const Golden golden[] = {
      {"title", texts::kApplicationTitle,
       "49 6E 73 74 61 6C 61 64 6F 72 20 4D F3 64 75 6C 6F 20 64 65 20 43 61 70 "
       "74 75 72 61 20 2D 20 53 69 73 74 65 6D 61 20 4C 75 6D 65 6E 74 72 61"},
      {"install succeeded", texts::kInstallSucceeded,
       "4C 61 20 69 6E 73 74 61 6C 61 63 69 F3 6E 20 68 61 20 74 65 72 6D 69 6E "
       "61 64 6F 20 63 6F 6E 20 65 78 69 74 6F"},
      {"install cancelled", texts::kInstallCancelled,
       "4C 61 20 69 6E 73 74 61 6C 61 63 69 F3 6E 20 68 61 20 73 69 64 6F 20 63 "
       "61 6E 63 65 6C 61 64 61"},
      {"restart question", texts::kRestartQuestion,
       "50 61 72 61 20 71 75 65 20 73 65 20 74 65 72 6D 69 6E 65 20 64 65 20 61 "
       "63 74 75 61 6C 69 7A 61 72 20 6C 6F 73 20 63 61 6D 62 69 6F 73 2C 20 65 "
       "73 20 6E 65 63 65 73 61 72 69 6F 20 72 65 69 6E 69 63 69 61 72 20 65 6C "
       "20 65 71 75 69 70 6F 2C 0A 0D BF 53 69 20 64 65 73 65 61 20 72 65 69 6E "
       "69 63 69 61 72 20 65 6C 20 65 71 75 69 70 6F 20 65 6E 20 65 73 74 65 20 "
       "6D 6F 6D 65 6E 74 6F 20 70 72 65 73 69 6F 6E 65 20 73 69 20 6F 20 6E 6F "
       "20 70 61 72 61 20 72 65 69 6E 69 63 69 61 72 6C 6F 20 6D 61 73 20 74 61 "
       "72 64 65 3F"},
      {"no valid Oracle client", texts::kNoValidOracleClient,
       "4E 6F 20 73 65 20 68 61 20 65 6E 63 6F 6E 74 72 61 64 6F 20 75 6E 20 43 "
       "6C 69 65 6E 74 65 20 64 65 20 4F 72 61 63 6C 65 20 76 61 6C 69 64 6F 2C "
       "0A 0D 73 65 20 69 6E 73 74 61 6C 61 72 61 20 65 6C 20 43 6C 69 65 6E 74 "
       "65 20 64 65 20 4F 72 61 63 6C 65 20 58 45 2E"},
      {"wait for the Oracle setup", texts::kWaitForOracleSetup,
       "44 65 62 65 20 65 73 70 65 72 61 72 20 61 20 71 75 65 20 65 6C 20 69 6E "
       "73 74 61 6C 61 64 6F 72 20 64 65 6C 20 43 6C 69 65 6E 74 65 20 64 65 20 "
       "4F 72 61 63 6C 65 20 58 45 20 74 65 72 6D 69 6E 65 2E 0D 0A 55 6E 61 20 "
       "76 65 7A 20 74 65 72 6D 69 6E 61 64 61 20 6C 61 20 69 6E 73 74 61 63 69 "
       "F3 6E 20 70 72 65 73 69 6F 6E 65 20 65 6E 20 59 65 73 20 70 61 72 61 20 "
       "63 6F 6E 74 69 6E 75 61 72 20 6F 20 4E 6F 20 70 61 72 61 20 63 61 6E 63 "
       "65 6C 61 72 20 6C 61 20 69 6E 73 74 61 6C 61 63 69 F3 6E 2E"},
      {"net service entry not placed", notPlaced.c_str(),
       "4E 6F 20 73 65 20 70 75 64 6F 20 61 67 72 65 67 61 72 20 6C 61 20 65 6E "
       "74 72 61 64 61 20 64 65 20 73 65 72 76 69 63 69 6F 20 64 65 20 72 65 64 "
       "20 54 72 61 6D 69 64 65 78 20 61 6C 20 61 72 63 68 69 76 6F 20 74 6E 73 "
       "6E 61 6D 65 73 2E 6F 72 61 20 64 65 6C 20 43 6C 69 65 6E 74 65 20 64 65 "
       "20 4F 72 61 63 6C 65 20 58 45 3A 20 6E 6F 20 73 65 20 73 61 62 65 20 65 "
       "6E 20 71 75 E9 20 63 61 72 70 65 74 61 20 65 73 74 E1 20 69 6E 73 74 61 "
       "6C 61 64 6F 2E 0D 0A 50 61 72 61 20 71 75 65 20 65 6C 20 53 69 73 74 65 "
       "6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 20 73 65 20 63 6F 6E 65 63 74 "
       "65 20 63 6F 6E 20 73 75 20 62 61 73 65 20 64 65 20 64 61 74 6F 73 20 28 "
       "73 65 72 76 69 64 6F 72 20 25 73 29 2C 20 61 67 72 65 67 75 65 20 61 20 "
       "6D 61 6E 6F 20 65 73 74 61 20 6C ED 6E 65 61 20 61 20 65 73 65 20 61 72 "
       "63 68 69 76 6F 3A 0D 0A 0D 0A 25 73"},
      {"home behind a link", texts::kHomeBehindLink,
       "64 65 20 6C 61 20 63 61 72 70 65 74 61 20 64 65 20 4F 72 61 63 6C 65 20 "
       "25 73 3A 20 65 6C 20 69 6E 73 74 61 6C 61 64 6F 72 20 6E 6F 20 65 73 63 "
       "72 69 62 65 20 61 20 74 72 61 76 E9 73 20 64 65 20 25 73 2C 20 75 6E 20 "
       "76 ED 6E 63 75 6C 6F 20 28 75 6E 61 20 75 6E 69 F3 6E 2C 20 75 6E 20 76 "
       "ED 6E 63 75 6C 6F 20 73 69 6D 62 F3 6C 69 63 6F 20 6F 20 75 6E 20 70 75 "
       "6E 74 6F 20 64 65 20 6D 6F 6E 74 61 6A 65 29 20 71 75 65 20 6E 6F 20 63 "
       "72 65 F3 20 75 6E 20 61 64 6D 69 6E 69 73 74 72 61 64 6F 72 20 6F 20 71 "
       "75 65 20 6F 63 75 70 61 20 65 6C 20 6C 75 67 61 72 20 64 65 6C 20 70 72 "
       "6F 70 69 6F 20 61 72 63 68 69 76 6F"},
      {"file with a second name", texts::kFileWithSecondName,
       "64 65 20 6C 61 20 63 61 72 70 65 74 61 20 64 65 20 4F 72 61 63 6C 65 20 "
       "25 73 3A 20 65 73 65 20 61 72 63 68 69 76 6F 20 74 69 65 6E 65 20 6F 74 "
       "72 6F 20 6E 6F 6D 62 72 65 20 65 6E 20 65 6C 20 64 69 73 63 6F 20 28 75 "
       "6E 20 76 ED 6E 63 75 6C 6F 20 66 ED 73 69 63 6F 29 2C 20 79 20 65 6C 20 "
       "69 6E 73 74 61 6C 61 64 6F 72 20 6E 6F 20 6C 6F 20 6C 65 65 20 6E 69 20 "
       "6C 6F 20 72 65 65 6D 70 6C 61 7A 61"},
      {"other users signed in", texts::kOtherUsersSignedIn,
       "48 61 79 20 6F 74 72 6F 73 20 75 73 75 61 72 69 6F 73 20 63 6F 6E 20 6C "
       "61 20 73 65 73 69 F3 6E 20 69 6E 69 63 69 61 64 61 20 65 6E 20 65 73 74 "
       "65 20 65 71 75 69 70 6F 2E 20 53 69 20 6C 6F 20 72 65 69 6E 69 63 69 61 "
       "20 61 68 6F 72 61 2C 20 73 75 73 20 73 65 73 69 6F 6E 65 73 20 73 65 20 "
       "63 65 72 72 61 72 E1 6E 20 79 20 70 6F 64 72 ED 61 6E 20 70 65 72 64 65 "
       "72 20 65 6C 20 74 72 61 62 61 6A 6F 20 71 75 65 20 6E 6F 20 68 61 79 61 "
       "6E 20 67 75 61 72 64 61 64 6F 2E"},
      {"uninstall question", texts::kUninstallQuestion,
       "BF 44 65 73 65 61 20 64 65 73 69 6E 73 74 61 6C 61 72 20 65 6C 20 53 69 "
       "73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 20 64 65 20 65 73 74 "
       "65 20 65 71 75 69 70 6F 3F 0D 0A 0D 0A 53 65 20 71 75 69 74 61 72 E1 6E "
       "20 65 6C 20 70 72 6F 67 72 61 6D 61 2C 20 65 6C 20 64 65 73 69 6E 73 74 "
       "61 6C 61 64 6F 72 20 79 20 73 75 73 20 61 63 63 65 73 6F 73 20 64 69 72 "
       "65 63 74 6F 73 2E 20 45 6C 20 43 6C 69 65 6E 74 65 20 64 65 20 4F 72 61 "
       "63 6C 65 20 79 20 65 6C 20 61 72 63 68 69 76 6F 20 74 6E 73 6E 61 6D 65 "
       "73 2E 6F 72 61 20 6E 6F 20 73 65 20 6D 6F 64 69 66 69 63 61 6E 2E"},
      {"uninstall succeeded", texts::kUninstallSucceeded,
       "45 6C 20 53 69 73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 20 68 "
       "61 20 73 69 64 6F 20 64 65 73 69 6E 73 74 61 6C 61 64 6F 2E"},
      {"uninstall incomplete", texts::kUninstallIncomplete,
       "4E 6F 20 73 65 20 70 75 64 6F 20 71 75 69 74 61 72 20 74 6F 64 6F 20 65 "
       "6C 20 53 69 73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 2E 20 43 "
       "69 65 72 72 65 20 65 6C 20 70 72 6F 67 72 61 6D 61 20 73 69 20 65 73 74 "
       "E1 20 61 62 69 65 72 74 6F 20 79 20 76 75 65 6C 76 61 20 61 20 65 6A 65 "
       "63 75 74 61 72 20 65 6C 20 64 65 73 69 6E 73 74 61 6C 61 64 6F 72 2E 20 "
       "51 75 65 64 61 6E 3A"},
      {"not installed", texts::kUninstallNotInstalled,
       "45 6C 20 53 69 73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 20 6E "
       "6F 20 65 73 74 E1 20 69 6E 73 74 61 6C 61 64 6F 20 65 6E 20 65 73 74 65 "
       "20 65 71 75 69 70 6F 2E"},
      {"installer damaged", texts::kInstallerDamaged,
       "45 6C 20 69 6E 73 74 61 6C 61 64 6F 72 20 65 73 74 E1 20 64 61 F1 61 64 "
       "6F 20 28 53 69 73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 29 2E "
       "20 44 65 73 63 61 72 67 75 65 20 75 6E 61 20 63 6F 70 69 61 20 6E 75 65 "
       "76 61 2E"},
      {"uninstall succeeded, the rest at the restart", texts::kUninstallSucceededAtRestart,
       "45 6C 20 53 69 73 74 65 6D 61 20 64 65 20 4C 75 6D 65 6E 74 72 61 20 68 "
       "61 20 73 69 64 6F 20 64 65 73 69 6E 73 74 61 6C 61 64 6F 2E 20 41 6C 20 "
       "72 65 69 6E 69 63 69 61 72 20 65 6C 20 65 71 75 69 70 6F 20 73 65 20 71 "
       "75 69 74 61 72 E1 6E 20 74 61 6D 62 69 E9 6E 3A"},
      {"Windows without the safe DLL search", texts::kWindowsWithoutSafeDllSearch,
       "45 73 74 65 20 70 72 6F 67 72 61 6D 61 20 6E 65 63 65 73 69 74 61 20 75 "
       "6E 61 20 61 63 74 75 61 6C 69 7A 61 63 69 F3 6E 20 64 65 20 73 65 67 75 "
       "72 69 64 61 64 20 64 65 20 57 69 6E 64 6F 77 73 20 71 75 65 20 66 61 6C "
       "74 61 20 65 6E 20 65 73 74 65 20 65 71 75 69 70 6F 20 28 4B 42 32 35 33 "
       "33 36 32 33 2C 20 71 75 65 20 70 65 72 6D 69 74 65 20 63 61 72 67 61 72 "
       "20 6C 61 73 20 62 69 62 6C 69 6F 74 65 63 61 73 20 73 6F 6C 6F 20 64 65 "
       "73 64 65 20 6C 61 20 63 61 72 70 65 74 61 20 64 65 6C 20 73 69 73 74 65 "
       "6D 61 29 2E 0D 0A 0D 0A 49 6E 73 74 61 6C 65 20 6C 61 73 20 61 63 74 75 "
       "61 6C 69 7A 61 63 69 6F 6E 65 73 20 64 65 20 57 69 6E 64 6F 77 73 20 79 "
       "20 76 75 65 6C 76 61 20 61 20 65 6A 65 63 75 74 61 72 20 65 6C 20 70 72 "
       "6F 67 72 61 6D 61 2E"},
  };
  for (const Golden& g : golden) EXPECT_EQ(Hex(g.text), g.hex) << g.what;
}

}  // namespace
