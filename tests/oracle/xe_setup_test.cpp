// Oracle XE client provisioning on a host machine: the decision flow with its
// dialogs, the carried setup program, and the roll-back after a cancel.
#include <gtest/gtest.h>

#include <functional>

#include "framework/errors.h"
#include "installer/texts.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "platform/environment_block.h"
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

class XESetupTest : public InstallTest {
 protected:
  XESetupTest() { form->ReadInstallFolders(); }

  // What an install has put in place by the time the Oracle client is provisioned.
  void LayOutInstall() {
    MakeFolders(kProductFolder);
    machine.WriteFileBytes(kProductExe, "product");
    machine.WriteFileBytes(kUninstallerExe, "uninstaller");
    machine.WriteFileBytes(kSetupExe, "setup");
    MakeFolders(kGroup);
    for (const std::string& link : {kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
      machine.CreateShellLink(kProductExe, "", kWorkingFolder, link);
    }
  }
};

// --- The decision flow, row by row ---

enum class Client {
  None,
  XE,
  XEWithoutHome,
  OtherHomeWithFile,
  OtherHomeWithoutFile,
  XEBehindLink,
  OtherHomeBehindLink
};
// Where a client behind another user's link is registered.
inline constexpr char kOtherHome[] = "C:\\oracle\\ora92";

struct FlowCase {
  const char* name;
  Client client;
  std::vector<int> answers;  // to the dialogs, in order
  int registerAtWait;        // the setup registers the XE client before this wait dialog (0: never)
  std::vector<std::string> dialogs;
  bool result;
  bool setupStarted;
  bool setupRegistersAHome = true;  // else only its uninstall entry
};

class EnsureOracleClientTest : public XESetupTest, public testing::WithParamInterface<FlowCase> {};

TEST_P(EnsureOracleClientTest, FollowsTheStateTable) {
  const FlowCase& c = GetParam();
  LayOutInstall();
  machine.RemoveFile(kSetupExe);
  if (c.client == Client::XE) RegisterXEClient();
  if (c.client == Client::XEWithoutHome) RegisterXEClientWithoutHome();
  if (c.client == Client::OtherHomeWithFile) RegisterOtherHome(kOtherHome, "OTHER = (x)\r\n");
  if (c.client == Client::OtherHomeWithoutFile) RegisterOtherHome(kOtherHome, std::nullopt);
  if (c.client == Client::XEBehindLink || c.client == Client::OtherHomeBehindLink) {
    if (c.client == Client::XEBehindLink) RegisterXEClient();
    if (c.client == Client::OtherHomeBehindLink) RegisterOtherHome(kOtherHome, "OTHER = (x)\r\n");
    MakeFolders(kVictim);
    machine.MakeLink(c.client == Client::XEBehindLink ? kXEHome : kOtherHome, kVictim, platform::LinkKind::Junction);
  }
  // The setup ends at once, so its file can be deleted afterwards.
  machine.SetStartProgramHook([&](const std::string& path) { machine.SetFileLock(path, FileLock::None); });
  size_t next = 0;
  int waits = 0;
  machine.SetDialogCallback([&](const platform::DialogRecord& dialog) {
    if (dialog.text == texts::kWaitForOracleSetup && ++waits == c.registerAtWait) {
      if (c.setupRegistersAHome)
        RegisterXEClient();
      else
        RegisterXEClientWithoutHome();
    }
    if (next >= c.answers.size()) throw std::logic_error("unexpected dialog: " + dialog.text);
    return c.answers[next++];
  });

  EXPECT_EQ(form->EnsureOracleClient(), c.result);

  EXPECT_EQ(DialogTexts(), c.dialogs);
  EXPECT_EQ(next, c.answers.size());
  EXPECT_EQ(machine.StartedPrograms().size(), c.setupStarted ? 1u : 0u);
  // Once the setup has run, the run ends with the window closed and the setup gone.
  EXPECT_EQ(view.closeRequests, c.setupStarted ? 1 : 0);
  EXPECT_FALSE(machine.FileExists(kSetupExe));
  // Only a cancel rolls back.
  EXPECT_EQ(machine.FileExists(kProductExe), c.result);
  EXPECT_EQ(machine.DirectoryExists(kGroup), c.result);
}

const std::string kError = texts::kNoValidOracleClient;
const std::string kWait = texts::kWaitForOracleSetup;
// The entry could not be placed: what to add by hand, and where it points.
std::string NotPlaced(const std::string& why) {
  return Format(texts::kNetServiceEntryNotPlaced, why.c_str(), INSTALADOR_DB_HOST,
                tnsnames::AppendedLine(INSTALADOR_DB_HOST).c_str());
}
const std::string kNotPlaced = NotPlaced(texts::kXEHomeUnknown);

INSTANTIATE_TEST_SUITE_P(
    Rows, EnsureOracleClientTest,
    testing::Values(
        FlowCase{"XEClientConfigured", Client::XE, {}, 0, {}, true, false},
        FlowCase{"OtherHomeConfigured", Client::OtherHomeWithFile, {}, 0, {}, true, false},
        FlowCase{
            "OtherHomeUnusableThenNo", Client::OtherHomeWithoutFile, {kIdOk, kIdNo}, 0, {kError, kWait}, false, true},
        FlowCase{"OtherHomeUnusableThenSetup",
                 Client::OtherHomeWithoutFile,
                 {kIdOk, kIdYes},
                 1,
                 {kError, kWait},
                 true,
                 true},
        FlowCase{"NoClientNo", Client::None, {kIdNo}, 0, {kWait}, false, true},
        FlowCase{"NoClientClosed", Client::None, {kIdCancel}, 0, {kWait}, false, true},
        FlowCase{"YesBeforeRegistrationAsksAgain",
                 Client::None,
                 {kIdYes, kIdYes, kIdYes, kIdNo},
                 0,
                 {kWait, kWait, kWait, kWait},
                 false,
                 true},
        FlowCase{"YesAfterRegistration", Client::None, {kIdYes, kIdYes, kIdYes}, 3, {kWait, kWait, kWait}, true, true},
        // Installed, but where is unknown: the client counts, and the user is
        // told before the window closes that the entry is to be added by hand.
        FlowCase{"XEClientWithoutHome", Client::XEWithoutHome, {kIdOk}, 0, {kNotPlaced}, true, false},
        FlowCase{"SetupLeavesNoHome", Client::None, {kIdYes, kIdOk}, 1, {kWait, kNotPlaced}, true, true, false},
        // Registered behind a link another user made: no second client, and
        // the user is told which home was refused and why.
        FlowCase{"XEClientBehindALink",
                 Client::XEBehindLink,
                 {kIdOk},
                 0,
                 {NotPlaced(Format(texts::kHomeBehindLink, kXEHome, kXEHome))},
                 true,
                 false},
        FlowCase{"OtherHomeBehindALink",
                 Client::OtherHomeBehindLink,
                 {kIdOk},
                 0,
                 {NotPlaced(Format(texts::kHomeBehindLink, kOtherHome, kOtherHome))},
                 true,
                 false}),
    RowName());

TEST_F(XESetupTest, SetupIsStartedFromTheProductFolderWithItsCarriedBytes) {
  LayOutInstall();
  std::string started;
  machine.SetStartProgramHook([&](const std::string& path) { started = Read(path); });
  machine.QueueDialogAnswers({kIdNo});
  form->EnsureOracleClient();
  EXPECT_EQ(machine.StartedPrograms(), std::vector<std::string>{kSetupExe});
  // In the product folder, not in the installer's own (often Downloads).
  EXPECT_EQ(machine.StartedProgramFolders(), std::vector<std::string>{kProductFolder});
  EXPECT_EQ(started, kSetupBytes);  // an earlier file of that name is overwritten
}

// The environment block the setup was started with, entry by entry.
std::vector<std::string> Entries(const std::u16string& block) {
  std::vector<std::string> entries;
  for (const std::u16string& entry : platform::EnvironmentEntries(block))
    entries.emplace_back(entry.begin(), entry.end());  // ASCII here
  return entries;
}

// It runs elevated and unpacks to its TEMP: the machine's environment (none
// of the user's own variables, which reach the installer's), with TEMP and
// TMP naming a new folder of its own in the product folder that only
// administrators may use; the folder goes once the user says it finished.
TEST_F(XESetupTest, SetupGetsTheMachinesEnvironmentAndATemporaryFolderOfItsOwn) {
  LayOutInstall();
  machine.SetEnvironmentVariable("TEMP", "C:\\users\\tester\\Temp");
  machine.SetEnvironmentVariable("windir", "C:\\users\\tester\\windows");
  machine.SetEnvironmentVariable("INSTALADOR_USER_ONLY", "planted");
  std::string temp;
  bool privateWhileItRuns = false;
  machine.SetStartProgramHook([&](const std::string& path) {
    for (const std::string& entry : Entries(machine.StartedProgramEnvironments().back()))
      if (StartsWith(entry, "TEMP=")) temp = entry.substr(5);
    privateWhileItRuns = machine.DirectoryExists(temp) && machine.SecurityOf(temp) == platform::kPrivateFolderSecurity;
    MakeFolders(temp + "\\disk1");
    machine.WriteFileBytes(temp + "\\disk1\\setup.dll", "unpacked");
    RegisterXEClient();
    machine.SetFileLock(path, FileLock::None);  // it has finished
  });
  machine.QueueDialogAnswers({kIdYes});

  EXPECT_TRUE(form->EnsureOracleClient());

  const std::string prefix = kProductFolder + "\\~OracleXE-";
  ASSERT_TRUE(StartsWith(temp, prefix)) << temp;
  EXPECT_EQ(temp.size(), prefix.size() + 16);
  EXPECT_TRUE(privateWhileItRuns);
  ASSERT_EQ(machine.StartedProgramEnvironments().size(), 1u);
  EXPECT_EQ(Entries(machine.StartedProgramEnvironments()[0]),
            (std::vector<std::string>{"ProgramFiles=C:\\Program Files", "SystemDrive=C:", "SystemRoot=C:\\windows",
                                      "TEMP=" + temp, "TMP=" + temp, "windir=C:\\windows"}));
  EXPECT_FALSE(machine.DirectoryExists(temp));
  EXPECT_TRUE(machine.DeletionsAtRestart().empty());
}

// No while the setup still runs from its folder: what it holds there goes at
// the restart, with the folder; a link in it is removed, never followed.
TEST_F(XESetupTest, RollBackRemovesTheSetupsFolderWithoutFollowingALink) {
  LayOutInstall();
  MakeFolders(std::string(kVictim) + "\\data");
  machine.WriteFileBytes(std::string(kVictim) + "\\data\\kept.txt", "another user's");
  const std::vector<std::string> victim = VictimState(machine);
  std::string temp;
  machine.SetStartProgramHook([&](const std::string&) {
    for (const std::string& entry : Entries(machine.StartedProgramEnvironments().back()))
      if (StartsWith(entry, "TMP=")) temp = entry.substr(4);
    machine.WriteFileBytes(temp + "\\free.tmp", "x");
    machine.WriteFileBytes(temp + "\\in use.dll", "x");
    machine.SetFileLock(temp + "\\in use.dll", FileLock::Running);
    machine.MakeLink(temp + "\\data", std::string(kVictim) + "\\data", platform::LinkKind::Junction);
  });
  machine.QueueDialogAnswers({kIdNo});

  EXPECT_FALSE(form->EnsureOracleClient());

  EXPECT_EQ(VictimState(machine), victim);
  EXPECT_FALSE(machine.FileExists(temp + "\\free.tmp"));
  EXPECT_EQ(machine.DeletionsAtRestart(), (std::vector<std::string>{temp + "\\in use.dll", temp}));
  EXPECT_TRUE(machine.DirectoryExists(kProductFolder));
  machine.Restart();
  EXPECT_FALSE(machine.DirectoryExists(temp));
  EXPECT_EQ(VictimState(machine), victim);
}

TEST_F(XESetupTest, NetServiceErrorDuringTheWaitLeavesSetupAndWindow) {
  LayOutInstall();
  machine.RemoveFile(kSetupExe);
  machine.SetDialogCallback([&](const platform::DialogRecord&) {
    RegisterXEClient();
    MakeFolders(std::string(kXEHome) + "\\NETWORK\\ADMIN");
    machine.WriteFileBytes(kXETnsnames, "LOCKED\r\n");
    machine.SetFileLock(kXETnsnames, FileLock::Exclusive);
    return kIdYes;
  });
  EXPECT_THROW(form->EnsureOracleClient(), EFOpenError);
  EXPECT_TRUE(machine.FileExists(kSetupExe));
  EXPECT_EQ(view.closeRequests, 0);
  EXPECT_TRUE(machine.FileExists(kProductExe));
}

TEST_F(XESetupTest, SetupThatCannotBeWrittenIsNotStarted) {
  LayOutInstall();
  machine.SetFileLock(kSetupExe, FileLock::Running);  // an earlier setup still runs
  EXPECT_THROW(form->EnsureOracleClient(), EFCreateError);
  EXPECT_TRUE(machine.StartedPrograms().empty());
  EXPECT_TRUE(machine.Dialogs().empty());
  EXPECT_EQ(view.closeRequests, 0);
}

TEST_F(XESetupTest, FinishingIgnoresASetupThatStillRuns) {
  LayOutInstall();
  machine.SetFileLock(kSetupExe, FileLock::Running);
  form->OracleXESetup(false);
  EXPECT_TRUE(machine.FileExists(kSetupExe));
  EXPECT_EQ(view.closeRequests, 1);
}

// --- Roll-back ---

TEST_F(XESetupTest, RollBackRemovesTheInstallAndNothingElse) {
  LayOutInstall();
  MakeFolders("C:\\windows\\Temp");
  machine.WriteFileBytes(kTempCopy, "copy");
  RegisterOtherHome("C:\\oracle\\ora92", "OTHER = (x)\r\n");

  form->RollBackInstall();

  for (const std::string& gone :
       {kProductExe, kUninstallerExe, kSetupExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
    EXPECT_FALSE(machine.FileExists(gone)) << gone;
  }
  for (const std::string& gone : {kProductFolder, kOrganisationFolder, kGroup}) {
    EXPECT_FALSE(machine.DirectoryExists(gone)) << gone;
  }
  EXPECT_TRUE(machine.DirectoryExists(kProgramFiles));
  EXPECT_TRUE(machine.DirectoryExists(kPrograms));
  EXPECT_TRUE(machine.FileExists(kTempCopy));
  EXPECT_EQ(Read("C:\\oracle\\ora92\\network\\ADMIN\\tnsnames.ora"), "OTHER = (x)\r\n");
}

TEST_F(XESetupTest, RollBackWhileTheSetupRunsKeepsItsFolders) {
  LayOutInstall();
  machine.SetFileLock(kSetupExe, FileLock::Running);

  form->RollBackInstall();

  EXPECT_TRUE(machine.FileExists(kSetupExe));
  EXPECT_TRUE(machine.DirectoryExists(kProductFolder));
  EXPECT_TRUE(machine.DirectoryExists(kOrganisationFolder));
  for (const std::string& gone :
       {kProductExe, kUninstallerExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
    EXPECT_FALSE(machine.FileExists(gone)) << gone;
  }
  EXPECT_FALSE(machine.DirectoryExists(kGroup));
}

TEST_F(XESetupTest, RollBackWithoutProductFolderStillClearsTheGroup) {
  LayOutInstall();
  for (const std::string& file : {kProductExe, kUninstallerExe, kSetupExe}) machine.RemoveFile(file);
  machine.RemoveFolder(kProductFolder);

  form->RollBackInstall();

  EXPECT_TRUE(machine.FileExists(kDesktopLink));
  EXPECT_TRUE(machine.DirectoryExists(kOrganisationFolder));
  EXPECT_FALSE(machine.DirectoryExists(kGroup));
}

TEST_F(XESetupTest, RollBackReadsTheFoldersAgain) {
  LayOutInstall();
  form->ProgramFilesDir = "C:\\elsewhere";
  form->ProgramsDir = "C:\\elsewhere";
  form->RollBackInstall();
  EXPECT_FALSE(machine.DirectoryExists(kProductFolder));
  EXPECT_FALSE(machine.DirectoryExists(kGroup));
}

TEST_F(XESetupTest, RollBackFolderErrorEndsIt) {
  LayOutInstall();
  machine.DeleteKeyTree(RootKey::CurrentUser, kShellFoldersKey);
  EXPECT_THROW(form->RollBackInstall(), Exception);
  EXPECT_TRUE(machine.FileExists(kProductExe));
}

// What stood at the XE home's tnsnames.ora before the net service step ran.
enum class Before { Nothing, UsersFile, NotText };

struct NetworkCase {
  const char* name;
  const char* home;  // the XE client's ORACLE_HOME as registered
  Before before;
  bool otherFileInAdmin;
  bool tnsnamesGone, adminGone, networkGone;
};

class RollBackNetworkTest : public XESetupTest, public testing::WithParamInterface<NetworkCase> {};

TEST_P(RollBackNetworkTest, RemovesOnlyWhatTheNetServiceStepWrote) {
  const NetworkCase& c = GetParam();
  const std::string admin = std::string(kXEHome) + "\\NETWORK\\ADMIN";
  const std::string notText("A = (x)\r\n\0B = (y)\r\n", 20);
  MakeFolders(admin);
  if (c.before == Before::UsersFile) machine.WriteFileBytes(kXETnsnames, "OTHER = (x)\r\n");
  if (c.before == Before::NotText) machine.WriteFileBytes(kXETnsnames, notText);
  if (c.otherFileInAdmin) machine.WriteFileBytes(admin + "\\sqlnet.ora", "x");
  machine.SetString(RootKey::LocalMachine, kXEClientKey, "ORACLE_HOME", c.home);
  form->ConfigureNetService();

  form->RollBackInstall();

  EXPECT_EQ(!machine.FileExists(kXETnsnames), c.tnsnamesGone);
  if (c.before == Before::UsersFile && !c.tnsnamesGone) {
    EXPECT_TRUE(StartsWith(Read(kXETnsnames), "OTHER = (x)\r\n"));
  }
  // The user's file that was kept aside for the carried one stays.
  if (c.before == Before::NotText) {
    EXPECT_EQ(Read(kXETnsnames + ".1.bak"), notText);
  }
  EXPECT_EQ(!machine.DirectoryExists(admin), c.adminGone);
  EXPECT_EQ(!machine.DirectoryExists(std::string(kXEHome) + "\\NETWORK"), c.networkGone);
  EXPECT_TRUE(machine.DirectoryExists(kXEHome));
}

INSTANTIATE_TEST_SUITE_P(
    Homes, RollBackNetworkTest,
    testing::Values(NetworkCase{"EmptyHome", "", Before::UsersFile, false, false, false, false},
                    NetworkCase{"Home", kXEHome, Before::Nothing, false, true, true, true},
                    NetworkCase{"HomeWithTrailingSeparator", "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client\\",
                                Before::Nothing, false, true, true, true},
                    NetworkCase{"OtherFilesStay", kXEHome, Before::Nothing, true, true, false, false},
                    // The user's own file, which the run edited, is no file the run wrote.
                    NetworkCase{"UsersFileStays", kXEHome, Before::UsersFile, false, false, false, false},
                    NetworkCase{"KeptCopyStays", kXEHome, Before::NotText, false, true, false, false},
                    // No full path: the install wrote nothing there, whatever that path finds.
                    NetworkCase{"RootedHome", "\\oraclexe\\app\\oracle\\product\\10.2.0\\client", Before::UsersFile,
                                false, false, false, false},
                    NetworkCase{"RelativeHome", "oraclexe\\app\\oracle\\product\\10.2.0\\client", Before::UsersFile,
                                false, false, false, false}),
    RowName());

// What another user put under the XE client's home, or in the Start-menu
// folders and on the desktop: the roll-back deletes nothing through it, and
// what is not behind it still goes. Under the home the link comes after the
// run wrote its tnsnames.ora there, in place of what it wrote. A link an
// administrator made was there before, and what the run wrote through it goes.
class PlantedRollBackTest : public XESetupTest, public testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedRollBackTest, DeletesNothingUnderTheHomeThroughIt) {
  RegisterXEClient();
  if (GetParam().Followed()) Plant(machine, kXEHome, GetParam(), kVictimTnsnames);
  ASSERT_TRUE(form->ConfigureNetService());
  const std::string network = std::string(kXEHome) + "\\NETWORK";
  if (GetParam().Refused()) {
    machine.RemoveFile(kXETnsnames);
    machine.RemoveFolder(network + "\\ADMIN");
    machine.RemoveFolder(network);
  }
  if (!GetParam().Followed()) Plant(machine, kXEHome, GetParam(), kVictimTnsnames);
  const std::vector<std::string> victim = VictimState(machine);

  form->RollBackInstall();

  EXPECT_EQ(VictimState(machine), victim);
  if (!GetParam().Refused()) {
    EXPECT_FALSE(machine.FileExists(kXETnsnames));
    // The administrator's link itself stays.
    EXPECT_FALSE(machine.DirectoryExists(GetParam().Followed() ? network + "\\ADMIN" : network));
  }
}

INSTANTIATE_TEST_SUITE_P(OracleHome, PlantedRollBackTest, testing::ValuesIn(OracleHomeCases()), RowName());

class PlantedStartMenuRollBackTest : public XESetupTest, public testing::WithParamInterface<PlantedCase> {};

TEST_P(PlantedStartMenuRollBackTest, DeletesNothingThroughIt) {
  LayOutInstall();
  Plant(machine, kProfile, GetParam(), VictimLinks());
  const std::vector<std::string> victim = VictimState(machine);

  form->RollBackInstall();

  EXPECT_EQ(VictimState(machine), victim);
  for (const std::string& link : {kDesktopLink, kGroupProductLink, kGroupUninstallerLink}) {
    if (GetParam().Refused() && Behind(link, kProfile, GetParam())) continue;
    EXPECT_FALSE(machine.FileExists(link)) << link;
  }
}

INSTANTIATE_TEST_SUITE_P(StartMenu, PlantedStartMenuRollBackTest, testing::ValuesIn(StartMenuCases()), RowName());

}  // namespace
}  // namespace install_test
