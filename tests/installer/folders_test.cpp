// The install folders: environment references, the registry look-ups with
// their errors, and fresh reads on every call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "framework/errors.h"
#include "tests/support/error_matcher.h"
#include "tests/support/install_fixture.h"
#include "tests/support/row_name.h"

#ifndef _WIN32
#include "platform/host/host_platform.h"
#endif

namespace {

using platform::RootKey;

// Sets (or, with nullopt, removes) a variable of this process's environment.
void SetEnv(TestMachine& machine, const std::string& name, const std::optional<std::string>& value) {
#ifdef _WIN32
  (void)machine;
  // The C runtime passes this on to the process environment the system reads.
  _putenv((name + "=" + value.value_or("")).c_str());
#else
  dynamic_cast<platform::HostPlatform&>(machine.Platform()).SetEnvironmentVariable(name, value);
#endif
}

class Folders : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    SetEnv(*machine_, "INSTALADOR_T_A", "alpha");
    SetEnv(*machine_, "INSTALADOR_T_B", "C:\\beta dir");
    SetEnv(*machine_, "INSTALADOR_T_LONG", std::string(300, 'L'));
    SetEnv(*machine_, "INSTALADOR_T_UNSET", std::nullopt);
    // The Start-menu folder must lie in the user's profile.
    profile_ = System().ProfileDirectory();
    SetEnv(*machine_, "INSTALADOR_T_PROFILE", profile_);
    // The machine's own folder values, put back afterwards.
    Remember(RootKey::LocalMachine, kCurrentVersionKey, "ProgramFilesPath");
    Remember(RootKey::CurrentUser, kShellFoldersKey, "Programs");
  }

  void TearDown() override {
    for (const Saved& saved : saved_) {
      // These values hold references to expand exactly when they contain "%".
      machine_->SetString(saved.root, saved.key, saved.name, saved.value, saved.value.find('%') != std::string::npos);
    }
  }

  std::string profile_;

  void SetFolders(const std::string& programFiles, const std::string& programs) {
    machine_->SetString(RootKey::LocalMachine, kCurrentVersionKey, "ProgramFilesPath", programFiles, true);
    machine_->SetString(RootKey::CurrentUser, kShellFoldersKey, "Programs", programs);
  }

 private:
  struct Saved {
    RootKey root;
    std::string key, name, value;
  };

  void Remember(RootKey root, const std::string& key, const std::string& name) {
    auto open = System().OpenKey(root, key, platform::KeyAccess::Read);
    if (!open) return;
    if (auto value = open->ReadString(name)) saved_.push_back({root, key, name, *value});
  }

  std::vector<Saved> saved_;
};

struct ExpandCase {
  const char* name;
  std::string text;
  std::string expanded;
};

class ExpandEnvVars : public Folders, public testing::WithParamInterface<ExpandCase> {};

TEST_P(ExpandEnvVars, Expands) { EXPECT_EQ(Form().ExpandEnvVars(GetParam().text), GetParam().expanded); }

INSTANTIATE_TEST_SUITE_P(
    Texts, ExpandEnvVars,
    testing::Values(ExpandCase{"empty", "", ""},
                    ExpandCase{"no_reference", "C:\\Archivos de programa", "C:\\Archivos de programa"},
                    ExpandCase{"reference_then_path", "%INSTALADOR_T_B%\\Vesko", "C:\\beta dir\\Vesko"},
                    ExpandCase{"two_references", "%INSTALADOR_T_A%\\%INSTALADOR_T_B%", "alpha\\C:\\beta dir"},
                    ExpandCase{"adjacent_references", "%INSTALADOR_T_A%%INSTALADOR_T_A%", "alphaalpha"},
                    ExpandCase{"name_in_other_case", "%instalador_t_a%", "alpha"},
                    ExpandCase{"open_reference_dropped", "C:\\X%INSTALADOR_T_A", "C:\\X"},
                    ExpandCase{"lone_percent_at_end", "C:\\X%", "C:\\X"},
                    ExpandCase{"unset_kept_as_written", "%INSTALADOR_T_UNSET%\\x", "%INSTALADOR_T_UNSET%\\x"},
                    ExpandCase{"empty_name_kept", "a%%b", "a%%b"},
                    ExpandCase{"long_value_whole", "%INSTALADOR_T_LONG%\\x", std::string(300, 'L') + "\\x"}),
    RowName());

// Program Files with the machine's variables, the user's Start-menu folder
// with this process's.
TEST_F(Folders, ReadsAndExpandsTheFolders) {
  SetFolders("%SystemDrive%\\beta dir", "%INSTALADOR_T_PROFILE%\\Start Menu\\Programs");
  Form().ReadInstallFolders();
  EXPECT_EQ(Form().ProgramFilesDir, System().WindowsDirectory().substr(0, 2) + "\\beta dir");
  EXPECT_EQ(Form().ProgramsDir, profile_ + "\\Start Menu\\Programs");
  EXPECT_EQ(Form().WindowsDir, System().WindowsDirectory());
  ASSERT_FALSE(Form().WindowsDir.empty());
  EXPECT_NE(Form().WindowsDir.back(), '\\');
}

