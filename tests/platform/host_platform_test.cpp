// The host machine's own behaviour beyond the contract: what tests set up
// (rights, locks, a full disk, scripted dialogs, started programs).
#include "platform/host/host_platform.h"

#include <gtest/gtest.h>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"

using namespace platform;

namespace {

class HostPlatformTest : public ::testing::Test {
 protected:
  std::string Read(const std::string& path) {
    const auto bytes = host_.ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }
  HostPlatform host_;
};

TEST_F(HostPlatformTest, EveryNonStringTypeRaises) {
  const uint32_t types[] = {kRegBinary, kRegDword, kRegMultiSz, kRegQword, 0};
  for (uint32_t type : types) {
    host_.SetValue(RootKey::LocalMachine, "\\K", "V", type, {'a', 0, 0, 0});
    auto key = host_.OpenKey(RootKey::LocalMachine, "\\K", KeyAccess::Read);
    EXPECT_THROW(key->ReadString("V"), ERegistryException) << type;
  }
}

TEST_F(HostPlatformTest, StringWithoutTerminatorIsReadWhole) {
  host_.SetValue(RootKey::LocalMachine, "\\K", "V", kRegSz, {'a', 'b'});
  EXPECT_EQ(host_.OpenKey(RootKey::LocalMachine, "\\K", KeyAccess::Read)->ReadString("V"), "ab");
}

// Windows' order: subkeys by upper-cased name ("_" after the letters), values
// as created. (Wine sorts with lower case and sorts values too.)
TEST_F(HostPlatformTest, EnumerationOrderIsWindows) {
  for (const char* name : {"gamma", "A_b", "beta", "Alpha", "AB"})
    host_.CreateKey(RootKey::CurrentUser, std::string("\\K\\") + name);
  for (const char* name : {"zeta", "Alpha", "_under", "mid"}) host_.SetString(RootKey::CurrentUser, "\\K", name, name);
  auto key = host_.OpenKey(RootKey::CurrentUser, "\\K", KeyAccess::Read);
  EXPECT_EQ(key->SubkeyNames(), (std::vector<std::string>{"AB", "Alpha", "A_b", "beta", "gamma"}));
  EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"zeta", "Alpha", "_under", "mid"}));
}

TEST_F(HostPlatformTest, KeyRightsAreInheritedBySubkeys) {
  const std::string uninstall = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  host_.CreateKey(RootKey::LocalMachine, uninstall + "\\XE");
  host_.SetKeyPermission(RootKey::LocalMachine, uninstall, KeyPermission::ReadOnly);
  for (const std::string& path : {uninstall, uninstall + "\\XE"}) {
    EXPECT_TRUE(host_.OpenKey(RootKey::LocalMachine, path, KeyAccess::Read)) << path;
    EXPECT_FALSE(host_.OpenKey(RootKey::LocalMachine, path, KeyAccess::AllAccess)) << path;
  }
  host_.SetKeyPermission(RootKey::LocalMachine, "\\SOFTWARE\\ORACLE", KeyPermission::Denied);
  EXPECT_FALSE(host_.KeyExists(RootKey::LocalMachine, "\\SOFTWARE\\ORACLE"));
  EXPECT_FALSE(host_.OpenKey(RootKey::LocalMachine, "\\SOFTWARE\\ORACLE", KeyAccess::Read));
}

TEST_F(HostPlatformTest, KeyDeletedWhileOpenReadsAsEmpty) {
  host_.SetString(RootKey::LocalMachine, "\\A\\B", "V", "x");
  auto key = host_.OpenKey(RootKey::LocalMachine, "\\A\\B", KeyAccess::Read);
  host_.DeleteKeyTree(RootKey::LocalMachine, "\\a");
  EXPECT_EQ(key->ReadString("V"), std::nullopt);
  EXPECT_TRUE(key->ValueNames().empty());
  EXPECT_FALSE(host_.KeyExists(RootKey::LocalMachine, "\\A"));
}

