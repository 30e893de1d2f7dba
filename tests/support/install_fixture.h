// The installer's fixtures. InstallTest: a host machine prepared for whole
// installs (the folders in the registry, a four-item payload whose product is
// a real versioned executable, the installer window's model on it and a view
// that records what it is asked), with the install's places as the installer
// computes them. WindowTest: the window's model on whichever test machine the
// build has (the host one natively, Windows under Wine).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/form_instalador.h"
#include "installer/install_layout.h"
#include "oracle/net_service.h"
#include "storage/mxStorage.h"
#include "tests/platform/test_machine.h"
#include "tests/support/pe_builder.h"

#ifndef _WIN32
#include "platform/host/host_platform.h"
#endif

// The registry keys the installer reads.
inline constexpr char kCurrentVersionKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char kShellFoldersKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kOracleKey[] = "\\SOFTWARE\\ORACLE";
inline constexpr char kXEClientKey[] = "\\SOFTWARE\\ORACLE\\KEY_XEClient";
inline constexpr char kAllHomesKey[] = "\\SOFTWARE\\ORACLE\\ALL_HOMES";
inline constexpr char kUninstallKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

// The payload the tests carry: one stored item per content, in payload order,
// each encoded from its bytes at the default level.
std::unique_ptr<TmxStorage> MakePayload(const std::vector<std::string>& contents);
// The carried tnsnames.ora as the build makes it: the one line and CR LF.
std::string StoredNetServiceFile();

// What the model asks of the window. Given a host machine, Close behaves as the
// real main window's: from then on every dialog answers at once.
class RecordingView : public InstallerView {
 public:
#ifndef _WIN32
  explicit RecordingView(platform::HostPlatform* machine = nullptr) : machine_(machine) {}
#endif
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void SetInstallEnabled(bool enabled) override { installEnabled.push_back(enabled); }
  void Close() override {
    ++closeRequests;
#ifndef _WIN32
    if (machine_) machine_->SetTerminating(true);
#endif
  }

  std::vector<std::string> captions;
  std::vector<bool> installEnabled;
  int closeRequests = 0;

#ifndef _WIN32
 private:
  platform::HostPlatform* machine_ = nullptr;
#endif
};

// The window's model and the carried payload on a test machine.
class WindowTest : public testing::Test {
 protected:
  void SetUp() override;

  platform::Platform& System() { return machine_->Platform(); }
  TFormInstalador& Form() { return *form_; }

  std::unique_ptr<TestMachine> machine_;
  std::unique_ptr<TmxStorage> payload_;
  std::unique_ptr<TFormInstalador> form_;
};

namespace install_test {
// Every missing folder of a path, one level at a time.
void MakeFolders(platform::Platform& machine, const std::string& path);
}  // namespace install_test

#ifndef _WIN32

