// The product's net service entry written into the found client's tnsnames.ora:
// the XE and other-home cases, and that a failure never costs the user's file.
#include <gtest/gtest.h>

#include "framework/errors.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "tests/oracle/oracle_test_support.h"
#include "tests/support/error_matcher.h"

#ifndef _WIN32
#include "platform/host/host_platform.h"
#endif

namespace oracle_test {
namespace {

const std::string kOtherEntries =
    "# site entries\r\n"
    "ORCL =\r\n"
    "  (DESCRIPTION =\r\n"
    "    (ADDRESS = (PROTOCOL = TCP)(HOST = dbserver)(PORT = 1521))\r\n"
    "    (CONNECT_DATA = (SERVICE_NAME = orcl))\r\n"
    "  )\r\n";

class NetService : public OracleTest {
 protected:
  void SetUp() override {
    OracleTest::SetUp();
    if (IsSkipped()) return;
    home_ = machine_->ScratchFolder() + "\\client";
    ASSERT_TRUE(System().CreateDirectory(home_));
  }

  // An Oracle home with network\ADMIN and, when given, a tnsnames.ora.
  std::string MakeOtherHome(const std::optional<std::string>& tnsnames) {
    EXPECT_TRUE(System().CreateDirectory(home_ + "\\network"));
    EXPECT_TRUE(System().CreateDirectory(home_ + "\\network\\ADMIN"));
    const std::string file = home_ + "\\network\\ADMIN\\tnsnames.ora";
    if (tnsnames) machine_->WriteFile(file, *tnsnames);
    SetHomeCounter("1");
    SetOracleHome(home_);
    return file;
  }