TEST_F(HostPlatformTest, ValueKeepsItsFirstNameAndPlace) {
  host_.SetString(RootKey::CurrentUser, "\\K", "DisplayName", "a");
  host_.SetString(RootKey::CurrentUser, "\\K", "Other", "b");
  host_.SetString(RootKey::CurrentUser, "\\K", "DISPLAYNAME", "c");
  auto key = host_.OpenKey(RootKey::CurrentUser, "\\K", KeyAccess::Read);
  EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"DisplayName", "Other"}));
  EXPECT_EQ(key->ReadString("displayname"), "c");
  host_.DeleteValue(RootKey::CurrentUser, "\\K", "displayNAME");
  EXPECT_EQ(key->ValueNames(), (std::vector<std::string>{"Other"}));
}

TEST_F(HostPlatformTest, PathForms) {
  host_.WriteFileBytes("C:\\root.txt", "r");
  host_.AddDrive('D');
  host_.CreateFolder("d:\\Data");
  host_.WriteFileBytes("D:\\data\\f.txt", "d");
  const struct {
    const char* path;
    bool exists;
  } cases[] = {
      {"C:\\root.txt", true},
      {"c:/ROOT.TXT", true},
      {"\\root.txt", true},  // the current drive
      {"root.txt", true},
      {"C:\\x\\..\\root.txt", true},
      {"D:\\DATA\\F.TXT", true},
      {"E:\\root.txt", false},
      {"C:\\ro*.txt", false},
      {"C:\\root.txt:s", false},
      {"\\\\server\\share\\root.txt", false},
  };
  for (const auto& c : cases) EXPECT_EQ(host_.FileExists(c.path), c.exists) << c.path;
}

TEST_F(HostPlatformTest, InvalidNameInErrors) {
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { host_.CreateFileStream("C:\\a|b"); }),
            "Cannot create file \"C:\\a|b\". The filename, directory name, or volume label syntax is incorrect.");
}

TEST_F(HostPlatformTest, RunningProgramCanBeReadButNotReplaced) {
  const std::string exe = "C:\\Program Files\\p.exe";
  host_.WriteFileBytes(exe, "old");
  host_.SetFileLock(exe, FileLock::Running);
  EXPECT_EQ(Read(exe), "old");
  EXPECT_FALSE(host_.RemoveFile(exe));
  EXPECT_EQ(ErrorOf<EFCreateError>([&] { host_.CreateFileStream(exe); }),
            "Cannot create file \"C:\\Program Files\\p.exe\". The process cannot access the file "
            "because it is being used by another process.");
  EXPECT_THROW(host_.ReplaceContent(exe, {'n'}), EFCreateError);
  EXPECT_EQ(Read(exe), "old");
  // Renaming a running program is allowed, and the lock goes with it.
  EXPECT_EQ(host_.Guarded().Rename(exe, "C:\\Program Files\\q.exe"), platform::MoveResult::Moved);
  EXPECT_FALSE(host_.RemoveFile("C:\\Program Files\\q.exe"));
  host_.SetFileLock("C:\\Program Files\\q.exe", FileLock::None);
  EXPECT_TRUE(host_.RemoveFile("C:\\Program Files\\q.exe"));
}

TEST_F(HostPlatformTest, ExclusiveHolderBlocksReading) {
  host_.WriteFileBytes("C:\\t.ora", "x");
  host_.SetFileLock("C:\\T.ORA", FileLock::Exclusive);
  EXPECT_THROW(host_.ReadFile("C:\\t.ora"), EFOpenError);
  EXPECT_FALSE(host_.ReadFileVersion("C:\\t.ora"));
  EXPECT_EQ(host_.Guarded().Rename("C:\\t.ora", "C:\\u.ora"), platform::MoveResult::Failed);
}