namespace install_test {

using platform::DialogButtons;
using platform::DialogType;
using platform::FileVersion;
using platform::RootKey;

inline constexpr char kProgramFiles[] = "C:\\Program Files";
inline constexpr char kPrograms[] = "C:\\users\\tester\\Start Menu\\Programs";
inline constexpr char kDesktop[] = "C:\\users\\tester\\Desktop";
// Where the install writes on this machine, as the installer computes it.
inline const InstallLayout& Layout() {
  static const InstallLayout layout({"C:\\windows", kProgramFiles, kPrograms}, kDesktop);
  return layout;
}
inline const std::string kOrganisationFolder = Layout().organisationFolder;
inline const std::string kProductFolder = Layout().productFolder;
inline const std::string kProductExe = Layout().productExe;
inline const std::string kUninstallerExe = Layout().uninstallerExe;
inline const std::string kSetupExe = Layout().setupExe;
inline const std::string kWorkingFolder = Layout().workingFolder;
// The Windows Temp folder, open to every user, where the installer writes
// nothing (earlier versions put a copy of the product there, T).
inline const std::string kTempFolder = "C:\\windows\\Temp";
inline const std::string kTempCopy = kTempFolder + "\\Pliegorama.exe";
inline const std::string kGroup = Layout().group;
inline const std::string kDesktopLink = Layout().desktopLink;
inline const std::string kGroupProductLink = Layout().groupProductLink;
inline const std::string kGroupUninstallerLink = Layout().groupUninstallerLink;

inline constexpr char kXEHome[] = "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client";
inline const std::string kXETnsnames = NetServicePlaces(kXEHome).file;

inline constexpr char kStoredTnsnames[] = "Tramidex = (stored entry)\r\n";
inline constexpr char kSetupBytes[] = "XE setup program";
inline constexpr char kUninstallerBytes[] = "uninstaller program";

inline const FileVersion kCarriedVersion{1, 0, 4, 6};

// --- What another user may have put where the installer writes ---

// Their folder, C:\victim: it holds files of the names the installer writes,
// at the same places below it as below the folder they attack.
inline constexpr char kVictim[] = "C:\\victim";

// What stands at one place: a junction or a symbolic link to the same place
// in C:\victim, a second name of their file there (a hard link), a cloud
// placeholder (the folder itself, synced; no link), or a link that an
// administrator (or the system) made, to the same place in C:\data.
enum class Planted { Junction, SymbolicLink, HardLink, CloudPlaceholder, AdministratorsJunction, SystemSymbolicLink };
inline constexpr char kAdministratorsData[] = "C:\\data";

struct PlantedCase {
  const char* name;
  std::string place;  // below the folder attacked
  Planted planted;
  bool Refused() const { return planted == Planted::Junction || planted == Planted::SymbolicLink || HardLink(); }
  bool HardLink() const { return planted == Planted::HardLink; }
  bool Followed() const { return planted == Planted::AdministratorsJunction || planted == Planted::SystemSymbolicLink; }
};

// Fills C:\victim with `victimFiles` (paths below it), then puts the case's
// link at `base` + its place (the folders above it made when missing).
void Plant(platform::HostPlatform& machine, const std::string& base, const PlantedCase& c,
           const std::vector<std::string>& victimFiles);
// Every path below a folder, with each file's content (read whoever holds it).
std::vector<std::string> StateUnder(platform::HostPlatform& machine, const std::string& folder);
// Every path below C:\victim, with each file's content: what must not change.
inline std::vector<std::string> VictimState(platform::HostPlatform& machine) { return StateUnder(machine, kVictim); }
// Whether `path` lies at or below `base` + the case's place, where it leads.
bool Behind(const std::string& path, const std::string& base, const PlantedCase& c);

// Under an Oracle home: the home, NETWORK, ADMIN and tnsnames.ora.
const std::vector<PlantedCase>& OracleHomeCases();
inline const std::vector<std::string> kVictimTnsnames{"\\NETWORK\\ADMIN\\tnsnames.ora"};
// In the user's profile C:\users\tester: the Start-menu Programs folder, the
// group and a link in it; the desktop folder and its link.
inline constexpr char kProfile[] = "C:\\users\\tester";
const std::vector<PlantedCase>& StartMenuCases();
const std::vector<std::string>& VictimLinks();
// A failing case names its row, not its bytes.
inline void PrintTo(const PlantedCase& c, std::ostream* out) { *out << c.name; }

// Members are open to the table-driven cases that prepare a machine.
class InstallTest : public testing::Test {
 public:
  InstallTest() {
    machine.SetEnvironmentVariable("ProgramFiles", std::string(kProgramFiles));
    machine.SetString(RootKey::LocalMachine, kCurrentVersionKey, "ProgramFilesPath", "%ProgramFiles%", true);
    machine.SetString(RootKey::CurrentUser, kShellFoldersKey, "Programs", kPrograms);
    MakeFolders(kProgramFiles);
    MakeFolders(kPrograms);
    MakeFolders(kDesktop);
    CarryProduct(kCarriedVersion);
    form = std::make_unique<TFormInstalador>(machine);
    form->SetPayload(payload.get());
    form->SetView(&view);
  }

  // Builds the payload anew around a product executable of that version.
  void CarryProduct(const std::optional<FileVersion>& version) {
    carriedProduct = BuildPeImage(version);
    payload = MakePayload({carriedProduct, kStoredTnsnames, kSetupBytes, kUninstallerBytes});
    if (form) form->SetPayload(payload.get());
  }

  void InstallProductOfVersion(const std::optional<FileVersion>& version) {
    MakeFolders(kProductFolder);
    installedProduct = BuildPeImage(version);
    machine.WriteFileBytes(kProductExe, installedProduct);
  }

  void MakeFolders(const std::string& path) { install_test::MakeFolders(machine, path); }

  void RegisterXEClient() {
    MakeFolders(kXEHome);
    machine.SetString(RootKey::LocalMachine, kXEClientKey, "ORACLE_HOME", kXEHome);
  }
  // The XE client known by its uninstall entry alone: installed, home unknown.
  void RegisterXEClientWithoutHome() {
    const std::string entry = std::string(kUninstallKey) + "\\OracleXEClient";
    machine.SetString(RootKey::LocalMachine, entry, "DisplayName", "Oracle Client 10g Express Edition");
    machine.SetString(RootKey::LocalMachine, entry, "UninstallString", "C:\\XE\\uninstall.exe");
  }

  // Another Oracle home, with or without its tnsnames.ora.
  void RegisterOtherHome(const std::string& home, const std::optional<std::string>& tnsnames) {
    machine.SetString(RootKey::LocalMachine, kAllHomesKey, "HOME_COUNTER", "1");
    machine.SetString(RootKey::LocalMachine, kOracleKey, "ORACLE_HOME", home);
    MakeFolders(home + "\\network\\ADMIN");
    if (tnsnames) machine.WriteFileBytes(home + "\\network\\ADMIN\\tnsnames.ora", *tnsnames);
  }

  std::string Read(const std::string& path) {
    const std::vector<uint8_t> bytes = machine.ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
  }

  // The three links, each starting its program in the product folder.
  void ExpectProductLinks() {
    struct Expected {
      std::string link;
      std::string target;
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

  std::vector<std::string> DialogTexts() {
    std::vector<std::string> result;
    for (const auto& dialog : machine.Dialogs()) result.push_back(dialog.text);
    return result;
  }

  platform::HostPlatform machine;
  RecordingView view{&machine};
  std::string carriedProduct;
  std::string installedProduct;
  std::unique_ptr<TmxStorage> payload;
  std::unique_ptr<TFormInstalador> form;
};

}  // namespace install_test
#endif  // !_WIN32
