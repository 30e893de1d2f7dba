// The product's net service entry written into the found client's tnsnames.ora:
// the XE and other-home cases, and that a failure never costs the user's file.
#include <gtest/gtest.h>

#include "framework/errors.h"
#include "framework/text_case.h"
#include "oracle/texts.h"
#include "oracle/tnsnames.h"
#include "tests/oracle/oracle_test_support.h"
#include "tests/support/error_matcher.h"
#include "tests/support/row_name.h"

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
    ASSERT_TRUE(System().CreateFolder(home_));
  }

  // An Oracle home with network\ADMIN and, when given, a tnsnames.ora.
  std::string MakeOtherHome(const std::optional<std::string>& tnsnames) {
    install_test::MakeFolders(System(), home_ + "\\network\\ADMIN");
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
  ASSERT_TRUE(System().CreateFolder(home_ + "\\NETWORK"));
  ASSERT_TRUE(System().CreateFolder(home_ + "\\NETWORK\\ADMIN"));
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
  const char* name;
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
    RowName());

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
  const char* name;
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
                         RowName());

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
// through it. A registered client behind it is no missing one: the user is
// told, in one box, which home and link were refused and what to add by
// hand, and no other client is installed. The XE client's file with a second
// name is kept beside it and the carried file takes its name; another home's
// is left alone, and said so. A cloud placeholder is no link, and a link an
// administrator made is followed.
class PlantedUnderTheHome : public NetService, public testing::WithParamInterface<install_test::PlantedCase> {
 protected:
  void SetUp() override {
    NetService::SetUp();
    install_test::Plant(Host(*machine_), home_, GetParam(), install_test::kVictimTnsnames);
    victim_ = install_test::VictimState(Host(*machine_));
  }

  // The client provisioned: the texts of the dialogs it showed (each answered OK).
  std::vector<std::string> Provision() {
    Host(*machine_).SetDialogCallback([](const platform::DialogRecord&) { return platform::kIdOk; });
    EXPECT_TRUE(Form().EnsureOracleClient());
    EXPECT_TRUE(Host(*machine_).StartedPrograms().empty());
    std::vector<std::string> texts;
    for (const platform::DialogRecord& dialog : Host(*machine_).Dialogs()) texts.push_back(dialog.text);
    return texts;
  }
  // The box that says why the entry is to be added by hand.
  std::vector<std::string> NotPlaced(const std::string& why) {
    return {Format(texts::kNetServiceEntryNotPlaced, why.c_str(), INSTALADOR_DB_HOST,
                   tnsnames::AppendedLine(INSTALADOR_DB_HOST).c_str())};
  }
  // The link, named as in the path to `file`.
  std::string Refusal(const std::string& file) {
    return Format(texts::kHomeBehindLink, home_.c_str(),
                  file.substr(0, home_.size() + GetParam().place.size()).c_str());
  }

  std::vector<std::string> victim_;
};

TEST_P(PlantedUnderTheHome, XEClientGetsNothingThroughIt) {
  SetXEClientHome(home_);
  const std::string file = home_ + "\\NETWORK\\ADMIN\\tnsnames.ora";
  if (GetParam().Refused() && !GetParam().HardLink()) {
    EXPECT_EQ(Provision(), NotPlaced(Refusal(file)));
  } else {
    EXPECT_EQ(Provision(), std::vector<std::string>{});
    EXPECT_EQ(machine_->ReadFile(file), StoredNetServiceFile());
    if (GetParam().HardLink()) {
      EXPECT_EQ(machine_->ReadFile(file + ".1.bak"), "another user's " + GetParam().place);
    }
  }
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim_);
}

TEST_P(PlantedUnderTheHome, OtherHomeIsToldNotReplaced) {
  SetHomeCounter("1");
  SetOracleHome(home_);
  if (GetParam().Refused()) {
    EXPECT_EQ(Provision(), NotPlaced(GetParam().HardLink() ? Format(texts::kFileWithSecondName, home_.c_str())
                                                           : Refusal(home_ + "\\network\\ADMIN\\tnsnames.ora")));
  } else {
    const std::string file = MakeOtherHome(kOtherEntries);
    EXPECT_EQ(Provision(), std::vector<std::string>{});
    EXPECT_EQ(machine_->ReadFile(file), kOtherEntries + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n");
  }
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim_);
}

INSTANTIATE_TEST_SUITE_P(Places, PlantedUnderTheHome, testing::ValuesIn(install_test::OracleHomeCases()), RowName());

// What the installer makes under an Oracle home is its own (Administrators
// and SYSTEM change it, Users only read it), whatever the home passes on; a
// file it edits keeps its own permissions and attributes.
TEST_F(NetService, WhatIsMadeUnderTheHomeIsReadOnlyForUsers) {
  SetXEClientHome(home_);
  ASSERT_TRUE(Form().ConfigureNetService());
  for (const char* made : {"\\NETWORK", "\\NETWORK\\ADMIN", "\\NETWORK\\ADMIN\\tnsnames.ora"})
    EXPECT_EQ(Host(*machine_).SecurityOf(home_ + made), platform::kUsersReadOnlySecurity) << made;
}

