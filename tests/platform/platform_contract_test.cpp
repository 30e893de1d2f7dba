// What the installer relies on from the platform, checked against whichever
// implementation this build has: the host machine natively, Windows under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "framework/errors.h"
#include "framework/text_case.h"
#include "tests/platform/test_machine.h"
#include "tests/support/error_matcher.h"
#include "tests/support/pe_builder.h"

using platform::KeyAccess;
using platform::RootKey;

namespace {

class PlatformContract : public ::testing::Test {
 protected:
  void SetUp() override {
    machine_ = MakeTestMachine();
    scratch_ = machine_->ScratchFolder();
    key_ = TestRunKey() + "\\" + ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override { machine_->DeleteKeyTree(RootKey::CurrentUser, key_); }

  platform::Platform& P() { return machine_->Platform(); }
  std::string In(const std::string& name) { return scratch_ + "\\" + name; }
  std::string Read(const std::string& path) {
    const auto bytes = P().ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  std::unique_ptr<TestMachine> machine_;
  std::string scratch_;
  std::string key_;
};

// --- Registry ---

TEST_F(PlatformContract, ReadsStringValuesAsStored) {
  machine_->SetString(RootKey::CurrentUser, key_, "Plain", "C:\\Program Files");
  machine_->SetString(RootKey::CurrentUser, key_, "Expandable", "%ProgramFiles%\\X", true);
  machine_->SetString(RootKey::CurrentUser, key_, "Empty", "");
  machine_->SetString(RootKey::CurrentUser, key_, "WithNul", std::string("before\0after", 12));
  machine_->SetString(RootKey::CurrentUser, key_, "Accents", "instalaci\xF3n \xBFs\xED?");
  auto key = P().OpenKey(RootKey::CurrentUser, key_, KeyAccess::Read);
  ASSERT_TRUE(key);
  const struct {
    const char* name;
    std::optional<std::string> expected;
  } cases[] = {
      {"Plain", "C:\\Program Files"},
      {"Expandable", "%ProgramFiles%\\X"},  // never expanded here
      {"Empty", ""},
      {"WithNul", "before"},
      {"Accents", "instalaci\xF3n \xBFs\xED?"},
      {"Missing", std::nullopt},
      {"plain", "C:\\Program Files"},  // value names ignore case
  };
  for (const auto& c : cases) EXPECT_EQ(key->ReadString(c.name), c.expected) << c.name;
}

TEST_F(PlatformContract, NonStringValueRaisesWithItsName) {
  machine_->SetDword(RootKey::CurrentUser, key_, "Counter", 7);
  auto key = P().OpenKey(RootKey::CurrentUser, key_, KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { key->ReadString("counter"); }), "Invalid data type for 'counter'");
}

TEST_F(PlatformContract, KeyPathsIgnoreCaseAndTakeALeadingSeparator) {
  machine_->SetString(RootKey::CurrentUser, key_ + "\\Sub Key", "V", "x");
  const std::string upper = AsciiUpper(key_);
  const std::string withoutLeading = key_.substr(1);
  for (const std::string& path : {key_ + "\\Sub Key", upper + "\\SUB KEY", withoutLeading + "\\sub key"}) {
    EXPECT_TRUE(P().KeyExists(RootKey::CurrentUser, path)) << path;
    auto key = P().OpenKey(RootKey::CurrentUser, path, KeyAccess::Read);
    ASSERT_TRUE(key) << path;
    EXPECT_EQ(key->ReadString("v"), "x");
  }
}

TEST_F(PlatformContract, MissingKeysAreNotOpened) {
  machine_->CreateKey(RootKey::CurrentUser, key_);
  EXPECT_FALSE(P().KeyExists(RootKey::CurrentUser, key_ + "\\Missing"));
  EXPECT_FALSE(P().OpenKey(RootKey::CurrentUser, key_ + "\\Missing", KeyAccess::Read));
  EXPECT_FALSE(P().OpenKey(RootKey::CurrentUser, key_ + "\\Missing", KeyAccess::AllAccess));
  // Opening for full access never creates the key.
  EXPECT_FALSE(P().KeyExists(RootKey::CurrentUser, key_ + "\\Missing"));
  EXPECT_TRUE(P().OpenKey(RootKey::CurrentUser, key_, KeyAccess::AllAccess));
  // The roots differ.
  EXPECT_FALSE(P().KeyExists(RootKey::LocalMachine, key_));
}

TEST_F(PlatformContract, SubkeysEnumerateSortedWithoutRegardToCase) {
  for (const char* name : {"gamma", "beta", "Alpha", "AB", "alpine"})
    machine_->CreateKey(RootKey::CurrentUser, key_ + "\\" + name);
  for (const char* name : {"zeta", "Alpha", "mid"}) machine_->SetString(RootKey::CurrentUser, key_, name, name);
  auto key = P().OpenKey(RootKey::CurrentUser, key_, KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->SubkeyNames(), (std::vector<std::string>{"AB", "Alpha", "alpine", "beta", "gamma"}));
  // Windows lists values in creation order, Wine sorted by name: callers
  // must not depend on it, so only the names are compared here.
  auto values = key->ValueNames();
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"Alpha", "mid", "zeta"}));
}