TEST_F(HostPlatformTest, ReadOnlyFileCanBeReadAndRenamedOnly) {
  host_.WriteFileBytes("C:\\r.exe", "old");
  host_.SetFileLock("C:\\r.exe", FileLock::ReadOnly);
  EXPECT_EQ(Read("C:\\r.exe"), "old");
  EXPECT_FALSE(host_.RemoveFile("C:\\r.exe"));
  EXPECT_THROW(host_.CreateFileStream("C:\\r.exe"), EFCreateError);
  EXPECT_THROW(host_.ReplaceContent("C:\\r.exe", {'n'}), EFCreateError);
  EXPECT_EQ(Read("C:\\r.exe"), "old");
  EXPECT_EQ(host_.Guarded().Rename("C:\\r.exe", "C:\\s.exe"), platform::MoveResult::Moved);
}

TEST_F(HostPlatformTest, RestartDeletesWhatWasAskedInOrder) {
  host_.CreateFolder("C:\\gone");
  host_.WriteFileBytes("C:\\gone\\running.exe", "MZ");
  host_.SetFileLock("C:\\gone\\running.exe", FileLock::Running);
  host_.CreateFolder("C:\\kept");
  host_.WriteFileBytes("C:\\kept\\data.txt", "x");
  for (const char* path : {"C:\\gone\\running.exe", "C:\\gone", "C:\\kept"}) EXPECT_TRUE(host_.RemoveAtRestart(path));
  EXPECT_TRUE(host_.FileExists("C:\\gone\\running.exe"));
  host_.Restart();
  EXPECT_FALSE(host_.DirectoryExists("C:\\gone"));
  EXPECT_TRUE(host_.FileExists("C:\\kept\\data.txt"));  // a folder goes only when empty
  EXPECT_TRUE(host_.DeletionsAtRestart().empty());
}

TEST_F(HostPlatformTest, FullDiskFailsWritesAfterTheLimit) {
  host_.SetDiskSpace(4);
  auto stream = host_.CreateFileStream("C:\\f.bin");
  EXPECT_EQ(stream->Write("abcdef", 6), 4u);
  EXPECT_THROW(stream->WriteBuffer("g", 1), EWriteError);
  stream.reset();
  EXPECT_EQ(Read("C:\\f.bin"), "abcd");
}

TEST_F(HostPlatformTest, FullDiskDuringReplaceKeepsTheOldFileAndNoTemporary) {
  host_.CreateFolder("C:\\net");
  host_.WriteFileBytes("C:\\net\\t.ora", "old");
  host_.SetDiskSpace(2);
  EXPECT_THROW(host_.ReplaceContent("C:\\net\\t.ora", {'n', 'e', 'w'}), EWriteError);
  EXPECT_EQ(Read("C:\\net\\t.ora"), "old");
  host_.SetDiskSpace(std::nullopt);
  EXPECT_TRUE(host_.RemoveFile("C:\\net\\t.ora"));
  EXPECT_TRUE(host_.RemoveFolder("C:\\net"));
}

TEST_F(HostPlatformTest, StreamsMayOutliveThePlatform) {
  auto other = std::make_unique<HostPlatform>();
  auto stream = other->CreateFileStream("C:\\f");
  auto key =
      (other->CreateKey(RootKey::CurrentUser, "\\K"), other->OpenKey(RootKey::CurrentUser, "\\K", KeyAccess::Read));
  other.reset();
  EXPECT_TRUE(key->ValueNames().empty());
  stream.reset();
}

TEST_F(HostPlatformTest, ShellLinkFailures) {
  host_.SetShellLinkFailure(ShellLinkFailure::CannotCreate);
  EXPECT_THROW(host_.CreateShellLink("C:\\p.exe", "", "C:\\", "C:\\p.lnk"), EOleSysError);
  host_.SetShellLinkFailure(ShellLinkFailure::NoInterface);
  EXPECT_EQ(ErrorOf<EIntfCastError>([&] { host_.CreateShellLink("C:\\p.exe", "", "C:\\", "C:\\p.lnk"); }),
            "Interface not supported");
  EXPECT_FALSE(host_.FileExists("C:\\p.lnk"));
}