TEST_F(Folders, EveryCallReadsAfresh) {
  SetFolders("C:\\One", profile_ + "\\One\\Programs");
  Form().ReadInstallFolders();
  SetFolders("D:\\Two", profile_ + "\\Two\\Programs");
  Form().ReadInstallFolders();
  EXPECT_EQ(Form().ProgramFilesDir, "D:\\Two");
  EXPECT_EQ(Form().ProgramsDir, profile_ + "\\Two\\Programs");
}

struct WrongTypeCase {
  const char* name;
  RootKey root;
  const char* key;
  const char* value;
};

class FolderValueType : public Folders, public testing::WithParamInterface<WrongTypeCase> {};

TEST_P(FolderValueType, NumberIsRefused) {
  SetFolders("C:\\Program Files", "C:\\Programs");
  machine_->SetDword(GetParam().root, GetParam().key, GetParam().value, 1);
  EXPECT_EQ(ErrorOf<ERegistryException>([&] { Form().ReadInstallFolders(); }),
            std::string("Invalid data type for '") + GetParam().value + "'");
}

INSTANTIATE_TEST_SUITE_P(Values, FolderValueType,
                         testing::Values(WrongTypeCase{"program_files", RootKey::LocalMachine, kCurrentVersionKey,
                                                       "ProgramFilesPath"},
                                         WrongTypeCase{"programs", RootKey::CurrentUser, kShellFoldersKey, "Programs"}),
                         RowName());

#ifndef _WIN32
platform::HostPlatform& Host(TestMachine& machine) { return dynamic_cast<platform::HostPlatform&>(machine.Platform()); }

// The folders an elevated program writes into take the machine's values only:
// the current user may have set a ProgramFiles of their own (HKCU\Environment),
// and variables nobody else has.
class MachineValues : public Folders {
 protected:
  void SetUp() override {
    Folders::SetUp();
    Host(*machine_).SetEnvironmentVariable("ProgramFiles", "C:\\users\\tester\\Program Files");
    Host(*machine_).SetEnvironmentVariable("INSTALADOR_T_USER", "C:\\users\\tester");
    Host(*machine_).SetMachineEnvironmentVariable("INSTALADOR_T_MACHINE", "D:\\Programas");
  }
};

class ExpandMachineEnvVars : public MachineValues, public testing::WithParamInterface<ExpandCase> {};

TEST_P(ExpandMachineEnvVars, TakesOnlyTheMachinesValues) {
  EXPECT_EQ(InstallFolders(System()).ExpandEnvVars(GetParam().text, InstallFolders::Environment::Machine),
            GetParam().expanded);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ExpandMachineEnvVars,
    testing::Values(ExpandCase{"program_files_the_machines", "%ProgramFiles%\\Vesko", "C:\\Program Files\\Vesko"},
                    ExpandCase{"machine_variable", "%instalador_t_machine%\\Vesko", "D:\\Programas\\Vesko"},
                    ExpandCase{"users_own_variable_unset", "%INSTALADOR_T_USER%\\Vesko", "%INSTALADOR_T_USER%\\Vesko"}),
    RowName());

TEST_F(MachineValues, UsersOwnProgramFilesDoesNotMoveTheProductFolder) {
  SetFolders("%ProgramFiles%", "%USERPROFILE%\\Start Menu\\Programs");
  Form().ReadInstallFolders();
  EXPECT_EQ(Form().ProgramFilesDir, "C:\\Program Files");
  // The Start-menu folder is the user's own, by design.
  EXPECT_EQ(Form().ProgramsDir, "C:\\users\\tester\\Start Menu\\Programs");
}

struct MissingKeyCase {
  const char* name;
  RootKey root;
  const char* key;
  const char* message;
};

class MissingFolderKey : public Folders, public testing::WithParamInterface<MissingKeyCase> {};

// The error comes before anything is written, and the folders of an earlier
// look-up are not half replaced.
TEST_P(MissingFolderKey, RaisesItsError) {
  SetFolders("C:\\Program Files", profile_ + "\\Programs");
  Form().ReadInstallFolders();
  Host(*machine_).DeleteKeyTree(GetParam().root, GetParam().key);
  Host(*machine_).SetWindowsDirectory("D:\\WINNT");
  EXPECT_EQ(ErrorClassOf([&] { Form().ReadInstallFolders(); }), "Exception");
  EXPECT_EQ(ErrorOf([&] { Form().ReadInstallFolders(); }), GetParam().message);
  EXPECT_EQ(Form().WindowsDir, "C:\\windows");
  EXPECT_EQ(Form().ProgramFilesDir, "C:\\Program Files");
}

