// The uninstaller on a host machine: what it removes after an install, what
// it leaves, and how it reports files that cannot go.
#include <gtest/gtest.h>

#include <algorithm>

#include "framework/text_case.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/row_name.h"
#include "uninstaller/texts.h"
#include "uninstaller/uninstall.h"

namespace install_test {
namespace {

using platform::FileLock;
using platform::kIdNo;
using platform::kIdOk;
using platform::kIdYes;

class UninstallTest : public InstallTest {
 protected:
  // A finished install with the XE client configured, as the user leaves it.
  void Install() {
    RegisterXEClient();
    machine.QueueDialogAnswers({kIdOk, kIdNo});
    form->InstallProduct();
    ASSERT_TRUE(machine.FileExists(kUninstallerExe));
    ASSERT_TRUE(machine.FileExists(kXETnsnames));
    dialogsBefore = machine.Dialogs().size();
  }

  // Started from its shortcut: the process runs from the uninstaller's file,
  // which it therefore cannot delete.
  void RunFromItsShortcut() {
    machine.SetModuleFileName(kUninstallerExe);
    machine.SetFileLock(kUninstallerExe, FileLock::Running);
  }

  int Uninstall(std::initializer_list<int> answers) {
    machine.QueueDialogAnswers(answers);
    return uninstall::RunUninstaller(machine,
                                     [this](const std::string& path) { return path == machine.ModuleFileName(); });
  }

  std::vector<std::string> UninstallDialogs() {
    const std::vector<std::string> all = DialogTexts();
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(dialogsBefore), all.end());
  }

  void ExpectProductRemoved() {
    for (const std::string& gone : {kProductExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
      EXPECT_FALSE(machine.FileExists(gone)) << gone;
    }
    EXPECT_FALSE(machine.DirectoryExists(kGroup));
  }

  void ExpectOracleClientKept() {
    EXPECT_EQ(Read(kXETnsnames), kStoredTnsnames);
    EXPECT_TRUE(machine.KeyExists(RootKey::LocalMachine, kXEClientKey));
  }

  size_t dialogsBefore = 0;
};

// What goes at the restart when it runs from its own file: that file, then
// its folders, in place.
const std::vector<std::string> kAtRestart{kUninstallerExe, kProductFolder, kOrganisationFolder};

TEST_F(UninstallTest, StartedFromItsShortcutRemovesItsOwnFileAtTheRestart) {
  Install();
  RunFromItsShortcut();

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalledAtRestart);

  ExpectProductRemoved();
  ExpectOracleClientKept();
  // Its own file, and the folders that hold it, go at the restart where they
  // are (moved out, it would lie in a folder other users can write), and the
  // user is told so.
  EXPECT_EQ(machine.DeletionsAtRestart(), kAtRestart);
  EXPECT_EQ(UninstallDialogs(),
            (std::vector<std::string>{texts::kUninstallQuestion, std::string(texts::kUninstallSucceededAtRestart) +
                                                                     "\r\n" + kUninstallerExe + "\r\n" +
                                                                     kProductFolder + "\r\n" + kOrganisationFolder}));
  machine.Restart();
  EXPECT_FALSE(machine.DirectoryExists(kOrganisationFolder));
  EXPECT_TRUE(machine.DirectoryExists(kProgramFiles));
}

TEST_F(UninstallTest, StartedFromElsewhereRemovesTheUninstallerAtOnce) {
  Install();
  machine.SetModuleFileName("C:\\copia\\DesInstalador.exe");

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);

  ExpectProductRemoved();
  ExpectOracleClientKept();
  EXPECT_TRUE(machine.DeletionsAtRestart().empty());
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.DirectoryExists(kOrganisationFolder));
}

// Nothing is copied, moved, started or written outside the install's own
// places: nothing is added anywhere, the Windows Temp folder included.
TEST_F(UninstallTest, TouchesOnlyWhatTheInstallMade) {
  Install();
  RunFromItsShortcut();
  const std::vector<std::string> before = machine.AllPaths();

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalledAtRestart);

  const std::vector<std::string> after = machine.AllPaths();
  const auto within = [](const std::string& path, const std::string& folder) {
    const std::string upper = AnsiUpper(folder);
    return path == upper || path.compare(0, upper.size() + 1, upper + "\\") == 0;
  };
  for (const std::string& path : before) {
    if (std::binary_search(after.begin(), after.end(), path)) continue;
    EXPECT_TRUE(within(path, kOrganisationFolder) || within(path, kGroup) || within(path, kDesktopLink))
        << "removed " << path;
  }
  for (const std::string& path : after) {
    EXPECT_TRUE(std::binary_search(before.begin(), before.end(), path)) << "added " << path;
  }
  EXPECT_EQ(machine.DeletionsAtRestart(), kAtRestart);
  EXPECT_TRUE(machine.StartedPrograms().empty());
}