TEST_F(HostPlatformTest, StartedProgramRunsItsHookAndHoldsItsFile) {
  const std::string setup = "C:\\Program Files\\OracleXEClient.exe";
  host_.SetStartProgramHook([&](const std::string& path) {
    EXPECT_EQ(path, setup);
    host_.SetString(RootKey::LocalMachine, "\\SOFTWARE\\ORACLE\\KEY_XEClient", "ORACLE_HOME", "C:\\XE");
  });
  host_.StartProgram(setup, "C:\\Program Files", {});  // not extracted: nothing starts
  EXPECT_TRUE(host_.StartedPrograms().empty());
  host_.WriteFileBytes(setup, "MZ");
  host_.StartProgram(setup, "C:\\Program Files", {});
  EXPECT_EQ(host_.StartedPrograms(), std::vector<std::string>{setup});
  EXPECT_EQ(host_.StartedProgramFolders(), std::vector<std::string>{"C:\\Program Files"});
  EXPECT_TRUE(host_.KeyExists(RootKey::LocalMachine, "\\SOFTWARE\\ORACLE\\KEY_XEClient"));
  EXPECT_FALSE(host_.RemoveFile(setup));  // still running
}

TEST_F(HostPlatformTest, DialogsAnswerFromTheScriptThenTheCallback) {
  host_.QueueDialogAnswers({kIdYes, kIdNo});
  EXPECT_EQ(host_.MessageDialog("wait", DialogType::Confirmation, DialogButtons::YesNo), kIdYes);
  EXPECT_EQ(host_.MessageDialog("wait", DialogType::Confirmation, DialogButtons::YesNo), kIdNo);
  EXPECT_THROW(host_.MessageDialog("unscripted", DialogType::Information, DialogButtons::Ok), std::logic_error);
  host_.SetDialogCallback(
      [](const DialogRecord& dialog) { return dialog.buttons == DialogButtons::Ok ? kIdOk : kIdNo; });
  EXPECT_EQ(host_.MessageDialog("done", DialogType::Information, DialogButtons::Ok), kIdOk);
  host_.QueueDialogAnswers({kIdYes});
  EXPECT_THROW(host_.MessageDialog("ok only", DialogType::Error, DialogButtons::Ok), std::logic_error);
}

TEST_F(HostPlatformTest, TerminatingAnswersCancelWithoutUsingTheScript) {
  host_.QueueDialogAnswers({kIdYes});
  host_.SetTerminating(true);
  EXPECT_EQ(host_.MessageDialog("restart?", DialogType::Confirmation, DialogButtons::YesNo), kIdCancel);
  EXPECT_EQ(host_.PendingDialogAnswers(), 1u);
  ASSERT_EQ(host_.Dialogs().size(), 1u);
  EXPECT_EQ(host_.Dialogs()[0].text, "restart?");
  EXPECT_EQ(host_.Dialogs()[0].answer, kIdCancel);
}

TEST_F(HostPlatformTest, ResourcesByNameWithoutCase) {
  host_.SetResource("TFormExe", {1, 2, 3});
  const auto range = host_.FindRcData("TFORMEXE");
  ASSERT_TRUE(range);
  EXPECT_EQ(std::vector<uint8_t>(range->data, range->data + range->size), (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_FALSE(host_.FindRcData("TFORMINSTALADOR"));
}

TEST_F(HostPlatformTest, ProcessMessagesRunsTheHook) {
  int clicks = 0;
  host_.SetProcessMessagesHook([&] { ++clicks; });
  host_.ProcessMessages();
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(host_.ProcessMessagesCalls(), 1);
}

}  // namespace