  std::string home_;
};

TEST_F(NetService, XEClientGetsTheCarriedFileAndItsFolders) {
  SetXEClientHome(home_);
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_TRUE(System().DirectoryExists(home_ + "\\NETWORK\\ADMIN"));
  EXPECT_EQ(machine_->ReadFile(home_ + "\\NETWORK\\ADMIN\\tnsnames.ora"), StoredNetServiceFile());
}

TEST_F(NetService, XEHomeWithTrailingSeparator) {
  SetXEClientHome(home_ + "\\");
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(machine_->ReadFile(home_ + "\\NETWORK\\ADMIN\\tnsnames.ora"), StoredNetServiceFile());
}

// The user's other entries survive: the file is edited, not overwritten.
TEST_F(NetService, XEClientKeepsEntriesOfAnExistingFile) {
  SetXEClientHome(home_);
  ASSERT_TRUE(System().CreateDirectory(home_ + "\\NETWORK"));
  ASSERT_TRUE(System().CreateDirectory(home_ + "\\NETWORK\\ADMIN"));
  const std::string file = home_ + "\\NETWORK\\ADMIN\\tnsnames.ora";
  machine_->WriteFile(file, kOtherEntries);
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(machine_->ReadFile(file), kOtherEntries + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n");
}

// Known only by its uninstall entry the client has no home: nothing is
// written anywhere (least of all relative to the current folder).
TEST_F(NetService, XEClientWithoutHomeWritesNothing) {
  AddUninstallEntry({kXEDisplayName});
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(Form().XEClientHome, "");
  EXPECT_FALSE(System().DirectoryExists("NETWORK"));
  EXPECT_FALSE(System().FileExists("NETWORK\\ADMIN\\tnsnames.ora"));
  EXPECT_FALSE(System().FileExists("\\NETWORK\\ADMIN\\tnsnames.ora"));
}

struct OtherHomeCase {
  const char* label;
  std::string before;
  std::string after;
};

class OtherHome : public NetService, public testing::WithParamInterface<OtherHomeCase> {};

TEST_P(OtherHome, FileIsEdited) {
  const std::string file = MakeOtherHome(GetParam().before);
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(machine_->ReadFile(file), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OtherHome,
    testing::Values(OtherHomeCase{"appended", kOtherEntries,
                                  kOtherEntries + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n"},
                    OtherHomeCase{"lf_written_back_as_crlf", "A = (x)\nB = (y)",
                                  "A = (x)\r\nB = (y)\r\n" + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n"},
                    OtherHomeCase{"set_by_name_in_place", "A = (x)\r\ntramidex = (old)\r\nB = (y)\r\n",
                                  "A = (x)\r\n" + tnsnames::SetByNameLine(INSTALADOR_DB_HOST) + "\r\nB = (y)\r\n"},
                    OtherHomeCase{"nul_padding_dropped", std::string("A = (x)\r\n\0\0\0\0", 13),
                                  "A = (x)\r\n" + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n"}),
    [](const testing::TestParamInfo<OtherHomeCase>& info) { return std::string(info.param.label); });

TEST_F(NetService, OtherHomeWithoutFileIsNotUsable) {
  MakeOtherHome(std::nullopt);
  EXPECT_FALSE(Form().ConfigureNetService());
  EXPECT_FALSE(System().FileExists(home_ + "\\network\\ADMIN\\tnsnames.ora"));
}

// The counter without a home value looks at the drive's root, finds nothing.
TEST_F(NetService, CounterWithoutHomeValueIsNotUsable) {
  SetHomeCounter("1");
  EXPECT_FALSE(Form().ConfigureNetService());
  EXPECT_EQ(Form().OracleHome, "");
}

TEST_F(NetService, NoClientIsNotConfigured) { EXPECT_FALSE(Form().ConfigureNetService()); }

// Text after a NUL would be dropped by a rewrite, so the file is never
// rewritten. Another home's is left alone, and the install ends in an error.
// In the XE client's home the carried file is written, as on a clean home:
// the user's file is kept beside it under the first free "<name>.<n>.bak".
struct NotTextCase {
  const char* label;
  bool xeClient;
  int copiesKeptBefore;  // tnsnames.ora.1.bak, ... already there
};

class NotText : public NetService, public testing::WithParamInterface<NotTextCase> {};

TEST_P(NotText, FileIsNeverRewritten) {
  const std::string content("A = (x)\r\n\0B = (y)\r\n", 20);
  const std::string file = MakeOtherHome(content);
  if (!GetParam().xeClient) {
    EXPECT_EQ(ErrorOf<EReadError>([&] { Form().ConfigureNetService(); }), Format(texts::kNotATextFile, file.c_str()));
    EXPECT_EQ(machine_->ReadFile(file), content);
    return;
  }
  // The same folders, named as the XE case names them.
  SetXEClientHome(home_);
  const std::string xeFile = home_ + "\\NETWORK\\ADMIN\\tnsnames.ora";
  for (int n = 1; n <= GetParam().copiesKeptBefore; ++n)
    machine_->WriteFile(xeFile + "." + std::to_string(n) + ".bak", "older copy");
  EXPECT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(machine_->ReadFile(xeFile), StoredNetServiceFile());
  const int kept = GetParam().copiesKeptBefore + 1;
  EXPECT_EQ(machine_->ReadFile(xeFile + "." + std::to_string(kept) + ".bak"), content);
  for (int n = 1; n < kept; ++n) EXPECT_EQ(machine_->ReadFile(xeFile + "." + std::to_string(n) + ".bak"), "older copy");
}

INSTANTIATE_TEST_SUITE_P(Homes, NotText,
                         testing::Values(NotTextCase{"other_home", false, 0}, NotTextCase{"xe_client", true, 0},
                                         NotTextCase{"xe_client_first_name_taken", true, 2}),
                         [](const testing::TestParamInfo<NotTextCase>& info) { return std::string(info.param.label); });

#ifndef _WIN32
platform::HostPlatform& Host(TestMachine& machine) { return dynamic_cast<platform::HostPlatform&>(machine.Platform()); }

// The disk fills half-way through the new file: the old one is intact and the
// error reaches the caller.
TEST_F(NetService, FailedWriteKeepsTheOldFile) {
  const std::string file = MakeOtherHome(kOtherEntries);
  Host(*machine_).SetDiskSpace(kOtherEntries.size() / 2);
  EXPECT_THROW(Form().ConfigureNetService(), EStreamError);
  Host(*machine_).SetDiskSpace(std::nullopt);
  EXPECT_EQ(machine_->ReadFile(file), kOtherEntries);
}

TEST_F(NetService, LockedFileReportsAndStaysUnchanged) {
  const std::string file = MakeOtherHome(kOtherEntries);
  Host(*machine_).SetFileLock(file, platform::FileLock::Exclusive);
  const std::string message = ErrorOf([&] { Form().ConfigureNetService(); });
  EXPECT_TRUE(StartsWith(message, "Cannot open file \"")) << message;
  Host(*machine_).SetFileLock(file, platform::FileLock::None);
  EXPECT_EQ(machine_->ReadFile(file), kOtherEntries);
}

// An extraction cut short leaves no half file for the next run to edit.
TEST_F(NetService, FailedExtractionLeavesNoFile) {
  SetXEClientHome(home_);
  Host(*machine_).SetDiskSpace(10);
  EXPECT_THROW(Form().ConfigureNetService(), EStreamError);
  Host(*machine_).SetDiskSpace(std::nullopt);
  EXPECT_FALSE(System().FileExists(home_ + "\\NETWORK\\ADMIN\\tnsnames.ora"));
}

// What another user may have put under an Oracle home (at the root of a drive
// every user may change it): nothing is read, written, made or deleted
// through it. The XE client then meets the extraction's error (a second name
// of their file is not read: that name gets the carried file), another home
// counts as one without tnsnames.ora; a cloud placeholder is no link.
class PlantedUnderTheHome : public NetService, public testing::WithParamInterface<install_test::PlantedCase> {
 protected:
  void SetUp() override {
    NetService::SetUp();
    install_test::Plant(Host(*machine_), home_, GetParam(), install_test::kVictimTnsnames);
    victim_ = install_test::VictimState(Host(*machine_));
  }

  std::vector<std::string> victim_;
};

TEST_P(PlantedUnderTheHome, XEClientGetsNothingThroughIt) {
  SetXEClientHome(home_);
  const std::string file = home_ + "\\NETWORK\\ADMIN\\tnsnames.ora";
  if (GetParam().Refused() && GetParam().planted != install_test::Planted::HardLink) {
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { Form().ConfigureNetService(); }),
              "Cannot create file \"" + file + "\". Access is denied.");
  } else {
    EXPECT_TRUE(Form().ConfigureNetService());
    EXPECT_EQ(machine_->ReadFile(file), StoredNetServiceFile());
  }
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim_);
}

TEST_P(PlantedUnderTheHome, OtherHomeCountsAsOneWithoutTnsnames) {
  if (GetParam().Refused()) {
    SetHomeCounter("1");
    SetOracleHome(home_);
    EXPECT_FALSE(Form().ConfigureNetService());
  } else {
    const std::string file = MakeOtherHome(kOtherEntries);
    EXPECT_TRUE(Form().ConfigureNetService());
    EXPECT_EQ(machine_->ReadFile(file), kOtherEntries + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n");
  }
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim_);
}

INSTANTIATE_TEST_SUITE_P(Places, PlantedUnderTheHome, testing::ValuesIn(install_test::OracleHomeCases()),
                         install_test::PlantedName);

// Another user acts while a checked write holds its folders: a folder that
// has been checked, emptied, becomes a mount point (to the same place under
// C:\victim). What the write made is then found elsewhere through its handle
// and removed, or the next level found outside the one above it: nothing
// lands in their folder, and the file is refused as one that cannot be made.
struct RaceCase {
  const char* label;
  const char* before;  // the folders below the home before the step
  const char* linked;  // below the home: linked once it has been checked and held
};

class FolderLinkedOnceChecked : public NetService, public testing::WithParamInterface<RaceCase> {};

TEST_P(FolderLinkedOnceChecked, TakesNothing) {
  SetXEClientHome(home_);
  install_test::MakeFolders(System(), home_ + GetParam().before);
  const std::string linked = home_ + GetParam().linked;
  const std::string theirs = std::string(install_test::kVictim) + GetParam().linked;
  install_test::MakeFolders(System(), std::string(install_test::kVictim) + GetParam().before);
  const std::vector<std::string> victim = install_test::VictimState(Host(*machine_));
  bool done = false;
  Host(*machine_).SetFoldersHeldHook([&](const std::string& folder) {
    if (done || folder != linked) return;
    done = true;
    Host(*machine_).MakeLink(linked, theirs, platform::LinkKind::Junction);
  });
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { Form().ConfigureNetService(); }),
            "Cannot create file \"" + home_ + "\\NETWORK\\ADMIN\\tnsnames.ora\". Access is denied.");
  EXPECT_TRUE(done);
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim);
}

INSTANTIATE_TEST_SUITE_P(Races, FolderLinkedOnceChecked,
                         testing::Values(
                             // The file's own folder: the new file is found elsewhere and deleted.
                             RaceCase{"admin_before_the_file_is_made", "\\NETWORK\\ADMIN", "\\NETWORK\\ADMIN"},
                             // The folder ADMIN is made in: ADMIN is found elsewhere and removed.
                             RaceCase{"network_before_admin_is_made", "\\NETWORK", "\\NETWORK"},
                             // A level above the file's folder, swapped while the walk goes on down.
                             RaceCase{"network_below_a_checked_home", "\\NETWORK\\ADMIN", "\\NETWORK"}),
                         [](const testing::TestParamInfo<RaceCase>& info) { return std::string(info.param.label); });

// A home that is no full path names a place under the current drive's root
// or folder, which any user may have prepared (with a link elsewhere): it is
// not used, even when a tnsnames.ora waits there.
struct PartialHomeCase {
  const char* label;
  std::string home;
  bool onThisMachine = true;  // the host has a place by that name to prepare
};

class PartialHome : public NetService, public testing::WithParamInterface<PartialHomeCase> {
 protected:
  // The folders and file the home's paths would reach.
  void Prepare(const std::string& network, const std::string& admin) {
    if (!GetParam().onThisMachine) return;
    if (!GetParam().home.empty()) System().CreateDirectory(GetParam().home);
    System().CreateDirectory(GetParam().home + network);
    System().CreateDirectory(GetParam().home + admin);
    machine_->WriteFile(GetParam().home + admin + "\\tnsnames.ora", kOtherEntries);
  }
  std::string FileUnder(const std::string& admin) {
    if (!GetParam().onThisMachine) return kOtherEntries;
    return machine_->ReadFile(GetParam().home + admin + "\\tnsnames.ora");
  }
};

TEST_P(PartialHome, OtherHomeIsNotUsable) {
  Prepare("\\network", "\\network\\ADMIN");
  SetHomeCounter("1");
  SetOracleHome(GetParam().home);
  EXPECT_FALSE(Form().ConfigureNetService());
  EXPECT_EQ(FileUnder("\\network\\ADMIN"), kOtherEntries);
}

// Registered, but where is unknown: true, and nothing written (an empty home
// registers no client at all).
TEST_P(PartialHome, XEHomeCountsAsUnknown) {
  Prepare("\\NETWORK", "\\NETWORK\\ADMIN");
  SetXEClientHome(GetParam().home);
  EXPECT_EQ(Form().ConfigureNetService(), !GetParam().home.empty());
  EXPECT_EQ(FileUnder("\\NETWORK\\ADMIN"), kOtherEntries);
}

INSTANTIATE_TEST_SUITE_P(
    Homes, PartialHome,
    testing::Values(PartialHomeCase{"empty", ""}, PartialHomeCase{"relative", "oracle"},
                    PartialHomeCase{"rooted", "\\ora"}, PartialHomeCase{"drive_relative", "C:ora"},
                    // A device path can name any place, with no link on the way to see.
                    PartialHomeCase{"globalroot", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\ora", false}),
    [](const testing::TestParamInfo<PartialHomeCase>& info) { return std::string(info.param.label); });
#endif

}  // namespace
}  // namespace oracle_test