// Its own file goes at the restart in place, with its folders, whether or not
// there is a Windows Temp folder; the user is told so. Without the restart's
// help it stays, and is named.
enum class OwnFile { InPlaceAtRestart, Stays };

struct OwnFileCase {
  const char* name;
  bool temporaryFolder;
  bool restartDeletionsAllowed;
  OwnFile outcome;
  int result;
};

class UninstallOwnFileTest : public UninstallTest, public testing::WithParamInterface<OwnFileCase> {};

TEST_P(UninstallOwnFileTest, SaysWhatGoesWhen) {
  const OwnFileCase& c = GetParam();
  Install();
  RunFromItsShortcut();
  if (!c.temporaryFolder) {
    ASSERT_TRUE(machine.RemoveFolder(kTempFolder));
  }
  machine.SetDeletionsAtRestartRefused(!c.restartDeletionsAllowed);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), c.result);

  ExpectProductRemoved();
  const std::string last = UninstallDialogs().back();
  switch (c.outcome) {
    case OwnFile::InPlaceAtRestart:
      EXPECT_EQ(last, std::string(texts::kUninstallSucceededAtRestart) + "\r\n" + kUninstallerExe + "\r\n" +
                          kProductFolder + "\r\n" + kOrganisationFolder);
      EXPECT_EQ(machine.DeletionsAtRestart(),
                (std::vector<std::string>{kUninstallerExe, kProductFolder, kOrganisationFolder}));
      EXPECT_TRUE(machine.FileExists(kUninstallerExe));
      break;
    case OwnFile::Stays:
      EXPECT_EQ(last, std::string(texts::kUninstallIncomplete) + "\r\n" + kUninstallerExe);
      EXPECT_EQ(machine.Dialogs().back().type, DialogType::Error);
      EXPECT_TRUE(machine.FileExists(kUninstallerExe));
  }
  if (c.outcome != OwnFile::Stays) {
    EXPECT_EQ(machine.Dialogs().back().type, DialogType::Information);
  }
  machine.Restart();
  EXPECT_EQ(machine.DirectoryExists(kOrganisationFolder), c.outcome == OwnFile::Stays);
}

INSTANTIATE_TEST_SUITE_P(Roads, UninstallOwnFileTest,
                         testing::Values(OwnFileCase{"AtTheRestartBesideATempFolder", true, true,
                                                     OwnFile::InPlaceAtRestart, uninstall::kUninstalledAtRestart},
                                         OwnFileCase{"StaysWhenTheRestartRefusesIt", true, false, OwnFile::Stays,
                                                     uninstall::kIncomplete},
                                         OwnFileCase{"AtTheRestart", false, true, OwnFile::InPlaceAtRestart,
                                                     uninstall::kUninstalledAtRestart},
                                         OwnFileCase{"NotAtAll", false, false, OwnFile::Stays, uninstall::kIncomplete}),
                         RowName());

TEST_F(UninstallTest, NoLeavesEverything) {
  Install();
  EXPECT_EQ(Uninstall({kIdNo}), uninstall::kDeclined);
  EXPECT_TRUE(machine.FileExists(kProductExe));
  EXPECT_TRUE(machine.FileExists(kGroupUninstallerLink));
  EXPECT_EQ(UninstallDialogs(), std::vector<std::string>{texts::kUninstallQuestion});
}

TEST_F(UninstallTest, RunningProductStopsBeforeAnythingIsRemoved) {
  Install();
  RunFromItsShortcut();
  machine.SetFileLock(kProductExe, FileLock::Running);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);

  machine.SetFileLock(kProductExe, FileLock::None);
  EXPECT_TRUE(machine.FileExists(kProductExe));
  EXPECT_TRUE(machine.FileExists(kGroupUninstallerLink));
  EXPECT_TRUE(machine.FileExists(kDesktopLink));
  EXPECT_TRUE(machine.DeletionsAtRestart().empty());
  const std::vector<std::string> dialogs = UninstallDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1], std::string(texts::kUninstallIncomplete) + "\r\n" + kProductExe);
  EXPECT_EQ(machine.Dialogs().back().type, DialogType::Error);
}