TEST_F(PlatformContract, EmptyKeyHasNoNames) {
  machine_->CreateKey(RootKey::CurrentUser, key_);
  auto key = P().OpenKey(RootKey::CurrentUser, key_, KeyAccess::Read);
  ASSERT_TRUE(key);
  EXPECT_TRUE(key->SubkeyNames().empty());
  EXPECT_TRUE(key->ValueNames().empty());
}

TEST_F(PlatformContract, LocalMachineKeysAreReadInTheSameViewTheyArePrepared) {
  const std::string key = TestRunKey() + "\\LocalMachine";
  machine_->SetString(RootKey::LocalMachine, key, "ORACLE_HOME", "C:\\XE");
  auto opened = P().OpenKey(RootKey::LocalMachine, key, KeyAccess::Read);
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened->ReadString("ORACLE_HOME"), "C:\\XE");
  machine_->DeleteKeyTree(RootKey::LocalMachine, key);
  EXPECT_FALSE(P().KeyExists(RootKey::LocalMachine, key));
}

// --- Files and folders ---

TEST_F(PlatformContract, FilesAndFoldersAreToldApart) {
  machine_->WriteFile(In("file.txt"), "x");
  P().CreateFolder(In("folder"));
  const struct {
    std::string path;
    bool file, folder;
  } cases[] = {
      {In("file.txt"), true, false},
      {In("FILE.TXT"), true, false},
      {In("folder"), false, true},
      {In("FOLDER"), false, true},
      {In("folder\\"), false, true},
      {In("missing"), false, false},
      {In("missing\\file.txt"), false, false},
      {scratch_, false, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(P().FileExists(c.path), c.file) << c.path;
    EXPECT_EQ(P().DirectoryExists(c.path), c.folder) << c.path;
  }
}

TEST_F(PlatformContract, PathsIgnoreCase) {
  P().CreateFolder(In("Sub"));
  machine_->WriteFile(In("Sub\\File.TXT"), "first");
  EXPECT_EQ(Read(In("SUB\\file.txt")), "first");
  {
    auto stream = P().CreateFileStream(In("sub\\FILE.txt"));
    stream->WriteBuffer("second", 6);
  }
  EXPECT_EQ(machine_->ReadFile(In("Sub\\File.TXT")), "second");
  EXPECT_TRUE(P().RemoveFile(In("SUB\\FILE.TXT")));
  EXPECT_FALSE(P().FileExists(In("Sub\\File.TXT")));
  EXPECT_TRUE(P().RemoveFolder(In("sub")));
}

TEST_F(PlatformContract, CreateDirectoryMakesOneLevel) {
  EXPECT_FALSE(P().CreateFolder(In("a\\b")));
  EXPECT_FALSE(P().DirectoryExists(In("a")));
  EXPECT_TRUE(P().CreateFolder(In("a")));
  EXPECT_FALSE(P().CreateFolder(In("a")));  // already there
  EXPECT_TRUE(P().CreateFolder(In("a\\b")));
  EXPECT_TRUE(P().DirectoryExists(In("a\\b")));
}

TEST_F(PlatformContract, RemoveDirectoryOnlyWhenEmpty) {
  P().CreateFolder(In("full"));
  machine_->WriteFile(In("full\\x"), "x");
  EXPECT_FALSE(P().RemoveFolder(In("full")));
  EXPECT_TRUE(P().FileExists(In("full\\x")));
  EXPECT_FALSE(P().RemoveFolder(In("full\\x")));  // a file is no folder
  EXPECT_TRUE(P().RemoveFile(In("full\\x")));
  EXPECT_TRUE(P().RemoveFolder(In("full\\")));  // a trailing separator is fine
  EXPECT_FALSE(P().DirectoryExists(In("full")));
  EXPECT_FALSE(P().RemoveFolder(In("full")));
}

TEST_F(PlatformContract, DeleteFileOnlyDeletesFiles) {
  P().CreateFolder(In("folder"));
  EXPECT_FALSE(P().RemoveFile(In("folder")));
  EXPECT_TRUE(P().DirectoryExists(In("folder")));
  EXPECT_FALSE(P().RemoveFile(In("missing")));
}

// The message names the file as a full path and ends with the system's reason,
// without the line break the system puts after it.
void ExpectFileError(const std::string& message, const std::string& verb, const std::string& fullPath) {
  const std::string prefix = "Cannot " + verb + " file \"" + fullPath + "\". ";
  ASSERT_EQ(message.compare(0, prefix.size(), prefix), 0) << message;
  const std::string reason = message.substr(prefix.size());
  EXPECT_FALSE(reason.empty()) << message;
  EXPECT_EQ(reason.find_first_of("\r\n"), std::string::npos) << message;
}

TEST_F(PlatformContract, CreateFileStreamInMissingFolderNamesTheFullPath) {
  ExpectFileError(ErrorOf<EFCreateError>([&] { P().CreateFileStream(In("missing\\..\\gone\\x.bin")); }), "create",
                  In("gone\\x.bin"));
  EXPECT_FALSE(P().DirectoryExists(In("gone")));
}

TEST_F(PlatformContract, OpenFileStreamOfMissingFileRaises) {
  ExpectFileError(ErrorOf<EFOpenError>([&] { P().OpenFileStream(In("missing.bin")); }), "open", In("missing.bin"));
  EXPECT_THROW(P().ReadFile(In("missing.bin")), EFOpenError);
}

TEST_F(PlatformContract, CreatedStreamEmptiesTheFileAndSharesNothing) {
  machine_->WriteFile(In("f.bin"), "old content that is longer");
  auto stream = P().CreateFileStream(In("f.bin"));
  EXPECT_EQ(stream->Size(), 0);
  stream->WriteBuffer("new", 3);
  stream->SetPosition(0);
  char back[3];
  stream->ReadBuffer(back, 3);
  EXPECT_EQ(std::string(back, 3), "new");
  EXPECT_THROW(P().CreateFileStream(In("f.bin")), EFCreateError);
  EXPECT_THROW(P().OpenFileStream(In("f.bin")), EFOpenError);
  EXPECT_FALSE(P().RemoveFile(In("f.bin")));
  stream.reset();
  EXPECT_EQ(Read(In("f.bin")), "new");
}

TEST_F(PlatformContract, ReplaceFileCreatesAndReplaces) {
  P().ReplaceContent(In("t.ora"), {'a', 'b'});
  EXPECT_EQ(Read(In("t.ora")), "ab");
  P().ReplaceContent(In("T.ORA"), {'c'});
  EXPECT_EQ(Read(In("t.ora")), "c");
  // Only the file itself is left: no temporary beside it.
  EXPECT_TRUE(P().RemoveFile(In("t.ora")));
  EXPECT_TRUE(P().RemoveFolder(scratch_));
}

TEST_F(PlatformContract, FailedReplaceKeepsTheOldContent) {
  machine_->WriteFile(In("t.ora"), "old");
  {
    auto holder = P().OpenFileStream(In("t.ora"));  // another reader: no replacing
    EXPECT_THROW(P().ReplaceContent(In("t.ora"), {'n', 'e', 'w'}), EFCreateError);
  }
  EXPECT_EQ(Read(In("t.ora")), "old");
  EXPECT_TRUE(P().RemoveFile(In("t.ora")));
  EXPECT_TRUE(P().RemoveFolder(scratch_)) << "the temporary file was left behind";
}

TEST_F(PlatformContract, ReplaceFileInMissingFolderRaises) {
  EXPECT_THROW(P().ReplaceContent(In("missing\\t.ora"), {'x'}), EFCreateError);
}

TEST_F(PlatformContract, ReplacementIsInvisibleUntilCommitted) {
  machine_->WriteFile(In("p.exe"), "old");
  {
    auto first = P().CreateReplacement(In("p.exe"));
    auto second = P().CreateReplacement(In("p.exe"));  // names that do not collide
    first->WriteBuffer("new", 3);
    EXPECT_EQ(Read(In("p.exe")), "old");
    first->Commit();
  }
  EXPECT_EQ(Read(In("p.exe")), "new");
  // Only the file itself is left: the abandoned one went with its stream.
  EXPECT_TRUE(P().RemoveFile(In("p.exe")));
  EXPECT_TRUE(P().RemoveFolder(scratch_)) << "a temporary file was left behind";
}

TEST_F(PlatformContract, ReplacementInMissingFolderNamesTheTarget) {
  ExpectFileError(ErrorOf<EFCreateError>([&] { P().CreateReplacement(In("missing\\p.exe")); }), "create",
                  In("missing\\p.exe"));
}

// Where no link stands, the checked operations do what the plain ones do; a
// device path, which could name any place with no link on the way, is refused.
TEST_F(PlatformContract, GuardedFilesWhereNoLinkStands) {
  platform::GuardedFiles& files = P().Guarded();
  using platform::MoveResult;
  constexpr auto kInherited = platform::Protection::Inherited;
  EXPECT_FALSE(files.CreateFolder(In("a\\b"), kInherited));
  EXPECT_TRUE(files.CreateFolder(In("a"), kInherited));
  EXPECT_FALSE(files.CreateFolder(In("a"), kInherited));
  files.ReplaceContent(In("a\\t.ora"), {'o', 'l', 'd'});
  files.ReplaceContent(In("A\\T.ORA"), {'n', 'e', 'w'});
  EXPECT_EQ(files.ReadFile(In("a\\t.ora")), (std::vector<uint8_t>{'n', 'e', 'w'}));
  // A move stays in its folder and never takes another file's place.
  files.ReplaceContent(In("a\\kept.bak"), {'k'});
  EXPECT_EQ(files.Rename(In("a\\t.ora"), In("a\\kept.bak")), MoveResult::NameTaken);
  EXPECT_EQ(files.Rename(In("a\\t.ora"), In("t.ora")), MoveResult::Failed);
  EXPECT_EQ(files.Rename(In("a\\t.ora"), In("a\\t.ora.1.bak")), MoveResult::Moved);
  EXPECT_EQ(files.Rename(In("a\\t.ora"), In("a\\t.ora.2.bak")), MoveResult::Failed);
  EXPECT_EQ(files.Rename(In("a\\t.ora.1.bak"), In("a\\t.ora")), MoveResult::Moved);
  EXPECT_TRUE(files.RemoveFile(In("a\\kept.bak")));
  EXPECT_THROW(files.ReadFile(In("a\\missing.ora")), EFOpenError);
  EXPECT_THROW(files.ReplaceContent(In("missing\\t.ora"), {'x'}), EFCreateError);
  EXPECT_FALSE(files.RemoveFolder(In("a")));  // not empty
  EXPECT_FALSE(files.RemoveFile(In("a")));    // a folder
  EXPECT_FALSE(files.RemoveFolder(In("a\\t.ora")));
  const std::string device = "\\\\?\\" + In("a\\t.ora");
  EXPECT_EQ(files.ReadFile(device), std::nullopt);
  EXPECT_FALSE(files.RemoveFile(device));
  EXPECT_EQ(files.Rename(device, In("a\\moved.ora")), MoveResult::Failed);
  EXPECT_THROW(files.ReplaceContent(device, {'x'}), EFCreateError);
  EXPECT_FALSE(files.CreateFolder("\\\\?\\" + In("b"), kInherited));
  EXPECT_EQ(Read(In("a\\t.ora")), "new");
  EXPECT_TRUE(files.RemoveFile(In("a\\t.ora")));
  EXPECT_FALSE(files.RemoveFile(In("a\\t.ora")));
  EXPECT_TRUE(files.RemoveFolder(In("a")));
  EXPECT_TRUE(P().RemoveFolder(scratch_)) << "something was left behind";
}

// The Oracle setup's own folder: made only where nothing stands, and removed
// with all it holds.
TEST_F(PlatformContract, PrivateFolderIsMadeExclusivelyAndRemovedWhole) {
  P().CreatePrivateDirectory(In("p"));
  ExpectFileError(ErrorOf<EFCreateError>([&] { P().CreatePrivateDirectory(In("p")); }), "create", In("p"));
  EXPECT_TRUE(P().CreateFolder(In("p\\disk1")));
  machine_->WriteFile(In("p\\disk1\\setup.dll"), "unpacked");
  machine_->WriteFile(In("p\\setup.log"), "log");
  EXPECT_TRUE(P().RemoveDirectoryTree(In("p")));
  EXPECT_FALSE(P().DirectoryExists(In("p")));
  EXPECT_FALSE(P().RemoveDirectoryTree(In("p")));
  EXPECT_TRUE(P().RemoveFolder(scratch_)) << "something was left behind";
}

// --- Shell links ---

TEST_F(PlatformContract, LinksAreWrittenAndReadBack) {
  P().CreateFolder(In("Vesko"));
  machine_->WriteFile(In("Vesko\\Pliegorama.exe"), "MZ");
  machine_->WriteFile(In("Vesko\\DesInstalador.exe"), "MZ");
  P().CreateFolder(In("Group"));
  const std::string link = In("Group\\Sistema de Lumentra.lnk");
  P().CreateShellLink(In("Vesko\\Pliegorama.exe"), "", In("Vesko\\"), link);
  EXPECT_TRUE(P().FileExists(link));
  auto read = machine_->ReadLink(link);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->target, In("Vesko\\Pliegorama.exe"));
  EXPECT_EQ(read->arguments, "");
  EXPECT_EQ(read->workingFolder, In("Vesko\\"));  // the trailing separator is kept

  // An existing link is replaced.
  P().CreateShellLink(In("Vesko\\DesInstalador.exe"), "", scratch_, link);
  read = machine_->ReadLink(link);
  ASSERT_TRUE(read);
  EXPECT_EQ(read->target, In("Vesko\\DesInstalador.exe"));
  EXPECT_EQ(read->workingFolder, scratch_);
}

