// The install sequence on a host machine: every road of an install, errors at
// each step, a damaged payload, writes that fail half-way, and what the user is
// told and asked afterwards (the product executable's update rule is in
// install_update_test.cpp).
#include <gtest/gtest.h>

#include <functional>

#include "framework/errors.h"
#include "installer/texts.h"
#include "oracle/texts.h"
#include "platform/dialog_text.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/row_name.h"

namespace install_test {
namespace {

using platform::FileLock;
using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdOk;
using platform::kIdYes;

// --- Roads of one install ---

TEST_F(InstallTest, RegisteredClientReportsSuccessAndOffersRestart) {
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdYes});

  form->InstallProduct();

  EXPECT_EQ(Read(kProductExe), carriedProduct);
  EXPECT_EQ(Read(kUninstallerExe), kUninstallerBytes);
  ExpectProductLinks();
  EXPECT_EQ(Read(kXETnsnames), kStoredTnsnames);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  EXPECT_TRUE(machine.StartedPrograms().empty());
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{texts::kInstallSucceeded, texts::kRestartQuestion}));
  EXPECT_EQ(machine.Dialogs()[0].type, DialogType::Information);
  EXPECT_EQ(machine.Dialogs()[1].type, DialogType::Confirmation);
  EXPECT_EQ(machine.Dialogs()[1].buttons, DialogButtons::YesNo);
  EXPECT_EQ(view.installEnabled, std::vector<bool>{false});
  EXPECT_EQ(view.closeRequests, 0);
  EXPECT_EQ(machine.RestartRequests(), 1);
}

// A restart ends other users' sessions too: they are named first.
TEST_F(InstallTest, OtherUsersSignedInAreToldOfBeforeTheRestartQuestion) {
  RegisterXEClient();
  machine.SetOtherUserSessions(2);
  machine.QueueDialogAnswers({kIdOk, kIdOk, kIdNo});
  form->InstallProduct();
  EXPECT_EQ(DialogTexts(),
            (std::vector<std::string>{texts::kInstallSucceeded, texts::kOtherUsersSignedIn, texts::kRestartQuestion}));
  EXPECT_EQ(machine.Dialogs()[1].type, DialogType::Information);
}

TEST_F(InstallTest, RestartOnlyOnYes) {
  for (int answer : {kIdNo, kIdCancel}) {
    machine.DeleteKeyTree(RootKey::LocalMachine, kOracleKey);
    RegisterXEClient();
    machine.QueueDialogAnswers({kIdOk, answer});
    form->InstallProduct();
  }
  EXPECT_EQ(machine.RestartRequests(), 0);
}

TEST_F(InstallTest, SetupRoadClosesTheWindowAndLaterDialogsAnswerAtOnce) {
  // The setup registers the client only when the user has pressed Yes once.
  int waitDialogs = 0;
  machine.SetDialogCallback([&](const platform::DialogRecord& dialog) {
    EXPECT_EQ(dialog.text, texts::kWaitForOracleSetup);
    if (++waitDialogs == 2) {
      RegisterXEClient();
      machine.SetFileLock(kSetupExe, FileLock::None);  // the setup has ended
    }
    return kIdYes;
  });

  form->InstallProduct();

  EXPECT_EQ(machine.StartedPrograms(), std::vector<std::string>{kSetupExe});
  EXPECT_EQ(waitDialogs, 2);
  EXPECT_EQ(Read(kXETnsnames), kStoredTnsnames);
  EXPECT_FALSE(machine.FileExists(kSetupExe));
  EXPECT_EQ(view.closeRequests, 1);
  // After the close both dialogs are dismissed without the user: no restart.
  const auto& dialogs = machine.Dialogs();
  ASSERT_EQ(dialogs.size(), 4u);
  EXPECT_EQ(dialogs[2].text, texts::kInstallSucceeded);
  EXPECT_EQ(dialogs[2].answer, kIdCancel);
  EXPECT_EQ(dialogs[3].text, texts::kRestartQuestion);
  EXPECT_EQ(dialogs[3].answer, kIdCancel);
  EXPECT_EQ(machine.RestartRequests(), 0);
  EXPECT_EQ(view.installEnabled, std::vector<bool>{false});
  ExpectProductLinks();
  EXPECT_EQ(Read(kProductExe), carriedProduct);
}

