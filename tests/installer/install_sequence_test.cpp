// The install sequence on a host machine: every road of an install, the
// product executable's update rule, errors at each step and what the user is
// told and asked afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "framework/errors.h"
#include "installer/texts.h"
#include "oracle/texts.h"
#include "platform/dialog_text.h"
#include "tests/installer/install_machine.h"

namespace install_test {
namespace {

using platform::FileLock;
using platform::kIdCancel;
using platform::kIdNo;
using platform::kIdOk;
using platform::kIdYes;

void ExpectProductLinks(platform::HostPlatform& machine) {
  struct Expected {
    const char* link;
    const char* target;
  };
  for (const Expected& expected : {Expected{kDesktopLink, kProductExe}, Expected{kGroupProductLink, kProductExe},
                                   Expected{kGroupUninstallerLink, kUninstallerExe}}) {
    SCOPED_TRACE(expected.link);
    const auto link = machine.ReadShellLink(expected.link);
    ASSERT_TRUE(link.has_value());
    EXPECT_EQ(link->target, expected.target);
    EXPECT_EQ(link->arguments, "");
    EXPECT_EQ(link->workingFolder, kWorkingFolder);
  }
}

// --- Roads of one install ---

TEST_F(InstallTest, RegisteredClientReportsSuccessAndOffersRestart) {
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdYes});

  form->InstallProduct();

  EXPECT_EQ(Read(kProductExe), carriedProduct);
  EXPECT_EQ(Read(kUninstallerExe), kUninstallerBytes);
  ExpectProductLinks(machine);
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
  ExpectProductLinks(machine);
  EXPECT_EQ(Read(kProductExe), carriedProduct);
}

TEST_F(InstallTest, CancelledSetupRollsBackAndEnablesInstallAgain) {
  machine.QueueDialogAnswers({kIdNo});
  machine.SetStartProgramHook([&](const std::string& path) { machine.SetFileLock(path, FileLock::None); });

  form->InstallProduct();

  for (const char* gone :
       {kProductExe, kUninstallerExe, kSetupExe, kDesktopLink, kGroupProductLink, kGroupUninstallerLink, kTempCopy}) {
    EXPECT_FALSE(machine.FileExists(gone)) << gone;
  }
  for (const char* gone : {kProductFolder, kOrganisationFolder, kGroup}) {
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

// --- The product executable, by the state found ---

struct UpdateCase {
  const char* name;
  std::optional<FileVersion> installed;  // nullopt: no product installed
  FileVersion carried;
  bool replaced;
};

class ProductUpdateTest : public InstallTest, public testing::WithParamInterface<UpdateCase> {};

TEST_P(ProductUpdateTest, ReplacesOnlyANewerBuild) {
  const UpdateCase& c = GetParam();
  CarryProduct(c.carried);
  if (c.installed) InstallProductOfVersion(c.installed);
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_EQ(Read(kProductExe), c.replaced ? carriedProduct : installedProduct);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  EXPECT_EQ(Read(kUninstallerExe), kUninstallerBytes);
}

INSTANTIATE_TEST_SUITE_P(States, ProductUpdateTest,
                         testing::Values(UpdateCase{"Absent", std::nullopt, {1, 0, 4, 6}, true},
                                         UpdateCase{"SameBuild", FileVersion{1, 0, 4, 6}, {1, 0, 4, 6}, false},
                                         UpdateCase{"NewerBuild", FileVersion{1, 0, 4, 6}, {1, 0, 4, 7}, true},
                                         UpdateCase{
                                             "NewerMinorLowerRelease", FileVersion{1, 0, 4, 6}, {1, 1, 0, 7}, false},
                                         UpdateCase{"OlderBuild", FileVersion{1, 0, 4, 7}, {1, 0, 4, 6}, false}),
                         [](const testing::TestParamInfo<UpdateCase>& info) { return std::string(info.param.name); });

// --- The temporary copy: the Windows Temp folder is open to every user ---

// Another user's process rewrites the copy at the worst moments: the product
// is written from the payload, never from the copy.
struct CopySwapCase {
  const char* name;
  const char* swapAfterReading;        // the file whose version read is followed by the swap
  std::optional<FileVersion> planted;  // the version of the file put in its place
  bool replaced;
};

class TempCopySwapTest : public InstallTest, public testing::WithParamInterface<CopySwapCase> {};

TEST_P(TempCopySwapTest, ProductComesFromThePayload) {
  const CopySwapCase& c = GetParam();
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});
  const std::string planted = BuildPeImage(c.planted) + "planted by another user";
  machine.SetVersionReadHook([&](const std::string& path) {
    if (path == c.swapAfterReading) machine.WriteFileBytes(kTempCopy, planted);
  });

  form->InstallProduct();

  EXPECT_EQ(Read(kProductExe), c.replaced ? carriedProduct : installedProduct);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
}

