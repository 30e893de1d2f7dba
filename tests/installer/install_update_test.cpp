// The install sequence on a host machine, over an installed product: the
// update rule (a newer build only), the Windows Temp folder that another user
// may meddle with and the install leaves alone, and the version comparison.
#include <gtest/gtest.h>

#include <functional>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/row_name.h"

namespace install_test {
namespace {

using platform::FileLock;
using platform::kIdNo;
using platform::kIdOk;

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
                         RowName());

// --- Nothing in the Windows Temp folder, which every user may write ---

// What another user put at T (where earlier versions made the version test's
// copy), or puts there while the install runs: the version test reads the
// carried product in memory, so none of it decides whether the installed
// product is replaced, and nothing there is read, written, followed or deleted.
enum class Outcome { Replaced, Kept, ProductInUse };

struct TempFolderCase {
  const char* name;
  std::function<void(platform::HostPlatform&)> prepare;
  FileVersion carried;  // over an installed 1.0.4.6
  Outcome outcome;
  std::optional<std::optional<FileVersion>> plantedWhileRunning = std::nullopt;  // put at T once a version was read
};

class TempFolderTest : public InstallTest, public testing::WithParamInterface<TempFolderCase> {};

TEST_P(TempFolderTest, IsNeitherReadNorWritten) {
  const TempFolderCase& c = GetParam();
  CarryProduct(c.carried);
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  MakeFolders("C:\\windows\\system32");
  c.prepare(machine);
  machine.QueueDialogAnswers({kIdOk, kIdNo});
  std::vector<std::string> temp = StateUnder(machine, kTempFolder);
  std::vector<std::string> read;
  machine.SetVersionReadHook([&](const std::string& path) {
    read.push_back(path);
    if (!c.plantedWhileRunning) return;
    machine.WriteFileBytes(kTempCopy, BuildPeImage(*c.plantedWhileRunning) + "planted by another user");
    temp = StateUnder(machine, kTempFolder);
  });

  if (c.outcome == Outcome::ProductInUse) {
    EXPECT_THROW(form->InstallProduct(), EFCreateError);
    machine.SetFileLock(kProductExe, FileLock::None);
  } else {
    form->InstallProduct();
  }

  EXPECT_EQ(Read(kProductExe), c.outcome == Outcome::Replaced ? carriedProduct : installedProduct);
  EXPECT_EQ(read, std::vector<std::string>{kProductExe});
  EXPECT_EQ(StateUnder(machine, kTempFolder), temp);
  EXPECT_FALSE(machine.FileExists("C:\\windows\\system32\\planted.dll"));
}

const auto kNothing = [](platform::HostPlatform&) {};
const auto kLeftFile = [](platform::HostPlatform& m) { m.WriteFileBytes(kTempCopy, "old"); };
const auto kReadOnlyFile = [](platform::HostPlatform& m) {
  m.WriteFileBytes(kTempCopy, "someone else's");
  m.SetFileLock(kTempCopy, FileLock::ReadOnly);
};
const auto kFolder = [](platform::HostPlatform& m) { m.CreateFolder(kTempCopy); };
const auto kHeldOpen = [](platform::HostPlatform& m) {
  m.WriteFileBytes(kTempCopy, "held by another user");
  m.SetFileLock(kTempCopy, FileLock::Exclusive);
};

INSTANTIATE_TEST_SUITE_P(
    Leftovers, TempFolderTest,
    testing::Values(
        TempFolderCase{"File", kLeftFile, {1, 0, 4, 7}, Outcome::Replaced},
        TempFolderCase{"ReadOnlyFile", kReadOnlyFile, {1, 0, 4, 7}, Outcome::Replaced},
        TempFolderCase{"Folder", kFolder, {1, 0, 4, 7}, Outcome::Replaced},
        TempFolderCase{"FolderSameBuild", kFolder, {1, 0, 4, 6}, Outcome::Kept},
        TempFolderCase{"HeldOpen", kHeldOpen, {1, 0, 4, 7}, Outcome::Replaced},
        TempFolderCase{"HeldOpenOlderBuild", kHeldOpen, {1, 0, 4, 5}, Outcome::Kept},
        TempFolderCase{"FolderAndTheProductInUse",
                       [](platform::HostPlatform& m) {
                         kFolder(m);
                         m.SetFileLock(kProductExe, FileLock::Running);
                       },
                       {1, 0, 4, 7},
                       Outcome::ProductInUse},
        // A mount point (which needs no race) to a file of the system folder:
        // a copy made through it would be a file there of their choosing.
        TempFolderCase{"JunctionToTheSystemFolder",
                       [](platform::HostPlatform& m) {
                         m.MakeLink(kTempCopy, "C:\\windows\\system32\\planted.dll", platform::LinkKind::Junction);
                       },
                       {1, 0, 4, 7},
                       Outcome::Replaced},
        // Another user's file put at T while the install runs decides nothing.
        TempFolderCase{"NewerPlantedWhileRunning", kNothing, {1, 0, 4, 7}, Outcome::Replaced, FileVersion{9, 9, 9, 9}},
        TempFolderCase{"OlderPlantedWhileRunning", kNothing, {1, 0, 4, 7}, Outcome::Replaced, FileVersion{1, 0, 4, 5}},
        TempFolderCase{
            "UnversionedPlantedWhileRunning", kNothing, {1, 0, 4, 7}, Outcome::Replaced, std::optional<FileVersion>{}},
        TempFolderCase{
            "NewerPlantedOverAnOlderCarried", kNothing, {1, 0, 4, 5}, Outcome::Kept, FileVersion{9, 9, 9, 9}}),
    RowName());

TEST_F(InstallTest, RunningProductIsKeptAndTheErrorShown) {
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  machine.SetFileLock(kProductExe, FileLock::Running);

  const std::string message = ErrorOf<EFCreateError>([&] { form->InstallProduct(); });
  EXPECT_TRUE(StartsWith(message, std::string("Cannot create file \"") + kProductExe + "\". ")) << message;
  machine.SetFileLock(kProductExe, FileLock::None);
  EXPECT_EQ(Read(kProductExe), installedProduct);
  EXPECT_FALSE(machine.FileExists(kDesktopLink));
  EXPECT_TRUE(view.installEnabled.empty());
}

TEST_F(InstallTest, TempFolderStaysEmptyWhileTheNewerProductIsWritten) {
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  std::vector<std::string> seen;
  machine.SetDialogCallback([&](const platform::DialogRecord& dialog) {
    const std::vector<std::string> now = StateUnder(machine, kTempFolder);
    seen.insert(seen.end(), now.begin(), now.end());
    return dialog.buttons == DialogButtons::Ok ? kIdOk : kIdNo;
  });

  form->InstallProduct();

  EXPECT_EQ(seen, std::vector<std::string>{});
  EXPECT_EQ(Read(kProductExe), carriedProduct);
}

TEST_F(InstallTest, DiskTooFullForTheNewerProductKeepsTheInstalledOne) {
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  machine.SetDiskSpace(carriedProduct.size() / 2);

  EXPECT_THROW(form->InstallProduct(), Exception);

  machine.SetDiskSpace(std::nullopt);
  EXPECT_EQ(Read(kProductExe), installedProduct);
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
  ExpectProductLinks();
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

}  // namespace
}  // namespace install_test