TEST_F(InstallTest, CancelledSetupRollsBackAndEnablesInstallAgain) {
  machine.QueueDialogAnswers({kIdNo});
  machine.SetStartProgramHook([&](const std::string& path) { machine.SetFileLock(path, FileLock::None); });

  form->InstallProduct();

  for (const std::string& gone :
       {kProductExe, kUninstallerExe, kSetupExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink, kTempCopy}) {
    EXPECT_FALSE(machine.FileExists(gone)) << gone;
  }
  for (const std::string& gone : {kProductFolder, kOrganisationFolder, kGroup}) {
    EXPECT_FALSE(machine.DirectoryExists(gone)) << gone;
  }
  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{texts::kWaitForOracleSetup, texts::kInstallCancelled}));
  EXPECT_EQ(machine.Dialogs()[1].answer, kIdCancel);
  EXPECT_EQ(view.installEnabled, std::vector<bool>{true});
  EXPECT_EQ(view.closeRequests, 1);
}

TEST_F(InstallTest, OtherHomeWithoutTnsnamesShowsTheErrorBeforeTheSetup) {
  RegisterOtherHome("C:\\oracle\\ora92", std::nullopt);
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{texts::kNoValidOracleClient, texts::kWaitForOracleSetup,
                                                     texts::kInstallCancelled}));
  EXPECT_EQ(machine.Dialogs()[0].type, DialogType::Error);
  EXPECT_EQ(machine.StartedPrograms(), std::vector<std::string>{kSetupExe});
  EXPECT_FALSE(machine.FileExists("C:\\oracle\\ora92\\network\\ADMIN\\tnsnames.ora"));
}

TEST_F(InstallTest, ReentrantClickDuringDetectionIsIgnored) {
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});
  int flushes = 0;
  // A queued click on "Instalar" reaches the window in detection's flush.
  machine.SetProcessMessagesHook([&] {
    if (++flushes == 1) form->BitBtninstalClick(nullptr);
  });

  form->BitBtninstalClick(nullptr);

  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{texts::kInstallSucceeded, texts::kRestartQuestion}));
  EXPECT_EQ(view.installEnabled, std::vector<bool>{false});
}

// --- Errors: the first ends the sequence, the copy still goes, nothing is undone ---

struct ErrorCase {
  const char* name;
  std::function<void(InstallTest&, platform::HostPlatform&)> prepare;
  const char* message;  // the start of the error's text
  bool productWritten;
};

class SequenceErrorTest : public InstallTest, public testing::WithParamInterface<ErrorCase> {};

TEST_P(SequenceErrorTest, EndsTheSequenceAndDeletesTheCopy) {
  const ErrorCase& c = GetParam();
  // An installed product of the same build, so T is written on the way.
  InstallProductOfVersion(kCarriedVersion);
  c.prepare(*this, machine);

  const std::string message = ErrorOf([&] { form->InstallProduct(); });
  EXPECT_TRUE(StartsWith(message, c.message)) << message;
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  EXPECT_TRUE(view.installEnabled.empty());
  EXPECT_EQ(view.closeRequests, 0);
  EXPECT_TRUE(machine.Dialogs().empty());
  EXPECT_EQ(machine.FileExists(kUninstallerExe), c.productWritten);
}

