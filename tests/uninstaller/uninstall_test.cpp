// The uninstaller on a host machine: what it removes after an install, what
// it leaves, and how it reports files that cannot go.
#include <gtest/gtest.h>

#include <optional>

#include "installer/texts.h"
#include "tests/installer/install_machine.h"
#include "uninstaller/uninstall.h"

namespace install_test {
namespace {

using platform::FileLock;
using platform::kIdNo;
using platform::kIdOk;
using platform::kIdYes;

class RecordingSelfRemoval : public uninstall::SelfRemoval {
 public:
  explicit RecordingSelfRemoval(platform::Platform& system) : system_(system) {}
  bool IsRunningFrom(const std::string& path) override { return path == system_.ModuleFileName(); }
  bool Schedule(const uninstall::Remainder& remainder) override {
    scheduled = remainder;
    return succeeds;
  }
  bool succeeds = true;
  std::optional<uninstall::Remainder> scheduled;

 private:
  platform::Platform& system_;
};

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

  int Uninstall(std::initializer_list<int> answers) {
    machine.QueueDialogAnswers(answers);
    TFormInstalador uninstallerForm(machine);
    return uninstall::RunUninstaller(uninstallerForm, selfRemoval);
  }

  std::vector<std::string> UninstallDialogs() {
    const std::vector<std::string> all = DialogTexts();
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(dialogsBefore), all.end());
  }

  void ExpectProductRemoved() {
    for (const char* gone : {kProductExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
      EXPECT_FALSE(machine.FileExists(gone)) << gone;
    }
    EXPECT_FALSE(machine.DirectoryExists(kGroup));
  }

  void ExpectOracleClientKept() {
    EXPECT_EQ(Read(kXETnsnames), kStoredTnsnames);
    EXPECT_TRUE(machine.KeyExists(RootKey::LocalMachine, kXEClientKey));
  }

  RecordingSelfRemoval selfRemoval{machine};
  size_t dialogsBefore = 0;
};

TEST_F(UninstallTest, StartedFromItsShortcutRemovesEverythingAfterItEnds) {
  Install();
  machine.SetModuleFileName(kUninstallerExe);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);

  ExpectProductRemoved();
  ExpectOracleClientKept();
  EXPECT_EQ(UninstallDialogs(), (std::vector<std::string>{texts::kUninstallQuestion, texts::kUninstallSucceeded}));
  // Its own file and the folders above it wait for the process that outlives it.
  ASSERT_TRUE(selfRemoval.scheduled.has_value());
  EXPECT_EQ(selfRemoval.scheduled->uninstaller, kUninstallerExe);
  EXPECT_EQ(selfRemoval.scheduled->folders, (std::vector<std::string>{kProductFolder, kOrganisationFolder}));
  EXPECT_TRUE(machine.FileExists(kUninstallerExe));

  EXPECT_TRUE(uninstall::FinishRemoval(machine, *selfRemoval.scheduled, 1, [] {}));
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.DirectoryExists(kOrganisationFolder));
  EXPECT_TRUE(machine.DirectoryExists(kProgramFiles));
}

TEST_F(UninstallTest, StartedFromElsewhereRemovesTheUninstallerAtOnce) {
  Install();
  machine.SetModuleFileName("C:\\copia\\DesInstalador.exe");

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);

  ExpectProductRemoved();
  ExpectOracleClientKept();
  EXPECT_FALSE(selfRemoval.scheduled.has_value());
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.DirectoryExists(kOrganisationFolder));
}

TEST_F(UninstallTest, NoLeavesEverything) {
  Install();
  EXPECT_EQ(Uninstall({kIdNo}), uninstall::kDeclined);
  EXPECT_TRUE(machine.FileExists(kProductExe));
  EXPECT_TRUE(machine.FileExists(kGroupUninstallerLink));
  EXPECT_EQ(UninstallDialogs(), std::vector<std::string>{texts::kUninstallQuestion});
}

