// The installer's fixtures: the payload they carry and the window on a test machine.
#include "tests/support/install_fixture.h"

#include <algorithm>

#include "framework/text_case.h"
#include "oracle/tnsnames.h"

std::unique_ptr<TmxStorage> MakePayload(const std::vector<std::string>& contents) {
  auto storage = std::make_unique<TmxStorage>(nullptr);
  for (const std::string& content : contents) {
    TMemoryStream stream;
    stream.WriteBuffer(content.data(), content.size());
    stream.SetPosition(0);
    storage->StoredItems().Add()->LoadFromStream(&stream);
  }
  return storage;
}

std::string StoredNetServiceFile() { return tnsnames::StoredFileLine(INSTALADOR_DB_HOST) + "\r\n"; }

void WindowTest::SetUp() {
  machine_ = MakeTestMachine();
  payload_ = MakePayload({"product executable", StoredNetServiceFile(), "XE setup", "uninstaller"});
  form_ = std::make_unique<TFormInstalador>(System());
  form_->SetPayload(payload_.get());
}

namespace install_test {

void MakeFolders(platform::Platform& machine, const std::string& path) {
  for (size_t pos = path.find('\\', 3);; pos = path.find('\\', pos + 1)) {
    machine.CreateFolder(path.substr(0, pos));
    if (pos == std::string::npos) return;
  }
}

}  // namespace install_test

#ifndef _WIN32
#include "tests/support/host_files.h"

namespace install_test {

void Plant(platform::HostPlatform& machine, const std::string& base, const PlantedCase& c,
           const std::vector<std::string>& victimFiles) {
  for (const std::string& file : victimFiles) {
    MakeFolders(machine, kVictim + file.substr(0, file.find_last_of('\\')));
    machine.WriteFileBytes(kVictim + file, "another user's " + file);
  }
  const std::string place = base + c.place;
  MakeFolders(machine, place.substr(0, place.find_last_of('\\')));
  switch (c.planted) {
    case Planted::Junction:
      machine.MakeLink(place, kVictim + c.place, platform::LinkKind::Junction);
      break;
    case Planted::SymbolicLink:
      machine.MakeLink(place, kVictim + c.place, platform::LinkKind::SymbolicLink);
      break;
    case Planted::HardLink:
      machine.MakeHardLink(kVictim + c.place, place);
      break;
    case Planted::CloudPlaceholder:
      MakeFolders(machine, place);
      machine.SetReparseTag(place, platform::kReparseTagCloud);
      break;
    case Planted::AdministratorsJunction:
    case Planted::SystemSymbolicLink:
      MakeFolders(machine, kAdministratorsData + c.place);
      machine.MakeLink(
          place, kAdministratorsData + c.place,
          c.planted == Planted::SystemSymbolicLink ? platform::LinkKind::SymbolicLink : platform::LinkKind::Junction,
          c.planted == Planted::SystemSymbolicLink ? platform::LinkOwner::System : platform::LinkOwner::Administrators);
      break;
  }
}

std::vector<std::string> StateUnder(platform::HostPlatform& machine, const std::string& folder) {
  std::vector<std::string> state;
  const std::string under = AnsiUpper(folder) + "\\";
  for (const std::string& path : machine.AllPaths()) {
    if (path.compare(0, under.size(), under) != 0) continue;
    state.push_back(path);
    if (machine.FileExists(path)) state.back() += " = " + ReadHostFile(machine.HostPath(path));
  }
  return state;
}

bool Behind(const std::string& path, const std::string& base, const PlantedCase& c) {
  const std::string place = AnsiUpper(base + c.place);
  const std::string upper = AnsiUpper(path);
  return upper == place || upper.compare(0, place.size() + 1, place + "\\") == 0;
}

const std::vector<PlantedCase>& OracleHomeCases() {
  static const std::vector<PlantedCase> cases = {
      {"HomeJunction", "", Planted::Junction},
      {"HomeSymbolicLink", "", Planted::SymbolicLink},
      {"NetworkJunction", "\\NETWORK", Planted::Junction},
      {"NetworkSymbolicLink", "\\NETWORK", Planted::SymbolicLink},
      {"AdminJunction", "\\NETWORK\\ADMIN", Planted::Junction},
      {"AdminSymbolicLink", "\\NETWORK\\ADMIN", Planted::SymbolicLink},
      {"TnsnamesSymbolicLink", "\\NETWORK\\ADMIN\\tnsnames.ora", Planted::SymbolicLink},
      {"TnsnamesHardLink", "\\NETWORK\\ADMIN\\tnsnames.ora", Planted::HardLink},
      {"HomeCloudPlaceholder", "", Planted::CloudPlaceholder},
      {"HomeAdministratorsJunction", "", Planted::AdministratorsJunction},
      {"NetworkSystemSymbolicLink", "\\NETWORK", Planted::SystemSymbolicLink},
  };
  return cases;
}

const std::vector<PlantedCase>& StartMenuCases() {
  static const std::vector<PlantedCase> cases = {
      {"ProgramsJunction", "\\Start Menu\\Programs", Planted::Junction},
      {"ProgramsSymbolicLink", "\\Start Menu\\Programs", Planted::SymbolicLink},
      {"GroupJunction", "\\Start Menu\\Programs\\Ostrelia", Planted::Junction},
      {"GroupSymbolicLink", "\\Start Menu\\Programs\\Ostrelia", Planted::SymbolicLink},
      {"GroupLinkFileSymbolicLink", "\\Start Menu\\Programs\\Ostrelia\\DesInstalador.lnk", Planted::SymbolicLink},
      {"DesktopJunction", "\\Desktop", Planted::Junction},
      {"DesktopSymbolicLink", "\\Desktop", Planted::SymbolicLink},
      {"DesktopLinkFileSymbolicLink", "\\Desktop\\Sistema de Lumentra.lnk", Planted::SymbolicLink},
      {"DesktopCloudPlaceholder", "\\Desktop", Planted::CloudPlaceholder},
      {"ProgramsAdministratorsJunction", "\\Start Menu\\Programs", Planted::AdministratorsJunction},
      {"DesktopSystemSymbolicLink", "\\Desktop", Planted::SystemSymbolicLink},
  };
  return cases;
}

const std::vector<std::string>& VictimLinks() {
  static const std::vector<std::string> links = {"\\Start Menu\\Programs\\Ostrelia\\Sistema de Lumentra.lnk",
                                                 "\\Start Menu\\Programs\\Ostrelia\\DesInstalador.lnk",
                                                 "\\Desktop\\Sistema de Lumentra.lnk"};
  return links;
}

}  // namespace install_test
#endif
