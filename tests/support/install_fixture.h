// A host machine prepared for whole installs: the folders in the registry, a
// four-item payload whose product is a real versioned executable, the
// installer window's model on it and a view that records what it is asked.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "installer/form_instalador.h"
#include "platform/host/host_platform.h"
#include "storage/mxStorage.h"
#include "tests/support/pe_builder.h"

namespace install_test {

using platform::DialogButtons;
using platform::DialogType;
using platform::FileVersion;
using platform::RootKey;

inline constexpr char kProgramFiles[] = "C:\\Program Files";
inline constexpr char kPrograms[] = "C:\\users\\tester\\Start Menu\\Programs";
inline constexpr char kDesktop[] = "C:\\users\\tester\\Desktop";
inline constexpr char kOrganisationFolder[] = "C:\\Program Files\\Vesko";
inline constexpr char kProductFolder[] = "C:\\Program Files\\Vesko\\Lumentra";
inline constexpr char kProductExe[] = "C:\\Program Files\\Vesko\\Lumentra\\Pliegorama.exe";
inline constexpr char kUninstallerExe[] = "C:\\Program Files\\Vesko\\Lumentra\\DesInstalador.exe";
inline constexpr char kSetupExe[] = "C:\\Program Files\\Vesko\\Lumentra\\OracleXEClient.exe";
inline constexpr char kWorkingFolder[] = "C:\\Program Files\\Vesko\\Lumentra\\";
inline constexpr char kTempCopy[] = "C:\\windows\\Temp\\Pliegorama.exe";
inline constexpr char kGroup[] = "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia";
inline constexpr char kDesktopLink[] = "C:\\users\\tester\\Desktop\\Sistema de Lumentra.lnk";
inline constexpr char kGroupProductLink[] =
    "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia\\Sistema de Lumentra.lnk";
inline constexpr char kGroupUninstallerLink[] = "C:\\users\\tester\\Start Menu\\Programs\\Ostrelia\\DesInstalador.lnk";

inline constexpr char kCurrentVersionKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
inline constexpr char kShellFoldersKey[] = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr char kOracleKey[] = "\\SOFTWARE\\ORACLE";
inline constexpr char kXEClientKey[] = "\\SOFTWARE\\ORACLE\\KEY_XEClient";
inline constexpr char kAllHomesKey[] = "\\SOFTWARE\\ORACLE\\ALL_HOMES";
inline constexpr char kXEHome[] = "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client";
inline constexpr char kXETnsnames[] =
    "C:\\oraclexe\\app\\oracle\\product\\10.2.0\\client\\NETWORK\\ADMIN\\tnsnames.ora";

inline constexpr char kStoredTnsnames[] = "Tramidex = (stored entry)\r\n";
inline constexpr char kSetupBytes[] = "XE setup program";
inline constexpr char kUninstallerBytes[] = "uninstaller program";

inline const FileVersion kCarriedVersion{1, 0, 4, 6};

// What the sequence asked of the window. Close behaves as the real main
// window: from then on every dialog answers at once.
class RecordingView : public InstallerView {
 public:
  explicit RecordingView(platform::HostPlatform& machine) : machine_(machine) {}
  void SetCaption(const std::string&) override {}
  void SetInstallEnabled(bool enabled) override { installEnabled.push_back(enabled); }
  void Close() override {
    ++closeRequests;
    machine_.SetTerminating(true);
  }

  std::vector<bool> installEnabled;
  int closeRequests = 0;

 private:
  platform::HostPlatform& machine_;
};

inline std::unique_ptr<TmxStorage> MakePayload(const std::vector<std::string>& contents) {
  auto storage = std::make_unique<TmxStorage>(nullptr);
  for (const std::string& content : contents) {
    TMemoryStream stream;
    stream.WriteBuffer(content.data(), content.size());
    stream.SetPosition(0);
    storage->StoredItems().Add()->LoadFromStream(&stream);
  }
  return storage;
}

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

  // Every missing folder of a path, one level at a time.
  void MakeFolders(const std::string& path) {
    for (size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
      machine.CreateDirectory(path.substr(0, pos));
      if (pos == std::string::npos) return;
    }
  }

  void RegisterXEClient() {
    MakeFolders(kXEHome);
    machine.SetString(RootKey::LocalMachine, kXEClientKey, "ORACLE_HOME", kXEHome);
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

  std::vector<std::string> DialogTexts() {
    std::vector<std::string> result;
    for (const auto& dialog : machine.Dialogs()) result.push_back(dialog.text);
    return result;
  }

  platform::HostPlatform machine;
  RecordingView view{machine};
  std::string carriedProduct;
  std::string installedProduct;
  std::unique_ptr<TmxStorage> payload;
  std::unique_ptr<TFormInstalador> form;
};

}  // namespace install_test
