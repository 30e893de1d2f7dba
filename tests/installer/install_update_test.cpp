// The install sequence on a host machine, over an installed product: the
// update rule (a newer build only), the copy in the Windows Temp folder that
// another user may meddle with, and the version comparison.
#include <gtest/gtest.h>

#include <functional>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"

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
                         [](const testing::TestParamInfo<UpdateCase>& info) { return std::string(info.param.name); });

// --- The temporary copy: the Windows Temp folder is open to every user ---

// Another user's process rewrites the copy at the worst moments: the product
// is written from the payload, never from the copy.
struct CopySwapCase {
  const char* name;
  std::string swapAfterReading;        // the file whose version read is followed by the swap
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

// Something already at the copy's path is removed. What cannot be removed
// (another user's folder, or a file held open or read-only) does not stop the
// update: the version test reads a copy of a name nobody can guess beside it,
// which goes on every way out, and what the other user left stays.
enum class Outcome { Replaced, Kept, ProductInUse };

struct StaleCopyCase {
  const char* name;
  std::function<void(platform::HostPlatform&)> prepare;
  FileVersion carried;  // over an installed 1.0.4.6
  Outcome outcome;
  bool copyAtT;  // the version test reads T itself
};

class StaleTempCopyTest : public InstallTest, public testing::WithParamInterface<StaleCopyCase> {};

TEST_P(StaleTempCopyTest, VersionTestRunsOnAFreshCopy) {
  const StaleCopyCase& c = GetParam();
  CarryProduct(c.carried);
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  RegisterXEClient();
  c.prepare(machine);
  machine.QueueDialogAnswers({kIdOk, kIdNo});
  std::vector<std::string> read;
  machine.SetVersionReadHook([&](const std::string& path) { read.push_back(path); });

  if (c.outcome == Outcome::ProductInUse) {
    EXPECT_THROW(form->InstallProduct(), EFCreateError);
    machine.SetFileLock(kProductExe, FileLock::None);
  } else {
    form->InstallProduct();
  }

  EXPECT_EQ(Read(kProductExe), c.outcome == Outcome::Replaced ? carriedProduct : installedProduct);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0], kProductExe);
  if (c.copyAtT) {
    EXPECT_EQ(read[1], kTempCopy);
  } else {
    EXPECT_TRUE(StartsWith(read[1], kTempFolder + "\\~Pliegorama-")) << read[1];
  }
  // Nothing of ours is left in the Temp folder; what was there stays, or goes
  // as before when it could be deleted.
  for (const std::string& path : machine.AllPaths()) EXPECT_EQ(path.find("\\~PLIEGORAMA-"), std::string::npos) << path;
  EXPECT_EQ(machine.FileExists(kTempCopy) || machine.DirectoryExists(kTempCopy), !c.copyAtT);
}

const auto kLeftFile = [](platform::HostPlatform& m) { m.WriteFileBytes(kTempCopy, "old"); };
const auto kReadOnlyFile = [](platform::HostPlatform& m) {
  m.WriteFileBytes(kTempCopy, "someone else's");
  m.SetFileLock(kTempCopy, FileLock::ReadOnly);
};
const auto kFolder = [](platform::HostPlatform& m) { m.CreateDirectory(kTempCopy); };
const auto kHeldOpen = [](platform::HostPlatform& m) {
  m.WriteFileBytes(kTempCopy, "held by another user");
  m.SetFileLock(kTempCopy, FileLock::Exclusive);
};

INSTANTIATE_TEST_SUITE_P(
    Leftovers, StaleTempCopyTest,
    testing::Values(StaleCopyCase{"File", kLeftFile, {1, 0, 4, 7}, Outcome::Replaced, true},
                    StaleCopyCase{"ReadOnlyFile", kReadOnlyFile, {1, 0, 4, 7}, Outcome::Replaced, false},
                    StaleCopyCase{"Folder", kFolder, {1, 0, 4, 7}, Outcome::Replaced, false},
                    StaleCopyCase{"FolderSameBuild", kFolder, {1, 0, 4, 6}, Outcome::Kept, false},
                    StaleCopyCase{"HeldOpen", kHeldOpen, {1, 0, 4, 7}, Outcome::Replaced, false},
                    StaleCopyCase{"HeldOpenOlderBuild", kHeldOpen, {1, 0, 4, 5}, Outcome::Kept, false},
                    StaleCopyCase{"FolderAndTheProductInUse",
                                  [](platform::HostPlatform& m) {
                                    kFolder(m);
                                    m.SetFileLock(kProductExe, FileLock::Running);
                                  },
                                  {1, 0, 4, 7},
                                  Outcome::ProductInUse,
                                  false}),
    [](const testing::TestParamInfo<StaleCopyCase>& info) { return std::string(info.param.name); });

TEST_F(InstallTest, RunningProductIsKeptAndTheErrorShown) {
  CarryProduct(FileVersion{1, 0, 4, 7});
  InstallProductOfVersion(FileVersion{1, 0, 4, 6});
  machine.SetFileLock(kProductExe, FileLock::Running);

  const std::string message = ErrorOf<EFCreateError>([&] { form->InstallProduct(); });
  EXPECT_TRUE(StartsWith(message, std::string("Cannot create file \"") + kProductExe + "\". ")) << message;
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