INSTANTIATE_TEST_SUITE_P(
    Moments, TempCopySwapTest,
    testing::Values(CopySwapCase{"BeforeTheVersionTestNewer", kProductExe, FileVersion{9, 9, 9, 9}, true},
                    CopySwapCase{"BeforeTheVersionTestOlder", kProductExe, FileVersion{1, 0, 4, 5}, false},
                    CopySwapCase{"BeforeTheVersionTestNoVersion", kProductExe, std::nullopt, false},
                    CopySwapCase{"AfterTheVersionTest", kTempCopy, FileVersion{9, 9, 9, 9}, true}),
    [](const testing::TestParamInfo<CopySwapCase>& info) { return std::string(info.param.name); });

// Something already at the copy's path is removed, and what cannot be removed
// ends the install before anything but the folders is written.
struct StaleCopyCase {
  const char* name;
  std::function<void(platform::HostPlatform&)> prepare;
  bool installs;
};

class StaleTempCopyTest : public InstallTest, public testing::WithParamInterface<StaleCopyCase> {};

TEST_P(StaleTempCopyTest, IsMadeFreshOrEndsTheInstall) {
  const StaleCopyCase& c = GetParam();
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  c.prepare(machine);
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  if (c.installs) {
    form->InstallProduct();
    EXPECT_EQ(Read(kProductExe), carriedProduct);
    EXPECT_FALSE(machine.FileExists(kTempCopy));
    return;
  }
  try {
    form->InstallProduct();
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_EQ(error.Message(), std::string("Cannot create file \"") + kTempCopy + "\". The file exists.");
  }
  EXPECT_EQ(Read(kProductExe), installedProduct);
  EXPECT_FALSE(machine.FileExists(kUninstallerExe));
  EXPECT_FALSE(machine.FileExists(kDesktopLink));
  EXPECT_TRUE(view.installEnabled.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Leftovers, StaleTempCopyTest,
    testing::Values(StaleCopyCase{"File", [](platform::HostPlatform& m) { m.WriteFileBytes(kTempCopy, "old"); }, true},
                    StaleCopyCase{"ReadOnlyFile",
                                  [](platform::HostPlatform& m) {
                                    m.WriteFileBytes(kTempCopy, "someone else's");
                                    m.SetFileLock(kTempCopy, FileLock::ReadOnly);
                                  },
                                  false},
                    StaleCopyCase{"Folder", [](platform::HostPlatform& m) { m.CreateDirectory(kTempCopy); }, false}),
    [](const testing::TestParamInfo<StaleCopyCase>& info) { return std::string(info.param.name); });

TEST_F(InstallTest, RunningProductIsKeptAndTheErrorShown) {
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  machine.SetFileLock(kProductExe, FileLock::Running);

  try {
    form->InstallProduct();
    FAIL() << "no error";
  } catch (const EFCreateError& error) {
    EXPECT_NE(error.Message().find(std::string("Cannot create file \"") + kProductExe + "\". "), std::string::npos)
        << error.Message();
  }
  machine.SetFileLock(kProductExe, FileLock::None);
  EXPECT_EQ(Read(kProductExe), installedProduct);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  EXPECT_FALSE(machine.FileExists(kDesktopLink));
  EXPECT_TRUE(view.installEnabled.empty());
}

TEST_F(InstallTest, NewerProductIsWrittenInItsFolderNotMovedFromTheCopy) {
  // A file moved out of the Windows Temp folder keeps the permissions it had
  // there; the product must be a new file of the product folder, so the copy
  // is still there until the sequence ends.
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  bool copyKeptWhileReporting = false;
  machine.SetDialogCallback([&](const platform::DialogRecord& dialog) {
    copyKeptWhileReporting = machine.FileExists(kTempCopy);
    return dialog.buttons == DialogButtons::Ok ? kIdOk : kIdNo;
  });

  form->InstallProduct();

  EXPECT_TRUE(copyKeptWhileReporting);
  EXPECT_EQ(Read(kProductExe), carriedProduct);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
}

TEST_F(InstallTest, DiskTooFullForTheNewerProductKeepsTheInstalledOne) {
  // Room for the copy and the small files, not for the new product beside it.
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  machine.SetDiskSpace(carriedProduct.size() + 200);

  EXPECT_THROW(form->InstallProduct(), Exception);

  machine.SetDiskSpace(std::nullopt);
  EXPECT_EQ(Read(kProductExe), installedProduct);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  EXPECT_TRUE(view.installEnabled.empty());
}

TEST_F(InstallTest, SecondInstallOfTheSameBuildRewritesTheUninstaller) {
  InstallProductOfVersion(kCarriedVersion);
  machine.WriteFileBytes(kUninstallerExe, "old uninstaller");
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_EQ(Read(kProductExe), installedProduct);
  EXPECT_EQ(Read(kUninstallerExe), kUninstallerBytes);
  EXPECT_FALSE(machine.FileExists(kTempCopy));
  ExpectProductLinks(machine);
}

// --- IsNewerVersion ---

struct VersionCase {
  FileVersion installed, carried;
  bool newer;
};

class IsNewerVersionTest : public InstallTest, public testing::WithParamInterface<VersionCase> {};

TEST_P(IsNewerVersionTest, ComparesComponentByComponent) {
  const VersionCase& c = GetParam();
  machine.WriteFileBytes("C:\\installed.exe", BuildPeImage(c.installed));
  machine.WriteFileBytes("C:\\carried.exe", BuildPeImage(c.carried));
  EXPECT_EQ(form->IsNewerVersion("C:\\installed.exe", "C:\\carried.exe"), c.newer);
  // The record keeps the carried file's version.
  EXPECT_EQ(form->FileVerMajor, c.carried.major);
  EXPECT_EQ(form->FileVerBuild, c.carried.build);
}

INSTANTIATE_TEST_SUITE_P(
    Versions, IsNewerVersionTest,
    testing::Values(VersionCase{{1, 0, 4, 6}, {1, 0, 4, 7}, true}, VersionCase{{1, 0, 4, 6}, {1, 0, 4, 6}, false},
                    VersionCase{{1, 0, 4, 6}, {1, 1, 0, 7}, false}, VersionCase{{1, 0, 4, 6}, {2, 0, 4, 6}, false},
                    VersionCase{{1, 0, 4, 6}, {2, 0, 4, 7}, true}, VersionCase{{2, 0, 0, 0}, {1, 9, 9, 9}, false},
                    VersionCase{{1, 0, 4, 65534}, {1, 0, 4, 65535}, true},
                    VersionCase{{0, 0, 0, 0}, {65535, 65535, 65535, 65535}, true}));

TEST_F(InstallTest, FileWithoutVersionComparesAsTheNumbersLastRead) {
  machine.WriteFileBytes("C:\\plain.exe", BuildPeImage(std::nullopt));
  machine.WriteFileBytes("C:\\carried.exe", BuildPeImage(FileVersion{1, 0, 4, 6}));
  form->FileVerMajor = 1;
  form->FileVerMinor = 0;
  form->FileVerRelease = 4;
  form->FileVerBuild = 5;
  EXPECT_TRUE(form->IsNewerVersion("C:\\plain.exe", "C:\\carried.exe"));
  // The other way round the carried file takes the installed one's numbers.
  EXPECT_FALSE(form->IsNewerVersion("C:\\carried.exe", "C:\\plain.exe"));
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

  try {
    form->InstallProduct();
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(error.Message().rfind(c.message, 0), 0u) << error.Message();
  }
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
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// --- A damaged download: found before anything is written ---

class DamagedPayloadTest : public InstallTest, public testing::WithParamInterface<int> {};

TEST_P(DamagedPayloadTest, SaysSoAndWritesNothing) {
  // One flipped byte in the middle of the item's zlib data.
  TmxStoredItem& item = *payload->StoredItems().Items(GetParam());
  std::vector<uint8_t> value(4 + static_cast<size_t>(item.Size()));
  const uint32_t n = static_cast<uint32_t>(item.Size());
  for (int i = 0; i < 4; ++i) value[i] = static_cast<uint8_t>(n >> (8 * i));
  std::copy(item.StoredData().Memory(), item.StoredData().Memory() + n, value.begin() + 4);
  value[4 + n / 2] ^= 0x5A;
  TMemoryStream stream;
  stream.Assign(value.data(), value.size());
  item.ReadStoredItem(stream);
  RegisterXEClient();
  const std::vector<std::string> before = machine.AllPaths();

  try {
    form->InstallProduct();
    FAIL() << "no error";
  } catch (const Exception& error) {
    EXPECT_EQ(platform::ApplicationErrorText(error.Message()), texts::kInstallerDamaged);
  }
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
  const char* file;
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
    [](const testing::TestParamInfo<HalfWrittenCase>& info) { return std::string(info.param.name); });

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
  ExpectProductLinks(machine);
}

TEST_F(InstallTest, DesktopLinkIsMadeEvenWhenTheGroupCannotBe) {
  machine.SetString(RootKey::CurrentUser, kShellFoldersKey, "Programs", "C:\\missing\\Programs");
  RegisterXEClient();
  machine.QueueDialogAnswers({kIdOk, kIdNo});

  form->InstallProduct();

  EXPECT_TRUE(machine.ReadShellLink(kDesktopLink).has_value());
  EXPECT_FALSE(machine.DirectoryExists("C:\\missing\\Programs\\Ostrelia"));
}

}  // namespace
}  // namespace install_test