TEST_F(NetService, EditedFileKeepsItsPermissionsAndAttributes) {
  const std::string file = MakeOtherHome(kOtherEntries);
  const std::string own = "D:P(A;;FA;;;BA)(A;;FR;;;WD)";
  Host(*machine_).SetSecurity(file, own);
  Host(*machine_).SetAttributes(file, platform::kAttributeHidden);
  ASSERT_TRUE(Form().ConfigureNetService());
  EXPECT_EQ(machine_->ReadFile(file), kOtherEntries + tnsnames::AppendedLine(INSTALADOR_DB_HOST) + "\r\n");
  EXPECT_EQ(Host(*machine_).SecurityOf(file), own);
  EXPECT_EQ(Host(*machine_).AttributesOf(file), platform::kAttributeHidden);
}

// Another user acts while a checked act holds its folders: a folder that has
// been checked, emptied, becomes a mount point (to the same place under
// C:\victim) before the act, or another level on the way down. Every act is
// made inside the folder as it was held, by one name: nothing lands in their
// folder or leaves it, and what the act made stays where it was checked.
struct RaceCase {
  const char* name;
  const char* before;  // the folders below the home before the step
  platform::GuardedStep step;
  const char* linked;  // below the home: linked at that step, when it holds it
  const char* file;    // below the home, as the race leaves it: where the file is ("" none)
  bool refused;        // the write that follows meets the link and is refused
};

class FolderLinkedOnceChecked : public NetService, public testing::WithParamInterface<RaceCase> {};

TEST_P(FolderLinkedOnceChecked, TakesNothing) {
  const RaceCase& c = GetParam();
  SetXEClientHome(home_);
  install_test::MakeFolders(System(), home_ + c.before);
  const std::string file = home_ + "\\NETWORK\\ADMIN\\tnsnames.ora";
  if (c.step == platform::GuardedStep::Move) machine_->WriteFile(file, std::string("A\0B", 3));
  const std::string linked = home_ + c.linked;
  install_test::MakeFolders(System(), std::string(install_test::kVictim) + c.before);
  const std::vector<std::string> victim = install_test::VictimState(Host(*machine_));
  bool done = false;
  Host(*machine_).SetGuardedStepHook([&](platform::GuardedStep step, const std::string& folder) {
    if (done || step != c.step || folder != linked) return;
    done = true;
    Host(*machine_).MakeLink(linked, install_test::kVictim + std::string(c.linked), platform::LinkKind::Junction);
  });
  if (c.refused) {
    EXPECT_EQ(ErrorOf<EFCreateError>([&] { Form().ConfigureNetService(); }),
              "Cannot create file \"" + file + "\". Access is denied.");
  } else {
    EXPECT_TRUE(Form().ConfigureNetService());
  }
  EXPECT_TRUE(done);
  EXPECT_EQ(install_test::VictimState(Host(*machine_)), victim);
  // Found where it was made, in the folder as it was held (the host's own
  // view: a path through the mount point now leads to C:\victim).
  std::vector<std::string> files;
  for (const std::string& path : Host(*machine_).AllPaths())
    if (path.find("TNSNAMES.ORA") != std::string::npos) files.push_back(path);
  EXPECT_EQ(files, *c.file ? std::vector<std::string>{AnsiUpper(home_ + c.file)} : std::vector<std::string>{});
}

using platform::GuardedStep;
INSTANTIATE_TEST_SUITE_P(Races, FolderLinkedOnceChecked,
                         testing::Values(
                             // A level above the file's folder, linked while the walk goes on down.
                             RaceCase{"network_below_a_checked_home", "\\NETWORK\\ADMIN", GuardedStep::FolderHeld,
                                      "\\NETWORK", "\\NETWORK\\ADMIN\\tnsnames.ora", false},
                             // The folder ADMIN is made in, before it is made.
                             RaceCase{"network_before_admin_is_made", "\\NETWORK", GuardedStep::Create, "\\NETWORK", "",
                                      true},
                             // The file's own folder: before the new file moves over the target.
                             RaceCase{"admin_before_the_commit", "\\NETWORK\\ADMIN", GuardedStep::Commit,
                                      "\\NETWORK\\ADMIN", "\\NETWORK\\ADMIN\\tnsnames.ora", false},
                             // The file's own folder: before a file that is no text is kept aside.
                             RaceCase{"admin_before_the_move", "\\NETWORK\\ADMIN", GuardedStep::Move,
                                      "\\NETWORK\\ADMIN", "\\NETWORK\\ADMIN\\tnsnames.ora.1.bak", true}),
                         RowName());

// A home that is no full path names a place under the current drive's root
// or folder, which any user may have prepared (with a link elsewhere): it is
// not used, even when a tnsnames.ora waits there.
struct PartialHomeCase {
  const char* name;
  std::string home;
  bool onThisMachine = true;  // the host has a place by that name to prepare
};

class PartialHome : public NetService, public testing::WithParamInterface<PartialHomeCase> {
 protected:
  // The folders and file the home's paths would reach.
  void Prepare(const std::string& network, const std::string& admin) {
    if (!GetParam().onThisMachine) return;
    if (!GetParam().home.empty()) System().CreateFolder(GetParam().home);
    System().CreateFolder(GetParam().home + network);
    System().CreateFolder(GetParam().home + admin);
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

INSTANTIATE_TEST_SUITE_P(Homes, PartialHome,
                         testing::Values(PartialHomeCase{"empty", ""}, PartialHomeCase{"relative", "oracle"},
                                         PartialHomeCase{"rooted", "\\ora"}, PartialHomeCase{"drive_relative", "C:ora"},
                                         // A device path can name any place, with no link on the way to see.
                                         PartialHomeCase{"globalroot",
                                                         "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\ora", false}),
                         RowName());
#endif

}  // namespace
}  // namespace oracle_test