INSTANTIATE_TEST_SUITE_P(Keys, MissingFolderKey,
                         testing::Values(MissingKeyCase{"current_version", RootKey::LocalMachine, kCurrentVersionKey,
                                                        "Program Files Path Error"},
                                         MissingKeyCase{"shell_folders", RootKey::CurrentUser, kShellFoldersKey,
                                                        "User Program Path Error"}),
                         RowName());

// A folder that is no full path would count from the current drive's root,
// where any user can prepare it, and a Start-menu folder outside the user's
// profile is one that any program of the user may have named for the
// elevated run to write in (the system folder): both are refused like a
// missing key, before anything is written.
struct NotFullCase {
  const char* name;
  std::optional<std::string> programFiles, programs;  // nullopt: the value is missing
  const char* message;
};

class FolderNotFull : public Folders, public testing::WithParamInterface<NotFullCase> {};

TEST_P(FolderNotFull, RaisesTheFolderError) {
  const NotFullCase& c = GetParam();
  SetFolders(c.programFiles.value_or("C:\\Program Files"), c.programs.value_or("C:\\Programs"));
  if (!c.programFiles) Host(*machine_).DeleteValue(RootKey::LocalMachine, kCurrentVersionKey, "ProgramFilesPath");
  if (!c.programs) Host(*machine_).DeleteValue(RootKey::CurrentUser, kShellFoldersKey, "Programs");
  EXPECT_EQ(ErrorOf([&] { Form().ReadInstallFolders(); }), c.message);
  EXPECT_EQ(Form().ProgramFilesDir, "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, FolderNotFull,
    testing::Values(
        NotFullCase{"program_files_missing", std::nullopt, "C:\\Programs", "Program Files Path Error"},
        NotFullCase{"programs_missing", "C:\\Program Files", std::nullopt, "User Program Path Error"},
        NotFullCase{"program_files_relative", "Archivos", "C:\\Programs", "Program Files Path Error"},
        NotFullCase{"program_files_rooted", "\\Archivos", "C:\\Programs", "Program Files Path Error"},
        NotFullCase{"program_files_drive_relative", "C:Archivos", "C:\\Programs", "Program Files Path Error"},
        NotFullCase{"program_files_unset_variable", "%INSTALADOR_T_UNSET%\\X", "C:\\Programs",
                    "Program Files Path Error"},
        NotFullCase{"programs_relative", "C:\\Program Files", "Start Menu", "User Program Path Error"},
        // Device paths can name any place, with no link on the way to see.
        NotFullCase{"program_files_globalroot", "\\\\?\\GLOBALROOT\\Device\\HarddiskVolume2\\Archivos", "C:\\Programs",
                    "Program Files Path Error"},
        NotFullCase{"programs_device", "C:\\Program Files", "\\\\.\\C:\\Programs", "User Program Path Error"},
        NotFullCase{"programs_system_folder", "C:\\Program Files", "C:\\windows\\system32", "User Program Path Error"},
        NotFullCase{"programs_back_out_of_the_profile", "C:\\Program Files", "C:\\users\\tester\\..\\..\\windows",
                    "User Program Path Error"},
        NotFullCase{"programs_beside_the_profile", "C:\\Program Files", "C:\\users\\tester2\\Programs",
                    "User Program Path Error"}),
    RowName());

// Every other test takes its paths from the layout: here they are written out,
// so a wrong suffix cannot agree with itself.
TEST(InstallLayoutPaths, AreTheFixedPlaces) {
  const InstallLayout& layout = install_test::Layout();
  const std::pair<const std::string&, const char*> rows[] = {
      {layout.organisationFolder, "C:\\Program Files\\Vesko"},
      {layout.productFolder, "C:\\Program Files\\Vesko\\Lumentra"},
      {layout.productExe, "C:\\Program Files\\Vesko\\Lumentra\\Pliegorama.exe"},
      {layout.uninstallerExe, "C:\\Program Files\\Vesko\\Lumentra\\DesInstalador.exe"},
      {layout.setupExe, "C:\\Program Files\\Vesko\\Lumentra\\OracleXEClient.exe"},
      {layout.workingFolder, "C:\\Program Files\\Vesko\\Lumentra\\"},
      {layout.group, "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia"},
      {layout.groupProductLink, "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia\\Sistema de Lumentra.lnk"},
      {layout.groupUninstallerLink, "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia\\DesInstalador.lnk"},
      {layout.desktopLink, "C:\\users\\tester\\Desktop\\Sistema de Lumentra.lnk"},
  };
  for (const auto& [path, expected] : rows) EXPECT_EQ(path, expected);
  EXPECT_EQ(InstallLayout({"C:\\windows", install_test::kProgramFiles, install_test::kPrograms}, "").desktopLink, "");
}
#endif

}  // namespace