TEST_F(PlatformContract, LinkInMissingFolderIsSkippedSilently) {
  machine_->WriteFile(In("p.exe"), "MZ");
  EXPECT_NO_THROW(P().CreateShellLink(In("p.exe"), "", scratch_, In("missing\\p.lnk")));
  EXPECT_FALSE(P().FileExists(In("missing\\p.lnk")));
  EXPECT_FALSE(P().DirectoryExists(In("missing")));
}

// --- Environment and folders ---

TEST_F(PlatformContract, EnvironmentVariablesByNameWithoutCase) {
  const auto windir = P().EnvironmentVariable("windir");
  ASSERT_TRUE(windir);
  EXPECT_EQ(P().EnvironmentVariable("WINDIR"), windir);
  EXPECT_EQ(P().EnvironmentVariable("WinDir"), windir);
  EXPECT_FALSE(P().EnvironmentVariable("INSTALADOR_NEVER_SET_VARIABLE"));
  // The machine's own: the Windows folder's, and nothing for a name it never set.
  const auto systemRoot = P().MachineEnvironmentVariable("SYSTEMROOT");
  ASSERT_TRUE(systemRoot);
  EXPECT_TRUE(SameText(*systemRoot, P().WindowsDirectory())) << *systemRoot;
  EXPECT_FALSE(P().MachineEnvironmentVariable("INSTALADOR_NEVER_SET_VARIABLE"));
  const auto programFiles = P().MachineEnvironmentVariable("ProgramFiles");
  ASSERT_TRUE(programFiles);
  EXPECT_TRUE(P().DirectoryExists(*programFiles)) << *programFiles;
}

