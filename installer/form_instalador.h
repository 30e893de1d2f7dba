// The installer window's model: the state the install sequence and the Oracle
// client provisioning share, and their operations, coordinating the folders,
// the Oracle classes and the install sequence. Platform-neutral: the real
// window (Win32) and the tests both drive it through InstallerView.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/classes.h"
#include "framework/forms.h"
#include "installer/folders.h"
#include "installer/install_layout.h"
#include "oracle/detection.h"
#include "oracle/net_service.h"
#include "oracle/xe_setup.h"
#include "platform/platform.h"

class TmxStorage;
class TmxStoredItem;
class TPanel;
class TImage;
class TBitBtn;

// What the model asks of the window that shows it.
class InstallerView {
 public:
  virtual ~InstallerView() = default;
  virtual void SetCaption(const std::string& caption) = 0;
  virtual void SetInstallEnabled(bool enabled) = 0;
  // Asks the main window to close: the application ends once the running
  // handler returns, and dialogs opened after this answer kIdCancel at once.
  virtual void Close() = 0;
};

class TFormInstalador : public TForm {
 public:
  explicit TFormInstalador(platform::Platform& platform, TComponent* owner = nullptr);
  ~TFormInstalador() override;
  const char* ClassName() const override { return "TFormInstalador"; }

  platform::Platform& Platform() { return platform_; }
  void SetView(InstallerView* view) { view_ = view; }
  // The payload's storage component (FormExe.mxStorageFiles).
  void SetPayload(TmxStorage* payload) { payload_ = payload; }
  // The stored item at a 0-based position; "List index out of bounds (%d)".
  TmxStoredItem& StoredItem(int position);
  // True while BitBtninstalClick runs; the window ignores user input then.
  bool Installing() const { return installing_; }

  // Shared state, in declaration order.
  std::string WindowsDir;
  std::string ProgramFilesDir;
  std::string ProgramsDir;
  std::string OracleHome;
  std::string XEClientHome;
  int32_t FileVerMajor = 0;
  int32_t FileVerMinor = 0;
  int32_t FileVerRelease = 0;
  int32_t FileVerBuild = 0;

  // Components read from the window's form stream (owned through TComponent).
  TPanel* Panel1 = nullptr;
  TImage* Image1 = nullptr;
  TBitBtn* BitBtninstal = nullptr;
  TBitBtn* BitBtncerrar = nullptr;

  // Event handlers bound by name from the form stream.
  void FormShow(TPersistent* sender);
  void BitBtninstalClick(TPersistent* sender);
  void BitBtncerrarClick(TPersistent* sender);

  // Start-up and window. Both reads fill the version record.
  std::string GetFileVersionText(const std::string& fileName);

  // Install sequence.
  void InstallProduct();
  bool IsNewerVersion(const std::string& installedFile, const std::string& newFile);
  void RestartWindows();

  // Shortcuts.
  void CreateShortcut(const std::string& target, const std::string& arguments, const std::string& workingFolder,
                      const std::string& linkFileName, const std::string& linkFolder);

  // Install folders.
  void ReadInstallFolders();
  std::string ExpandEnvVars(const std::string& text);
  std::string GetDesktopDir();

  // Oracle client detection.
  bool DetectXEClient();
  bool DetectOracleHomes();
  void ReadOracleHome();
  bool FindXEClientUninstallEntry();

  // Oracle XE client installation and roll-back. OracleXESetup dispatches to
  // the setup's start (true) and finish (false).
  bool EnsureOracleClient();
  void OracleXESetup(bool start);
  void RollBackInstall();

  // Net service configuration.
  bool ConfigureNetService();

  // Form-stream hooks for the window's own stream.
  std::unique_ptr<TComponent> CreateChild(const std::string& className) override;
  TNotifyEvent FindNotifyHandler(const std::string& name) override;
  void ChildCreated(TComponent* child, TComponent* parent) override;

 protected:
  // A window stream without its panel, picture or buttons is damaged.
  void Loaded() override;

 private:
  // The install's places, from the folders last read; the links' desktop
  // folder is asked of the shell only by those that need it.
  InstallLayout Layout(const std::string& desktop) const;
  // The version into the shared record, and as text; nothing (and the record
  // as it was) without one.
  std::string RecordVersion(const std::optional<platform::FileVersion>& version);
  struct VersionNumbers {
    int32_t major, minor, release, build;
  };
  VersionNumbers RecordedVersion() const { return {FileVerMajor, FileVerMinor, FileVerRelease, FileVerBuild}; }
  // Whether the version record holds a newer version than `installed`.
  bool RecordIsNewerThan(const VersionNumbers& installed) const;
  // IsNewerVersion of the installed file against the carried product.
  bool IsCarriedProductNewer(const std::string& installedFile);
  XESetup::Place SetupPlace();

  platform::Platform& platform_;
  InstallerView* view_ = nullptr;
  TmxStorage* payload_ = nullptr;
  bool installing_ = false;  // input that reaches the window mid-install is ignored
  // The parts it coordinates; the Oracle ones keep their homes in the fields above.
  InstallFolders folders_{platform_};
  OracleDetection detection_{platform_, OracleHomes{XEClientHome, OracleHome}};
  NetService netService_{platform_, detection_, [this]() -> TmxStoredItem& { return StoredItem(kNetServiceItem); }};
  XESetup xeSetup_{platform_, detection_, netService_,
                   [this]() -> TmxStoredItem& { return StoredItem(kOracleSetupItem); },
                   XESetup::Owner{[this] { RollBackInstall(); },
                                  [this] {
                                    if (view_) view_->Close();
                                  }}};
};