TEST_F(UninstallTest, RunningProductStopsBeforeAnythingIsRemoved) {
  Install();
  machine.SetModuleFileName(kUninstallerExe);
  machine.SetFileLock(kProductExe, FileLock::Running);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);

  machine.SetFileLock(kProductExe, FileLock::None);
  EXPECT_TRUE(machine.FileExists(kProductExe));
  EXPECT_TRUE(machine.FileExists(kGroupUninstallerLink));
  EXPECT_TRUE(machine.FileExists(kDesktopLink));
  EXPECT_FALSE(selfRemoval.scheduled.has_value());
  const std::vector<std::string> dialogs = UninstallDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_EQ(dialogs[1], std::string(texts::kUninstallIncomplete) + "\r\n" + kProductExe);
  EXPECT_EQ(machine.Dialogs().back().type, DialogType::Error);
}

TEST_F(UninstallTest, LinkThatCannotGoKeepsTheUninstallerForAnotherTry) {
  Install();
  machine.SetModuleFileName(kUninstallerExe);
  machine.SetFileLock(kDesktopLink, FileLock::Exclusive);

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);

  EXPECT_EQ(UninstallDialogs().back(), std::string(texts::kUninstallIncomplete) + "\r\n" + kDesktopLink);
  EXPECT_FALSE(selfRemoval.scheduled.has_value());
  EXPECT_TRUE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.FileExists(kProductExe));
  EXPECT_FALSE(machine.FileExists(kGroupProductLink));

  // The second try, once the link is free, finishes the job.
  machine.SetFileLock(kDesktopLink, FileLock::None);
  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);
  ExpectProductRemoved();
  EXPECT_TRUE(selfRemoval.scheduled.has_value());
}

TEST_F(UninstallTest, UnschedulableSelfRemovalIsReported) {
  Install();
  machine.SetModuleFileName(kUninstallerExe);
  selfRemoval.succeeds = false;

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kIncomplete);

  ExpectProductRemoved();
  EXPECT_EQ(UninstallDialogs().back(), std::string(texts::kUninstallIncomplete) + "\r\n" + kUninstallerExe);
}

TEST_F(UninstallTest, WhatTheUserAddedStays) {
  Install();
  machine.SetModuleFileName(kUninstallerExe);
  machine.CreateShellLink("C:\\otro.exe", "", "C:\\", std::string(kGroup) + "\\Otro.lnk");
  machine.WriteFileBytes(std::string(kProductFolder) + "\\datos.txt", "user data");

  EXPECT_EQ(Uninstall({kIdYes, kIdOk}), uninstall::kUninstalled);
  ASSERT_TRUE(selfRemoval.scheduled.has_value());
  EXPECT_TRUE(uninstall::FinishRemoval(machine, *selfRemoval.scheduled, 1, [] {}));

  EXPECT_TRUE(machine.FileExists(std::string(kGroup) + "\\Otro.lnk"));
  EXPECT_FALSE(machine.FileExists(kGroupProductLink));
  EXPECT_EQ(Read(std::string(kProductFolder) + "\\datos.txt"), "user data");
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
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

struct FinishCase {
  const char* name;
  int attemptsWhileRunning;  // tries that find the uninstaller still running
  int attempts;
  bool removed;
};

class FinishRemovalTest : public UninstallTest, public testing::WithParamInterface<FinishCase> {};

TEST_P(FinishRemovalTest, WaitsForTheUninstallerToLetGo) {
  const FinishCase& c = GetParam();
  Install();
  machine.SetFileLock(kUninstallerExe, FileLock::Running);
  int pauses = 0;
  auto pause = [&] {
    if (++pauses == c.attemptsWhileRunning) machine.SetFileLock(kUninstallerExe, FileLock::None);
  };
  machine.DeleteFile(kProductExe);

  const bool removed =
      uninstall::FinishRemoval(machine, {kUninstallerExe, {kProductFolder, kOrganisationFolder}}, c.attempts, pause);

  EXPECT_EQ(removed, c.removed);
  EXPECT_EQ(machine.DirectoryExists(kOrganisationFolder), !c.removed);
}

INSTANTIATE_TEST_SUITE_P(Tries, FinishRemovalTest,
                         testing::Values(FinishCase{"EndsSoon", 2, 5, true}, FinishCase{"EndsOnLastTry", 4, 5, true},
                                         FinishCase{"NeverEnds", 10, 5, false}),
                         [](const testing::TestParamInfo<FinishCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace install_test