TEST_F(PlatformContract, SystemFoldersExistWithoutTrailingSeparator) {
  for (const std::string& folder : {P().WindowsDirectory(), P().DesktopDirectory()}) {
    ASSERT_FALSE(folder.empty());
    EXPECT_NE(folder.back(), '\\') << folder;
    EXPECT_TRUE(P().DirectoryExists(folder)) << folder;
  }
}

// --- File versions ---

TEST_F(PlatformContract, ReadsTheFixedFileVersionOfAnImage) {
  const platform::FileVersion cases[] = {{1, 0, 4, 6}, {10, 2, 0, 15}, {65535, 0, 65535, 1}};
  for (const auto& version : cases) {
    machine_->WriteFile(In("v.exe"), BuildPeImage(version));
    const auto read = P().ReadFileVersion(In("v.exe"));
    ASSERT_TRUE(read) << version.major << "." << version.minor;
    EXPECT_EQ(read->major, version.major);
    EXPECT_EQ(read->minor, version.minor);
    EXPECT_EQ(read->release, version.release);
    EXPECT_EQ(read->build, version.build);
  }
}

TEST_F(PlatformContract, FilesWithoutVersionInformation) {
  machine_->WriteFile(In("plain.exe"), BuildPeImage(std::nullopt));
  machine_->WriteFile(In("text.txt"), "not an executable");
  P().CreateFolder(In("folder.exe"));
  for (const char* name : {"plain.exe", "text.txt", "missing.exe", "folder.exe"})
    EXPECT_FALSE(P().ReadFileVersion(In(name))) << name;
}

}  // namespace
