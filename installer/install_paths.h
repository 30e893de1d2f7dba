// Where an install puts things: suffixes appended to the folders the system
// gives, and the payload positions of the carried files. The install, the
// roll-back and the uninstaller must agree on every one of them.
#pragma once

#include <string>

namespace paths {

// Appended to the Program Files folder.
inline constexpr char kOrganisationFolder[] = "\\Vesko";
inline constexpr char kProductFolder[] = "\\Vesko\\Lumentra";
inline constexpr char kProductExe[] = "\\Vesko\\Lumentra\\Pliegorama.exe";
inline constexpr char kUninstallerExe[] = "\\Vesko\\Lumentra\\DesInstalador.exe";
inline constexpr char kOracleSetupExe[] = "\\Vesko\\Lumentra\\OracleXEClient.exe";
inline constexpr char kWorkingFolder[] = "\\Vesko\\Lumentra\\";  // links keep the trailing separator

// Appended to the Windows folder (not the user's temporary folder).
inline constexpr char kTempFolder[] = "\\Temp";
inline constexpr char kTempCopy[] = "\\Temp\\Pliegorama.exe";

// Appended to the Start-menu Programs folder; link names go into it and the desktop.
inline constexpr char kStartMenuGroup[] = "\\Ostrelia";
inline constexpr char kProductLinkName[] = "Sistema de Lumentra.lnk";
inline constexpr char kUninstallerLinkName[] = "DesInstalador.lnk";

// Stored items by position in the payload; names are never looked at.
inline constexpr int kProductItem = 0;      // exe: Pliegorama.exe
inline constexpr int kNetServiceItem = 1;   // tnsname: tnsnames.ora
inline constexpr int kOracleSetupItem = 2;  // oracle: OracleXEClient.exe
inline constexpr int kUninstallerItem = 3;  // desinstalar: DesInstalador.exe

// A full path: a drive letter, ":" and "\\", or a UNC path. A folder read
// from the registry or the environment that is not one would be taken from
// the current drive or folder, which another user may have prepared: such a
// folder is not used.
inline bool IsFullPath(const std::string& path) {
  const auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  if (path.size() >= 3 && letter(path[0]) && path[1] == ':' && path[2] == '\\') return true;
  return path.size() > 2 && path[0] == '\\' && path[1] == '\\' && path[2] != '\\';
}

// A place in an Oracle home: home and suffix joined by one backslash, none
// added after a home that already ends in one.
inline std::string InHome(const std::string& home, const std::string& suffix) {
  if (!home.empty() && home.back() == '\\') return home + suffix;
  return home + "\\" + suffix;
}

}  // namespace paths