TEST_F(UninstallTest, LinkThatCannotGoKeepsTheUninstallerForAnotherTry) {
  Install();
  RunFromItsShortcut();
  machine.SetFileLock(kDesktopLink, FileLock::Exclusive);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);

  EXPECT_EQ(UninstallDialogs().back(), std::string(texts::kUninstallIncomplete) + "\r\n" + kDesktopLink);
  EXPECT_TRUE(machine.DeletionsAtRestart().empty());
  EXPECT_TRUE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.FileExists(kProductExe));
  EXPECT_FALSE(machine.FileExists(kGroupProductLink));

  // The second try, once the link is free, finishes the job.
  machine.SetFileLock(kDesktopLink, FileLock::None);
  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalledAtRestart);
  ExpectProductRemoved();
  EXPECT_EQ(machine.DeletionsAtRestart(), kAtRestart);
}

TEST_F(UninstallTest, WhatTheUserAddedStays) {
  Install();
  RunFromItsShortcut();
  machine.CreateShellLink("C:\\otro.exe", "", "C:\\", std::string(kGroup) + "\\Otro.lnk");
  machine.WriteFileBytes(std::string(kProductFolder) + "\\datos.txt", "user data");

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalledAtRestart);

  EXPECT_TRUE(machine.FileExists(std::string(kGroup) + "\\Otro.lnk"));
  EXPECT_FALSE(machine.FileExists(kGroupProductLink));
  EXPECT_EQ(Read(std::string(kProductFolder) + "\\datos.txt"), "user data");
  EXPECT_EQ(machine.DeletionsAtRestart(), kAtRestart);
  machine.Restart();
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
  EXPECT_EQ(Read(std::string(kProductFolder) + "\\datos.txt"), "user data");  // a folder goes only when empty
}

TEST_F(UninstallTest, LeftoverSetupProgramIsRemovedToo) {
  Install();
  machine.WriteFileBytes(kSetupExe, "setup");
  machine.SetModuleFileName("C:\\copia\\DesInstalador.exe");
  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);
  EXPECT_FALSE(machine.DirectoryExists(kProductFolder));
}

TEST_F(UninstallTest, NothingInstalledIsSaid) {
  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);
  EXPECT_EQ(UninstallDialogs(), (std::vector<std::string>{texts::kUninstallQuestion, texts::kUninstallNotInstalled}));
}

TEST_F(UninstallTest, FolderErrorIsShownInTheErrorBoxForm) {
  machine.DeleteKeyTree(RootKey::LocalMachine, kCurrentVersionKey);
  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);
  EXPECT_EQ(UninstallDialogs().back(), "Program Files Path Error.");
}

// A link another user put in the Start-menu folders or on the desktop after
// the install: nothing is deleted through it. A link of ours behind it counts
// as one that cannot go: it is named, and the uninstaller stays for another try.
class PlantedUninstallTest : public UninstallTest, public testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedUninstallTest, DeletesNothingThroughIt) {
  Install();
  Plant(machine, kProfile, GetParam(), VictimLinks());
  const std::vector<std::string> victim = VictimState(machine);
  machine.SetModuleFileName("C:\\copia\\DesInstalador.exe");

  const int result = Uninstall({kIdYes, kIdOk});

  EXPECT_EQ(VictimState(machine), victim);
  std::string left;
  for (const std::string& link : {kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
    if (GetParam().Refused() && Behind(link, kProfile, GetParam())) left += "\r\n" + link;
  }
  if (left.empty()) {
    EXPECT_EQ(result, uninstall::kUninstalled);
    ExpectProductRemoved();
  } else {
    EXPECT_EQ(result, uninstall::kIncomplete);
    EXPECT_EQ(UninstallDialogs().back(), texts::kUninstallIncomplete + left);
    EXPECT_TRUE(machine.FileExists(kUninstallerExe));
  }
}

INSTANTIATE_TEST_SUITE_P(StartMenu, PlantedUninstallTest, testing::ValuesIn(StartMenuCases()), RowName());

}  // namespace
}  // namespace install_test