INSTANTIATE_TEST_SUITE_P(
    Steps, SequenceErrorTest,
    testing::Values(ErrorCase{"ProgramFilesKeyMissing",
                              [](InstallTest&, platform::HostPlatform& m) {
                                m.DeleteKeyTree(RootKey::LocalMachine, kCurrentVersionKey);
                              },
                              "Program Files Path Error", false},
                    ErrorCase{"ShellFoldersKeyMissing",
                              [](InstallTest&, platform::HostPlatform& m) {
                                m.DeleteKeyTree(RootKey::CurrentUser, kShellFoldersKey);
                              },
                              "User Program Path Error", false},
                    // A folder of the user's settings that is not theirs: the
                    // elevated run writes nothing in it.
                    ErrorCase{"ProgramsIsTheSystemFolder",
                              [](InstallTest&, platform::HostPlatform& m) {
                                m.SetString(RootKey::CurrentUser, kShellFoldersKey, "Programs",
                                            "C:\\windows\\system32");
                              },
                              "User Program Path Error", false},
                    ErrorCase{"UninstallerInUse",
                              [](InstallTest&, platform::HostPlatform& m) {
                                m.WriteFileBytes(kUninstallerExe, "running");
                                m.SetFileLock(kUninstallerExe, platform::FileLock::Running);
                              },
                              "Cannot create file \"C:\\Program Files\\Vesko\\Lumentra\\DesInstalador.exe\". ", true},
                    ErrorCase{"ShellLinkObjectMissing",
                              [](InstallTest&, platform::HostPlatform& m) {
                                m.SetShellLinkFailure(platform::ShellLinkFailure::CannotCreate);
                              },
                              "Class not registered", true},
                    ErrorCase{"PayloadWithoutUninstaller",
                              [](InstallTest& t, platform::HostPlatform&) {
                                t.payload = MakePayload({t.carriedProduct, kStoredTnsnames, kSetupBytes});
                                t.form->SetPayload(t.payload.get());
                              },
                              "List index out of bounds (3)", false},
                    ErrorCase{"TnsnamesLocked",
                              [](InstallTest& t, platform::HostPlatform& m) {
                                t.MakeFolders(std::string(kXEHome) + "\\NETWORK\\ADMIN");
                                m.WriteFileBytes(kXETnsnames, "IN USE\r\n");
                                m.SetFileLock(kXETnsnames, platform::FileLock::Exclusive);
                                m.SetString(RootKey::LocalMachine, kXEClientKey, "ORACLE_HOME", kXEHome);
                              },
                              "Cannot open file \"", true}),
    RowName());

// --- A damaged download: found before anything is written ---

class DamagedPayloadTest : public InstallTest, public testing::WithParamInterface<int> {};

TEST_P(DamagedPayloadTest, SaysSoAndWritesNothing) {
  // One flipped byte in the middle of the item's zlib data.
  TmxStoredItem& item = *payload->StoredItems().Items(GetParam());
  TMemoryStream value;
  item.WriteStoredItem(value);
  const int64_t middle = 4 + item.Size() / 2;
  const uint8_t flipped = value.Memory()[middle] ^ 0x5A;
  value.SetPosition(middle);
  value.WriteBuffer(&flipped, 1);
  value.SetPosition(0);
  item.ReadStoredItem(value);
  RegisterXEClient();
  const std::vector<std::string> before = machine.AllPaths();

  EXPECT_EQ(platform::ApplicationErrorText(ErrorOf([&] { form->InstallProduct(); })), texts::kInstallerDamaged);
  EXPECT_EQ(machine.AllPaths(), before);
  EXPECT_TRUE(machine.StartedPrograms().empty());
  EXPECT_TRUE(machine.Dialogs().empty());
  EXPECT_TRUE(view.installEnabled.empty());
}

INSTANTIATE_TEST_SUITE_P(Items, DamagedPayloadTest, testing::Values(0, 1, 2, 3));

// --- A write that fails half-way leaves the old file, or none, and no other ---

struct HalfWrittenCase {
  const char* name;
  bool oldUninstaller;      // an earlier install left one
  bool setupRoad;           // no Oracle client: the setup program is written too
  size_t roomAfterProduct;  // bytes the disk takes once the product is written (0: not even the product)
  std::string file;
};

class HalfWrittenTest : public InstallTest, public testing::WithParamInterface<HalfWrittenCase> {};

