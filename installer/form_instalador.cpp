// The installer window's model: construction, caption, the two buttons, the
// file version record and the hooks that read the window's form stream.
#include "installer/form_instalador.h"

#include "framework/errors.h"
#include "framework/messages.h"
#include "framework/scope.h"
#include "installer/controls.h"
#include "installer/texts.h"
#include "storage/mxStorage.h"

namespace {

template <typename T>
void BindField(T*& field, const char* fieldName, TComponent* child) {
  if (SameText(child->Name(), fieldName)) field = dynamic_cast<T*>(child);
}

}  // namespace

TFormInstalador::TFormInstalador(platform::Platform& platform, TComponent* owner) : TForm(owner), platform_(platform) {}

TFormInstalador::~TFormInstalador() = default;

TmxStoredItem& TFormInstalador::StoredItem(int position) {
  // Without a payload there is no item at any position.
  if (!payload_) throw EListError(Format(msg::kListIndexError, position));
  return *payload_->StoredItems().Items(position);
}

void TFormInstalador::FormShow(TPersistent*) {
  // From the running image, not its file by name: someone may have put
  // another file there since the program started.
  const std::string caption = texts::kCaptionPrefix + RecordVersion(platform_.ReadOwnVersion());
  SetCaption(caption);
  if (view_) view_->SetCaption(caption);
  OracleHome.clear();
  XEClientHome.clear();
}

void TFormInstalador::BitBtninstalClick(TPersistent*) {
  // A click dispatched by a message flush inside the running sequence would
  // otherwise start it again within itself.
  if (installing_) return;
  auto lowered = RaiseForScope(installing_);
  InstallProduct();
}

void TFormInstalador::BitBtncerrarClick(TPersistent*) {
  // Mid-install the sequence closes the window itself when it must; a click
  // reaching the window through a message flush is input to ignore.
  if (installing_) return;
  if (view_) view_->Close();
}

std::string TFormInstalador::GetFileVersionText(const std::string& fileName) {
  if (!platform_.FileExists(fileName)) return std::string();
  return RecordVersion(platform_.ReadFileVersion(fileName));
}

std::string TFormInstalador::RecordVersion(const std::optional<platform::FileVersion>& version) {
  if (!version) return std::string();
  FileVerMajor = version->major;
  FileVerMinor = version->minor;
  FileVerRelease = version->release;
  FileVerBuild = version->build;
  return std::to_string(FileVerMajor) + "." + std::to_string(FileVerMinor) + "." + std::to_string(FileVerRelease) +
         "." + std::to_string(FileVerBuild);
}

std::unique_ptr<TComponent> TFormInstalador::CreateChild(const std::string& className) {
  // The classes of the declared fields first, then the registered ones.
  if (SameText(className, "TPanel")) return std::make_unique<TPanel>(this);
  if (SameText(className, "TImage")) return std::make_unique<TImage>(this);
  if (SameText(className, "TBitBtn")) return std::make_unique<TBitBtn>(this);
  return TForm::CreateChild(className);
}

TNotifyEvent TFormInstalador::FindNotifyHandler(const std::string& name) {
  if (SameText(name, "FormShow")) return [this](TPersistent* sender) { FormShow(sender); };
  if (SameText(name, "BitBtninstalClick")) return [this](TPersistent* sender) { BitBtninstalClick(sender); };
  if (SameText(name, "BitBtncerrarClick")) return [this](TPersistent* sender) { BitBtncerrarClick(sender); };
  return TForm::FindNotifyHandler(name);
}

void TFormInstalador::ChildCreated(TComponent* child, TComponent* parent) {
  if (auto* control = dynamic_cast<TControl*>(child)) control->SetParent(parent);
  BindField(Panel1, "Panel1", child);
  BindField(Image1, "Image1", child);
  BindField(BitBtninstal, "BitBtninstal", child);
  BindField(BitBtncerrar, "BitBtncerrar", child);
  TForm::ChildCreated(child, parent);
}

void TFormInstalador::Loaded() {
  TForm::Loaded();
  if (!Panel1) throw EReadError(Format(texts::kMissingComponent, "Panel1"));
  if (!Image1) throw EReadError(Format(texts::kMissingComponent, "Image1"));
  if (!BitBtninstal) throw EReadError(Format(texts::kMissingComponent, "BitBtninstal"));
  if (!BitBtncerrar) throw EReadError(Format(texts::kMissingComponent, "BitBtncerrar"));
}

// --- The parts the window coordinates ---

void TFormInstalador::ReadInstallFolders() {
  // All three or none: a failed look-up leaves the previous folders in place.
  const InstallFolders::Found found = folders_.Read();
  WindowsDir = found.windows;
  ProgramFilesDir = found.programFiles;
  ProgramsDir = found.programs;
}

std::string TFormInstalador::ExpandEnvVars(const std::string& text) {
  return folders_.ExpandEnvVars(text, InstallFolders::Environment::Process);
}

std::string TFormInstalador::GetDesktopDir() { return folders_.DesktopDir(); }

InstallLayout TFormInstalador::Layout(const std::string& desktop) const {
  return InstallLayout({WindowsDir, ProgramFilesDir, ProgramsDir}, desktop);
}

bool TFormInstalador::DetectXEClient() { return detection_.DetectXEClient(); }

bool TFormInstalador::DetectOracleHomes() { return detection_.DetectOracleHomes(); }

void TFormInstalador::ReadOracleHome() { detection_.ReadOracleHome(); }

bool TFormInstalador::FindXEClientUninstallEntry() { return detection_.FindXEClientUninstallEntry(); }

bool TFormInstalador::ConfigureNetService() { return netService_.ConfigureNetService(); }

XESetup::Place TFormInstalador::SetupPlace() {
  const InstallLayout layout = Layout("");
  return {layout.setupExe, layout.productFolder};
}

bool TFormInstalador::EnsureOracleClient() { return xeSetup_.EnsureOracleClient(SetupPlace()); }

void TFormInstalador::OracleXESetup(bool start) {
  if (start) {
    xeSetup_.StartSetup(SetupPlace());
  } else {
    xeSetup_.FinishSetup(SetupPlace());
  }
}