TEST_P(HalfWrittenTest, LeavesNoPartOfAFile) {
  const HalfWrittenCase& c = GetParam();
  MakeFolders(kProductFolder);
  if (c.oldUninstaller) machine.WriteFileBytes(kUninstallerExe, "old uninstaller");
  if (!c.setupRoad) RegisterXEClient();
  machine.SetDiskSpace(c.roomAfterProduct == 0 ? carriedProduct.size() / 2
                                               : carriedProduct.size() + c.roomAfterProduct);

  EXPECT_THROW(form->InstallProduct(), EWriteError);

  machine.SetDiskSpace(std::nullopt);
  if (c.oldUninstaller) {
    EXPECT_EQ(Read(kUninstallerExe), "old uninstaller");
  } else {
    EXPECT_FALSE(machine.FileExists(c.file)) << c.file;
  }
  for (const std::string& path : machine.AllPaths()) EXPECT_EQ(path.find("\\~INS"), std::string::npos) << path;
  EXPECT_TRUE(machine.StartedPrograms().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, HalfWrittenTest,
    testing::Values(HalfWrittenCase{"Product", false, false, 0, kProductExe},
                    HalfWrittenCase{"UninstallerOverAnEarlierOne", true, false, 5, kUninstallerExe},
                    HalfWrittenCase{"SetupProgram", false, true, sizeof kUninstallerBytes + 3, kSetupExe}),
    RowName());

TEST_F(InstallTest, FolderErrorWritesNothing) {
  machine.DeleteKeyTree(RootKey::LocalMachine, kCurrentVersionKey);
  EXPECT_THROW(form->InstallProduct(), Exception);
  EXPECT_FALSE(machine.DirectoryExists(kOrganisationFolder));
  EXPECT_FALSE(machine.FileExists(kDesktopLink));
  EXPECT_FALSE(machine.DirectoryExists(kGroup));
}

TEST_F(InstallTest, ErrorLeavesWhatWasWrittenAndAllowsAnotherRun) {
  machine.SetShellLinkFailure(platform::ShellLinkFailure::CannotCreate);
  EXPECT_THROW(form->InstallProduct(), EOleSysError);
  EXPECT_EQ(Read(kProductExe), carriedProduct);

  machine.SetShellLinkFailure(platform::ShellLinkFailure::None);
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});
  form->InstallProduct();
  ExpectProductLinks();
}

TEST_F(InstallTest, DesktopLinkIsMadeEvenWhenTheGroupCannotBe) {
  const std::string missing = std::string(kProfile) + "\\missing\\Programs";
  machine.SetString(RootKey::CurrentUser, kShellFoldersKey, "Programs", missing);
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_TRUE(machine.ReadShellLink(kDesktopLink).has_value());
  EXPECT_FALSE(machine.DirectoryExists(missing + "\\Ostrelia"));
}

// A desktop that the user's settings put outside their profile (the system
// folder, say) gets no link; the rest of the install goes on.
TEST_F(InstallTest, DesktopOutsideTheProfileGetsNoLink) {
  machine.SetDesktopDirectory("C:\\windows\\system32");
  MakeFolders("C:\\windows\\system32");
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_FALSE(machine.FileExists("C:\\windows\\system32\\Sistema de Lumentra.lnk"));
  EXPECT_TRUE(machine.ReadShellLink(kGroupUninstallerLink).has_value());
}

// A link another user put in the Start-menu folders or on the desktop: no
// folder is made and no link saved through it (a link that cannot be saved is
// skipped), the install goes on and the other links are made.
class PlantedStartMenuTest : public InstallTest, public testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedStartMenuTest, InstallWritesNothingThroughIt) {
  Plant(machine, kProfile, GetParam(), VictimLinks());
  const std::vector<std::string> victim = VictimState(machine);
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_EQ(DialogTexts(), (std::vector<std::string>{texts::kInstallSucceeded, texts::kRestartQuestion}));
  EXPECT_EQ(VictimState(machine), victim);
  for (const auto& [link, target] : {std::pair{kDesktopLink, kProductExe}, std::pair{kGroupProductLink, kProductExe},
                                     std::pair{kGroupUninstallerLink, kUninstallerExe}}) {
    if (GetParam().Refused() && Behind(link, kProfile, GetParam())) continue;
    const auto written = machine.ReadShellLink(link);
    ASSERT_TRUE(written.has_value()) << link;
    EXPECT_EQ(written->target, target);
  }
}

INSTANTIATE_TEST_SUITE_P(StartMenu, PlantedStartMenuTest, testing::ValuesIn(StartMenuCases()), RowName());

}  // namespace
}  // namespace install_test
